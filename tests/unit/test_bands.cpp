// The drawing threads (bands/bands.h): how a fork splits the rows, and every 2D operation
// that shares its rows out, drawn with 2, 3 and 7 threads against one.
// (The rasteriser's bands: test_raster_rows; whole frames: test_golden_frames.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bands/bands.h"
#include "gfx2d/blit.h"
#include "gfx2d/blitrows.h"
#include "gfx2d/effects.h"
#include "render3d/renderer.h"

namespace {

// Puts the drawing threads back to one when the test ends.
struct ThreadsScope {
    explicit ThreadsScope(int n) { setDrawingThreads(n); }
    ~ThreadsScope() { setDrawingThreads(1); }
};

// Every row of `rows` in exactly one band, bands in one piece, as many bands as threads at
// most; split points inside `split` when it lies inside `rows`.
TEST(Bands, EveryRowFallsInExactlyOneBand) {
    struct Case {
        RowBand rows, split;
    } cases[] = {
        {{0, 480}, {0, 480}}, {{0, 3}, {0, 3}}, {{-7, 300}, {100, 140}}, {{0, 480}, {470, 900}},
        {{0, 480}, {-50, -10}}, {{5, 6}, {5, 6}}, {{0, 100000}, {0, 100000}},
    };
    for (int threads : {2, 3, 7, 16}) {
        ThreadsScope scope(threads);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << threads << " threads, rows " << c.rows.begin << ".." << c.rows.end
                                            << " split " << c.split.begin << ".." << c.split.end);
            const int32_t length = c.rows.end - c.rows.begin;
            std::vector<std::atomic<int>> hits(static_cast<size_t>(length));
            std::atomic<int> bands{0};
            struct Context {
                RowBand rows;
                std::vector<std::atomic<int>>* hits;
                std::atomic<int>* bands;
            } context{c.rows, &hits, &bands};
            runBands(c.rows, c.split, [](void* p, RowBand band) {
                Context* ctx = static_cast<Context*>(p);
                ctx->bands->fetch_add(1);
                for (int32_t y = band.begin; y < band.end; ++y) (*ctx->hits)[static_cast<size_t>(y - ctx->rows.begin)] += 1;
            }, &context);
            int wrong = 0;
            for (const std::atomic<int>& h : hits) wrong += h.load() != 1;
            EXPECT_EQ(wrong, 0);
            EXPECT_GE(bands.load(), 1);
            EXPECT_LE(bands.load(), threads);
        }
    }
}

// An operation started inside a band runs whole on that band's thread; forks that follow
// one another at once, and pools made and ended again, keep every band.
TEST(Bands, NestedOperationsRunWholeAndForksFollowEachOther) {
    for (int threads : {2, 7, 3}) {
        ThreadsScope scope(threads);
        std::atomic<int64_t> rowsSeen{0};
        std::atomic<int> innerCalls{0}, innerSplit{0};
        for (int round = 0; round < 2000; ++round) {
            forEachBand(RowBand{0, 64}, kForkMinPixels, [&](RowBand band) {
                forEachBand(RowBand{0, 10}, kForkMinPixels, [&](RowBand inner) {
                    innerCalls += 1;
                    innerSplit += inner.begin != 0 || inner.end != 10;
                });
                rowsSeen += band.end - band.begin;
            });
        }
        EXPECT_EQ(rowsSeen.load(), 2000 * 64) << threads << " threads";
        EXPECT_EQ(innerCalls.load(), 2000 * threads) << threads << " threads";
        EXPECT_EQ(innerSplit.load(), 0) << threads << " threads";
    }
}

// Forks while the workers are kept awake, with pauses long enough for them to sleep, and
// after they were let go again: every fork keeps every band and returns. The setting reads
// back as it was replaced; one drawing thread has none, and a new pool starts without it.
TEST(Bands, ForksFindTheWorkersAwakeOrAsleep) {
    for (int threads : {2, 3}) {
        ThreadsScope scope(threads);
        EXPECT_FALSE(keepWorkersAwake(true));
        EXPECT_TRUE(keepWorkersAwake(true));
        std::atomic<int64_t> rowsSeen{0};
        for (int round = 0; round < 60; ++round) {
            if (round % 20 == 10) {
                EXPECT_TRUE(keepWorkersAwake(false));
            }
            if (round % 20 == 15) {
                EXPECT_FALSE(keepWorkersAwake(true));
            }
            if (round % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
            forEachBand(RowBand{0, 64}, kForkMinPixels, [&](RowBand band) { rowsSeen += band.end - band.begin; });
        }
        EXPECT_EQ(rowsSeen.load(), 60 * 64) << threads << " threads";
        setDrawingThreads(1);
        EXPECT_FALSE(keepWorkersAwake(true)) << "one drawing thread has no workers to keep";
        setDrawingThreads(threads);
        EXPECT_FALSE(keepWorkersAwake(false)) << "a new pool starts with its workers let go";
    }
}

// Pictures with every kind of pixel: random colours and alphas, some transparent and some
// opaque runs.
Image* noise(int32_t w, int32_t h, unsigned seed) {
    Image* image = newImage(w, h);
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < w * h; ++i) {
        uint32_t p = rng();
        if (i % 97 < 20) p &= 0x00FFFFFFu;
        if (i % 89 < 20) p |= 0xFF000000u;
        image->pixels[i] = p;
    }
    return image;
}

struct Operation {
    const char* name;
    std::function<void(Image* dst, const Image* big, const Image* small)> draw;
};

// Each operation with sizes and positions that reach past the destination's edges, so
// bands start in clipped rows, in runs of rows sampling one source row, in the middle of
// everything.
const Operation kOperations[] = {
    {"drawImage", [](Image* d, const Image* b, const Image*) { drawImage(d, b, -13, -7, 200); }},
    {"drawImageAdd", [](Image* d, const Image* b, const Image*) { drawImageAdd(d, b, 21, 33, 255); }},
    {"stretchDraw up", [](Image* d, const Image*, const Image* s) { stretchDraw(d, s, -5, -40, 700, 530, 255); }},
    {"stretchDraw down", [](Image* d, const Image* b, const Image*) { stretchDraw(d, b, 3, 9, 401, 333, 120); }},
    {"stretchDraw one to one across", [](Image* d, const Image* b, const Image*) { stretchDraw(d, b, -30, 150, 640, 300, 255); }},
    {"stretchDrawAdd", [](Image* d, const Image*, const Image* s) { stretchDrawAdd(d, s, 0, 0, 640, 480, 190); }},
    {"stretchCopy", [](Image* d, const Image*, const Image* s) { stretchCopy(s, d, -17, 640, 517); }},
    {"copyImage", [](Image* d, const Image* b, const Image*) { copyImage(b, d); }},
    {"fillImage", [](Image* d, const Image*, const Image*) { fillImage(d, 0x80C0FF17u); }},
    {"drawLayers", [](Image* d, const Image* b, const Image* s) {
         const Layer layers[] = {{b, 255, false}, {s, 180, true}, {b, 77, false}};
         drawLayers(d, layers, 3);
     }},
    {"fadeIn", [](Image* d, const Image*, const Image* s) { fadeIn(s, d, 10.5f, 10.0f, 11.0f); }},
    {"fadeOut replacing", [](Image* d, const Image* b, const Image*) { fadeOut(b, d, 1.0f, 2.0f, 3.0f); }},
    {"drawWaveReflection", [](Image* d, const Image* b, const Image*) { drawWaveReflection(b, d, 300, 180, 7.3f, 2.5f, 0.5f); }},
    {"waveDistort", [](Image* d, const Image* b, const Image*) {
         Image* wavy = waveDistort(b, 3.1f, 6.0f, 0.37f);
         copyImage(wavy, d);
         freeImage(wavy);
     }},
    {"clearDepth", [](Image* d, const Image*, const Image*) {
         std::fill(renderer.depthBuffer, renderer.depthBuffer + screenWidth * screenHeight, 0.25f);
         clearDepth(&renderer, 301 * 640 + 17);
         for (int32_t i = 0; i < d->width * d->height; ++i) {
             float depth = renderer.depthBuffer[i];
             std::memcpy(&d->pixels[i], &depth, sizeof depth);
         }
     }},
};

// Every operation that shares its rows out gives, with every kernel set, exactly the
// picture it gives on one thread.
TEST(Bands, EveryBandedOperationDrawsAsOneThreadDoes) {
    Image* big = noise(640, 480, 2);
    Image* small = noise(48, 37, 3);
    int count = 0;
    const BlitRowKernels* const* sets = blitRowKernelSets(&count);
    const BlitRowKernels* saved = blitRows;
    for (int k = 0; k < count; ++k) {
        blitRows = sets[k];
        for (const Operation& op : kOperations) {
            Image* alone = noise(640, 480, 1);
            op.draw(alone, big, small);
            for (int threads : {2, 3, 7}) {
                ThreadsScope scope(threads);
                Image* shared = noise(640, 480, 1);
                op.draw(shared, big, small);
                EXPECT_TRUE(std::equal(alone->pixels, alone->pixels + 640 * 480, shared->pixels))
                    << op.name << ", " << sets[k]->name << " kernels, " << threads << " threads";
                freeImage(shared);
            }
            freeImage(alone);
        }
    }
    blitRows = saved;
    freeImage(big);
    freeImage(small);
}

}  // namespace
