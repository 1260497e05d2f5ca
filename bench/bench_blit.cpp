// Speed of the 2D primitives on screen-sized work, beside pixman's OVER and ADD on the
// same pixel counts for scale. Run: build/bench_blit [--benchmark_filter=...]
//
// Sources: "mixed" has every alpha from 0 to 255 at random (no shortcut applies);
// "logo" is mostly transparent with opaque shapes and soft edges, like the overlays.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "gfx2d/blit.h"
#include "gfx2d/blitrows.h"
#include "gfx2d/effects.h"
#include "scenes/scene7.h"

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

template <void (*Blit)(Image*, const Image*, int32_t, int32_t, int32_t)>
void BM_Unscaled(benchmark::State& state) {
    const BlitRowKernels* saved = blitRows;
    if (state.range(1)) blitRows = &blitRowsReference;
    Image* src = source(state.range(0));
    Image* dst = mixedImage(W, H, 2);
    for (auto _ : state) {
        Blit(dst, src, 0, 0, 200);
        benchmark::DoNotOptimize(dst->pixels);
    }
    state.SetLabel(std::string(sourceName(state.range(0))) + (state.range(1) ? ", reference" : ""));
    setPixels(state, W * H);
    freeImage(src);
    freeImage(dst);
    blitRows = saved;
}
BENCHMARK(BM_Unscaled<drawImage>)->Name("drawImage")->ArgsProduct({{0, 1}, {0, 1}});
BENCHMARK(BM_Unscaled<drawImageAdd>)->Name("drawImageAdd")->ArgsProduct({{0, 1}, {0, 1}});

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

}  // namespace

BENCHMARK_MAIN();
