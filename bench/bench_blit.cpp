// Speed of the 2D primitives on screen-sized work, beside pixman's OVER and ADD on the
// same images. Run: build/bench_blit [--benchmark_filter=...]
//
// Sources: "mixed" has every alpha from 0 to 255 at random (no shortcut applies);
// "logo" is mostly transparent with opaque shapes and soft edges, like the overlays.
// Kernel sets: every blit benchmark runs once per row kernel set this processor has
// (reference, fast, sse2, avx2); the label names the set.
// versusPixman times ours and pixman's alternately in one loop on the same full-screen
// images and reports both and their ratio (ours / pixman; below 1 means ours is faster).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "gfx2d/blit.h"
#include "gfx2d/blitrows.h"
#include "display/display.h"
#include "gfx2d/effects.h"
#include "scenes/scene4_bronze.h"
#include "scenes/scene7_trails.h"

namespace {

constexpr int32_t W = 640, H = 480;

Image* mixedImage(int32_t w, int32_t h, uint32_t seed) {
    Image* image = newImage(w, h);
    std::mt19937 gen(seed);
    for (int32_t i = 0; i < w * h; ++i) image->pixels[i] = gen();
    return image;
}

Image* logoImage(int32_t w, int32_t h) {
    Image* image = newImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double dx = (x - w / 2.0) / (w / 3.0), dy = (y - h / 2.0) / (h / 4.0);
            const double r = std::sqrt(dx * dx + dy * dy);
            const double a = std::clamp((1.0 - r) * 8.0, 0.0, 1.0);
            image->pixels[y * w + x] = (static_cast<uint32_t>(a * 255) << 24) | 0x00E0C0A0u;
        }
    return image;
}

Image* source(int64_t kind) { return kind == 0 ? mixedImage(W, H, 1) : logoImage(W, H); }
const char* sourceName(int64_t kind) { return kind == 0 ? "mixed" : "logo"; }

void setPixels(benchmark::State& state, int64_t perIteration) {
    state.SetItemsProcessed(state.iterations() * perIteration);
}

// Runs the benchmark body with blitRows pointed at the set numbered `index` and puts it back.
struct KernelScope {
    const BlitRowKernels* saved = blitRows;
    explicit KernelScope(int64_t index) {
        int count = 0;
        const BlitRowKernels* const* sets = blitRowKernelSets(&count);
        blitRows = sets[std::min<int64_t>(index, count - 1)];
    }
    ~KernelScope() { blitRows = saved; }
};

// Benchmark arguments for every kernel set of this processor.
std::vector<int64_t> kernelIndices() {
    int count = 0;
    blitRowKernelSets(&count);
    std::vector<int64_t> out;
    for (int i = 0; i < count; ++i) out.push_back(i);
    return out;
}

// range(0): source kind, range(1): kernel set, range(2): opacity.
template <void (*Blit)(Image*, const Image*, int32_t, int32_t, int32_t)>
void BM_Unscaled(benchmark::State& state) {
    KernelScope kernels(state.range(1));
    Image* src = source(state.range(0));
    Image* dst = mixedImage(W, H, 2);
    const int32_t opacity = static_cast<int32_t>(state.range(2));
    for (auto _ : state) {
        Blit(dst, src, 0, 0, opacity);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(std::string(sourceName(state.range(0))) + ", " + blitRows->name);
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_Unscaled<drawImage>)->Name("drawImage")->ArgsProduct({{0, 1}, kernelIndices(), {200, 255}});
BENCHMARK(BM_Unscaled<drawImageAdd>)->Name("drawImageAdd")->ArgsProduct({{0, 1}, kernelIndices(), {200, 255}});

// pixman on the same sizes: premultiplied a8r8g8b8, OVER and ADD (ADD with a solid mask
// carries the opacity, as ours does).
void BM_Pixman(benchmark::State& state) {
    const pixman_op_t op = state.range(1) ? PIXMAN_OP_ADD : PIXMAN_OP_OVER;
    Image* src = source(state.range(0));
    Image* dst = mixedImage(W, H, 2);
    // Premultiply so the data is valid for pixman.
    for (int32_t i = 0; i < W * H; ++i) {
        const uint32_t p = src->pixels[i], a = p >> 24;
        uint32_t out = a << 24;
        for (int s = 0; s < 24; s += 8) out |= (((p >> s) & 0xFF) * a / 255) << s;
        src->pixels[i] = out;
    }
    pixman_image_t* ps = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, src->pixels, W * 4);
    pixman_image_t* pd = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, dst->pixels, W * 4);
    pixman_color_t grey = {0xC8C8, 0xC8C8, 0xC8C8, 0xC8C8};
    pixman_image_t* mask = state.range(2) ? pixman_image_create_solid_fill(&grey) : nullptr;
    for (auto _ : state) {
        pixman_image_composite32(op, ps, mask, pd, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(std::string(sourceName(state.range(0))) + (state.range(1) ? ", ADD" : ", OVER") +
                   (state.range(2) ? " with opacity mask" : ""));
    setPixels(state, W * H);
    if (mask) pixman_image_unref(mask);
    pixman_image_unref(ps);
    pixman_image_unref(pd);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_Pixman)->Name("pixman")->ArgsProduct({{0, 1}, {0, 1}, {0, 1}});

// The intro's enlargement: an 80x60 or 160x120 image blown up to the screen.
void BM_StretchDraw(benchmark::State& state) {
    const int32_t sw = static_cast<int32_t>(state.range(0));
    Image* src = logoImage(sw, sw * 3 / 4);
    Image* dst = mixedImage(W, H, 2);
    for (auto _ : state) {
        stretchDraw(dst, src, 0, 0, W, H, 255);
        benchmark::DoNotOptimize(dst->pixels);
    }
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_StretchDraw)->Arg(80)->Arg(160);

// A full-screen fade from a 256x256 picture, blended and as replacement.
void BM_Fade(benchmark::State& state) {
    Image* src = mixedImage(256, 256, 3);
    Image* dst = mixedImage(W, H, 2);
    const float t = state.range(0) ? 1.5f : 0.5f;
    for (auto _ : state) {
        fadeIn(src, dst, t, 0.0f, 1.0f);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(state.range(0) ? "replace" : "blend");
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_Fade)->Arg(0)->Arg(1);

void BM_CopyImage(benchmark::State& state) {
    Image* src = mixedImage(W, H, 3);
    Image* dst = mixedImage(W, H, 2);
    for (auto _ : state) {
        copyImage(src, dst);
        benchmark::DoNotOptimize(dst->pixels);
    }
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_CopyImage);

// waveDistort including its allocation and the free, as the scenes use it.
void BM_WaveDistort(benchmark::State& state) {
    const int32_t w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    Image* src = logoImage(w, h);
    float t = 0.0f;
    for (auto _ : state) {
        Image* out = waveDistort(src, t, 0.8f, std::sin(1.2f * t));
        benchmark::DoNotOptimize(out->pixels);
        freeImage(out);
        t += 0.01f;
    }
    setPixels(state, static_cast<int64_t>(w) * h);
    freeImage(src);
}
BENCHMARK(BM_WaveDistort)->Args({160, 120})->Args({640, 300});

// The closing scene's trails as drawn at t = 130: 540 additive scaled dots of a 64x64
// picture at the trail table's sizes (0 to 72) and places.
void BM_TrailDots(benchmark::State& state) {
    Image* dot = logoImage(64, 64);
    Image* dst = mixedImage(W, H, 2);
    int64_t pixels = 0;
    for (int i = 0; i < kTrailSteps; ++i)
        for (int p = 1; p <= kTrailPoints; ++p) pixels += int64_t{trailDot(p, i, 130.0f).size} * trailDot(p, i, 130.0f).size;
    for (auto _ : state) {
        for (int i = 0; i < kTrailSteps; ++i)
            for (int p = 1; p <= kTrailPoints; ++p) {
                const TrailDot d = trailDot(p, i, 130.0f);
                stretchDrawAdd(dst, dot, d.x, d.y, d.size, d.size, d.opacity);
            }
        benchmark::DoNotOptimize(dst->pixels);
    }
    setPixels(state, pixels);
    freeImage(dot);
    freeImage(dst);
}
BENCHMARK(BM_TrailDots);

// Ours against pixman in one loop on the same images: drawImage against OVER, drawImageAdd
// against ADD; at opacity 255 pixman runs without a mask, below it with a solid mask that
// carries the opacity. Pixman gets premultiplied copies of the same pixels.
// range(0): source kind, range(1): 0 OVER / 1 ADD, range(2): opacity.
void BM_VersusPixman(benchmark::State& state) {
    const bool add = state.range(1) != 0;
    const int32_t opacity = static_cast<int32_t>(state.range(2));
    Image* src = source(state.range(0));
    Image* dst = mixedImage(W, H, 2);
    Image* pre = newImage(W, H);
    Image* pixDst = mixedImage(W, H, 2);
    for (int32_t i = 0; i < W * H; ++i) {
        const uint32_t p = src->pixels[i], a = p >> 24;
        uint32_t out = a << 24;
        for (int sh = 0; sh < 24; sh += 8) out |= (((p >> sh) & 0xFF) * a / 255) << sh;
        pre->pixels[i] = out;
    }
    pixman_image_t* ps = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, pre->pixels, W * 4);
    pixman_image_t* pd = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, pixDst->pixels, W * 4);
    const uint16_t level = static_cast<uint16_t>(opacity * 257);
    pixman_color_t color = {level, level, level, level};
    pixman_image_t* mask = opacity < 255 ? pixman_image_create_solid_fill(&color) : nullptr;
    using Clock = std::chrono::steady_clock;
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        (add ? drawImageAdd : drawImage)(dst, src, 0, 0, opacity);
        benchmark::DoNotOptimize(dst->pixels);
        const Clock::time_point t1 = Clock::now();
        pixman_image_composite32(add ? PIXMAN_OP_ADD : PIXMAN_OP_OVER, ps, mask, pd, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::DoNotOptimize(pixDst->pixels);
        const Clock::time_point t2 = Clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        theirs += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = ours / n * 1e6;
    state.counters["pixman_us"] = theirs / n * 1e6;
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
    state.SetLabel(std::string(sourceName(state.range(0))) + (add ? ", drawImageAdd vs ADD" : ", drawImage vs OVER") +
                   ", " + blitRows->name);
    if (mask) pixman_image_unref(mask);
    pixman_image_unref(ps);
    pixman_image_unref(pd);
    freeImage(src);
    freeImage(dst);
    freeImage(pre);
    freeImage(pixDst);
}
BENCHMARK(BM_VersusPixman)->Name("versusPixman")->ArgsProduct({{0, 1}, {0, 1}, {200, 255}});

// A frame's overlay pass as the 3D scenes draw it: an opaque background copied to the
// screen, then three full-screen overlays at opacity 255 over it, all mostly transparent:
// half-transparent stripes, an opaque frame round the edge and the soft-edged logo.
// range(0): kernel set.
Image* stripesImage(int32_t w, int32_t h) {
    Image* image = newImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            image->pixels[y * w + x] = (x + y) % 48 < 14 ? 0x60FFFFFFu - static_cast<uint32_t>(y) : 0x00000000u;
    return image;
}

Image* frameImage(int32_t w, int32_t h) {
    Image* image = newImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int32_t edge = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
            image->pixels[y * w + x] = edge < 24 ? 0xFF203040u : edge < 28 ? 0x80203040u : 0x00203040u;
        }
    return image;
}

void BM_OverlayPass(benchmark::State& state) {
    KernelScope kernels(state.range(0));
    Image* background = mixedImage(W, H, 7);
    for (int32_t i = 0; i < W * H; ++i) background->pixels[i] |= 0xFF000000u;
    Image* overlays[3] = {stripesImage(W, H), frameImage(W, H), logoImage(W, H)};
    Image* dst = newImage(W, H);
    for (auto _ : state) {
        copyImage(background, dst);
        for (const Image* overlay : overlays) drawImage(dst, overlay, 0, 0, 255);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(blitRows->name);
    setPixels(state, W * H);
    for (Image* overlay : overlays) freeImage(overlay);
    freeImage(background);
    freeImage(dst);
}
BENCHMARK(BM_OverlayPass)->ArgsProduct({kernelIndices()});

// Full-screen scaled blits as the scenes use them: a 32x24 glow added over the screen,
// a 320x240 flash and a 256x256 flat picture blended over it. range(0): kernel set.
void BM_StretchFullScreen(benchmark::State& state) {
    KernelScope kernels(state.range(0));
    const int64_t kind = state.range(1);
    Image* src = kind == 0 ? mixedImage(32, 24, 5) : kind == 1 ? logoImage(320, 240) : mixedImage(256, 256, 6);
    Image* dst = mixedImage(W, H, 2);
    for (auto _ : state) {
        if (kind == 0)
            stretchDrawAdd(dst, src, 0, 0, W, H, 220);
        else
            stretchDraw(dst, src, 0, 0, W, H, 127);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(std::string(kind == 0 ? "stretchDrawAdd 32x24" : kind == 1 ? "stretchDraw 320x240" : "stretchDraw 256x256") +
                   ", " + blitRows->name);
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_StretchFullScreen)->ArgsProduct({kernelIndices(), {0, 1, 2}});

// stretchCopy onto the whole screen: one to one (the backgrounds) and 256x256 blown up
// (the fades' replacement).
void BM_StretchCopy(benchmark::State& state) {
    KernelScope kernels(state.range(0));
    Image* src = state.range(1) ? mixedImage(256, 256, 3) : mixedImage(W, H, 3);
    Image* dst = mixedImage(W, H, 2);
    for (auto _ : state) {
        stretchCopy(src, dst, 0, W, H);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(std::string(state.range(1) ? "256x256 to 640x480" : "640x480 to 640x480") + ", " + blitRows->name);
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
}
BENCHMARK(BM_StretchCopy)->ArgsProduct({kernelIndices(), {0, 1}});

// Scene 4's trail pass over the whole screen.
void BM_TrailPass(benchmark::State& state) {
    Image* dst = mixedImage(W, H, 2);
    for (auto _ : state) {
        darkenTrails(reinterpret_cast<uint8_t*>(dst->pixels), kTrailBytes);
        benchmark::DoNotOptimize(dst->pixels);
    }
    setPixels(state, W * H);
    freeImage(dst);
}
BENCHMARK(BM_TrailPass);

// The display's pixel converters on a whole frame.
void BM_PixelConverter(benchmark::State& state) {
    const PixelConverter converters[] = {convertCopy32, convertSwap32, convertBgr24, convertRgb24,
                                         convert565, convert565Swapped, convert555, convert555Swapped};
    const char* names[] = {"copy32", "swap32", "bgr24", "rgb24", "565", "565 swapped", "555", "555 swapped"};
    const int64_t k = state.range(0);
    Image* src = mixedImage(W, H, 4);
    std::vector<uint32_t> out(static_cast<size_t>(W) * H);
    for (auto _ : state) {
        for (int32_t y = 0; y < H; ++y) converters[k](src->pixels + y * W, out.data() + y * W, W);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(names[k]);
    setPixels(state, W * H);
    freeImage(src);
}
BENCHMARK(BM_PixelConverter)->DenseRange(0, 7);

}  // namespace

BENCHMARK_MAIN();
