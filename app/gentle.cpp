#include "app/gentle.h"

#include <cstring>
#include <utility>

#include "exporters/flashes.h"

struct FlashLimiter {
    FlashMeter meter;
    Image* shown = nullptr;   // the frame last shown
    Image* trial = nullptr;   // where blends are tried
    FrameLight shownLight{};
    long long limited = 0;
};

namespace {

// (a x (256 - w) + b x w) / 256 for each of the four bytes of every pixel.
void blend(const Image& a, const Image& b, int w, Image* out) {
    const size_t count = static_cast<size_t>(a.width) * a.height;
    const uint32_t keep = 256u - static_cast<uint32_t>(w), take = static_cast<uint32_t>(w);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = a.pixels[i], q = b.pixels[i];
        uint32_t mixed = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const uint32_t x = (p >> shift) & 0xFFu, y = (q >> shift) & 0xFFu;
            mixed |= ((x * keep + y * take) >> 8) << shift;
        }
        out->pixels[i] = mixed;
    }
}

bool sameSize(const Image* a, const Image& b) {
    return a && a->width == b.width && a->height == b.height;
}

}  // namespace

FlashLimiter* newFlashLimiter() { return new FlashLimiter(); }

void freeFlashLimiter(FlashLimiter* limiter) {
    if (!limiter) return;
    freeImage(limiter->shown);
    freeImage(limiter->trial);
    delete limiter;
}

const Image* limitFlashes(FlashLimiter* l, const Image& frame, double t) {
    const FrameLight light = measureFrame(frame);
    const bool first = !sameSize(l->shown, frame);
    if (first || !wouldExceed(l->meter, t, light, kGentleFlashes)) {
        if (first) {
            freeImage(l->shown);
            freeImage(l->trial);
            l->shown = newImage(frame.width, frame.height);
            l->trial = newImage(frame.width, frame.height);
        }
        std::memcpy(l->shown->pixels, frame.pixels,
                    static_cast<size_t>(frame.width) * frame.height * sizeof(uint32_t));
        l->shownLight = light;
        addFrame(&l->meter, t, light);
        return l->shown;
    }
    // The frame last shown, again, makes no new change; the new frame makes too many.
    int safe = 0, unsafe = 256;
    FrameLight safeLight = l->shownLight;
    bool trialIsSafe = false;
    while (unsafe - safe > 4) {
        const int w = (safe + unsafe) / 2;
        blend(*l->shown, frame, w, l->trial);
        const FrameLight tried = measureFrame(*l->trial);
        trialIsSafe = !wouldExceed(l->meter, t, tried, kGentleFlashes);
        if (trialIsSafe) {
            safe = w;
            safeLight = tried;
        } else {
            unsafe = w;
        }
    }
    if (safe > 0) {
        if (!trialIsSafe) blend(*l->shown, frame, safe, l->trial);
        std::swap(l->shown, l->trial);
    }
    l->shownLight = safeLight;
    addFrame(&l->meter, t, safeLight);
    ++l->limited;
    return l->shown;
}

long long limitedFrames(const FlashLimiter* limiter) { return limiter ? limiter->limited : 0; }
