// Speed of the 3D pipeline: single triangles through the rasteriser (the 256x256 fast path
// and the any-size path), the clipper alone, and whole meshes through drawMesh at the sizes
// the scenes draw them. Run: build/bench_render3d [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "render3d/clip.h"
#include "render3d/draw.h"
#include "render3d/raster.h"
#include "render3d/renderer.h"

namespace {

// A texture with a full chain of square levels, filled with noise.
struct NoiseTexture {
    std::vector<std::vector<uint32_t>> pixels;
    std::vector<Image> images;
    std::vector<Image*> levels;
    Texture texture;
    NoiseTexture(int32_t w, int32_t h, int32_t maxLevel) {
        std::mt19937 gen(3);
        pixels.resize(maxLevel + 1);
        images.resize(maxLevel + 1);
        for (int L = 0; L <= maxLevel; ++L) {
            const int32_t lw = std::max(w >> L, 1), lh = std::max(h >> L, 1);
            pixels[L].resize(static_cast<size_t>(lw) * lh);
            for (uint32_t& p : pixels[L]) p = gen() | 0xFF000000u;
            images[L] = Image{pixels[L].data(), lw, lh};
        }
        for (Image& img : images) levels.push_back(&img);
        texture = Texture{maxLevel, levels.data()};
    }
};

NoiseTexture& texture256() {
    static NoiseTexture t(256, 256, 8);
    return t;
}

void resetScreen() {
    renderer.model = renderer.view = renderer.projection = mat4Identity();
    renderer.viewportX = 0;
    renderer.viewportY = 0;
    renderer.viewportWidth = screenWidth;
    renderer.viewportHeight = screenHeight;
    renderer.clipping = true;
    renderer.mipmapping = true;
    renderer.envMap = false;
    renderer.texture = &texture256().texture;
}

// One triangle of about range(0)^2 / 2 pixels, drawn again every iteration with a depth
// that keeps passing the test (the depth buffer is reset every 4096 draws).
template <TriangleRasterizer Raster>
void BM_Triangle(benchmark::State& state) {
    resetScreen();
    const float s = static_cast<float>(state.range(0));
    static NoiseTexture odd(100, 60, 6);
    if (state.range(1)) renderer.texture = &odd.texture;
    const ClipVertex a{100.3f, 40.6f, 0, 0.1f, 0.2f}, b{100.3f + s, 40.6f + s * 0.3f, 0, 0.9f, 0.3f},
        c{100.3f + s * 0.2f, 40.6f + s, 0, 0.2f, 0.95f};
    clearDepth(&renderer, screenWidth * screenHeight);
    float z = 0.999f;
    int n = 0;
    for (auto _ : state) {
        ClipVertex ta = a, tb = b, tc = c;
        ta.z = tb.z = tc.z = z;
        Raster(&renderer, ta, tb, tc, kEveryRow);
        z -= 1e-4f;
        if (++n == 4096) {
            state.PauseTiming();
            clearDepth(&renderer, screenWidth * screenHeight);
            z = 0.999f;
            n = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s * s / 2));
    state.SetLabel(state.range(1) ? "100x60 texture (pixels)" : "256x256 texture (pixels)");
}
BENCHMARK_TEMPLATE(BM_Triangle, rasterizeTriangle)->Args({16, 0})->Args({64, 0})->Args({300, 0})->Args({64, 1});
BENCHMARK_TEMPLATE(BM_Triangle, rasterizeTriangleAnySize)->Args({64, 0});

void nothing(Renderer*, const ClipVertex&, const ClipVertex&, const ClipVertex&, RowBand) {}

// The clipper alone (pieces go nowhere): triangles inside, across one plane, across corners.
void BM_Clip(benchmark::State& state) {
    resetScreen();
    extractClipPlanes(renderer.clipPlanes, mat4Identity());
    std::mt19937 gen(5);
    const float spread = state.range(0) == 0 ? 0.9f : state.range(0) == 1 ? 1.3f : 3.0f;
    std::uniform_real_distribution<float> d(-spread, spread);
    std::vector<ClipVertex> v(3 * 1024);
    for (ClipVertex& p : v) p = ClipVertex{d(gen), d(gen), d(gen) * 0.5f, 0.5f, 0.5f};
    size_t i = 0;
    for (auto _ : state) {
        clipTriangleTo(&renderer, v[i], v[i + 1], v[i + 2], 0, nothing);
        i = (i + 3) % v.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) == 0 ? "inside (triangles)" : state.range(0) == 1 ? "some cut" : "mostly cut");
}
BENCHMARK(BM_Clip)->Arg(0)->Arg(1)->Arg(2);

// A UV sphere of rows x 2·rows quads, radius 45, seen like the rippling sphere: the
// camera 150 units away with 45 degrees, filling about half the screen.
struct Sphere {
    std::vector<Vertex> v;
    std::vector<int32_t> idx;
    explicit Sphere(int rows) {
        const int cols = 2 * rows;
        for (int i = 0; i <= rows; ++i)
            for (int j = 0; j <= cols; ++j) {
                const float th = 3.14159265f * static_cast<float>(i) / rows;
                const float ph = 6.2831853f * static_cast<float>(j) / cols;
                const float nx = std::sin(th) * std::cos(ph), ny = std::cos(th), nz = std::sin(th) * std::sin(ph);
                v.push_back(Vertex{45 * nx, 45 * ny, 45 * nz, 1, nx, ny, nz,
                                   static_cast<float>(j) / cols, static_cast<float>(i) / rows});
            }
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) {
                const int a = i * (cols + 1) + j, b = a + cols + 1;
                idx.insert(idx.end(), {a, a + 1, b, a + 1, b + 1, b});
            }
    }
};

void BM_DrawSphere(benchmark::State& state) {
    resetScreen();
    static Sphere sphere(64);   // 8,320 vertices, 16,384 triangles
    renderer.envMap = state.range(0) != 0;
    renderer.viewportY = 30;
    renderer.viewportHeight = 400;
    mat4Perspective(renderer.projection, 45, 640.0f / 400.0f, 1, 1000);
    mat4LookAt(renderer.view, Vec3{0, 40, 150}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    float angle = 0;
    for (auto _ : state) {
        clearDepth(&renderer, screenWidth * screenHeight);
        mat4RotateAxis(renderer.model, angle, Vec3{0.3f, 1, 0.1f});
        angle += 0.01f;
        drawMesh(&renderer, sphere.v.data(), sphere.idx.data(), static_cast<int32_t>(sphere.v.size()),
                 static_cast<int32_t>(sphere.idx.size()));
        benchmark::DoNotOptimize(screen->pixels);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sphere.idx.size() / 3));
    state.SetLabel(renderer.envMap ? "environment mapped (triangles)" : "mesh coordinates (triangles)");
}
BENCHMARK(BM_DrawSphere)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Fill rate: two triangles covering the letterbox viewport, cut by all four side planes.
void BM_DrawFullScreen(benchmark::State& state) {
    resetScreen();
    renderer.viewportY = 30;
    renderer.viewportHeight = 400;
    const Vertex v[] = {{-1.2f, -1.2f, 0, 1, 0, 0, 1, 0, 0}, {1.2f, -1.2f, 0, 1, 0, 0, 1, 1, 0},
                        {1.2f, 1.2f, 0, 1, 0, 0, 1, 1, 1}, {-1.2f, 1.2f, 0, 1, 0, 0, 1, 0, 1}};
    const int32_t idx[] = {0, 1, 2, 0, 2, 3};
    for (auto _ : state) {
        clearDepth(&renderer, screenWidth * screenHeight);
        drawMesh(&renderer, v, idx, 4, 6);
        benchmark::DoNotOptimize(screen->pixels);
    }
    state.SetItemsProcessed(state.iterations() * 640 * 400);
    state.SetLabel("pixels");
}
BENCHMARK(BM_DrawFullScreen)->Unit(benchmark::kMillisecond);

// A screen-filling mesh of small triangles: a grid of cols x rows quads over the letterbox
// viewport, the size of triangle the scenes' meshes have (range(0) quads across).
void BM_DrawGrid(benchmark::State& state) {
    resetScreen();
    renderer.viewportY = 30;
    renderer.viewportHeight = 400;
    renderer.mipmapping = false;
    const int cols = static_cast<int>(state.range(0)), rows = cols * 3 / 4;
    std::vector<Vertex> v;
    std::vector<int32_t> idx;
    for (int i = 0; i <= rows; ++i)
        for (int j = 0; j <= cols; ++j) {
            const float x = -0.98f + 1.96f * static_cast<float>(j) / cols;
            const float y = -0.98f + 1.96f * static_cast<float>(i) / rows;
            v.push_back(Vertex{x, y, 0.1f * x, 1, 0, 0, 1, static_cast<float>(j) / cols, static_cast<float>(i) / rows});
        }
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            const int a = i * (cols + 1) + j, b = a + cols + 1;
            idx.insert(idx.end(), {a, a + 1, b, a + 1, b + 1, b});
        }
    for (auto _ : state) {
        clearDepth(&renderer, screenWidth * screenHeight);
        drawMesh(&renderer, v.data(), idx.data(), static_cast<int32_t>(v.size()), static_cast<int32_t>(idx.size()));
        benchmark::DoNotOptimize(screen->pixels);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(idx.size() / 3));
    state.SetLabel(std::to_string(idx.size() / 3) + " triangles (triangles)");
}
BENCHMARK(BM_DrawGrid)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

// The depth clear of the 3D scenes: the whole 640x480 buffer set to 1.0.
void BM_ClearDepth(benchmark::State& state) {
    for (auto _ : state) {
        clearDepth(&renderer, screenWidth * screenHeight);
        benchmark::DoNotOptimize(renderer.depthBuffer);
    }
    state.SetItemsProcessed(state.iterations() * screenWidth * screenHeight);
}
BENCHMARK(BM_ClearDepth);

}  // namespace

BENCHMARK_MAIN();
