// Shared fixtures of the 3D renderer tests: images with guard words around them, marker
// textures whose every texel names its level, row and column, and a scope that points the
// global renderer at a test image and restores it afterwards.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "render3d/clip.h"
#include "render3d/raster.h"
#include "render3d/renderer.h"

namespace r3dtest {

constexpr uint32_t kCanary = 0xBAD0BAD0u;       // guard words around every test image
constexpr uint32_t kBackground = 0xFE123456u;   // untouched pixels
constexpr size_t kGuardWords = 1 << 16;

// A heap image whose pixel block sits between two runs of canary words.
struct GuardedImage {
    std::vector<uint32_t> block;
    Image image;

    GuardedImage(int32_t w, int32_t h, uint32_t fill = kBackground)
        : block(kGuardWords * 2 + static_cast<size_t>(w) * h, kCanary),
          image{block.data() + kGuardWords, w, h} {
        std::fill(image.pixels, image.pixels + static_cast<size_t>(w) * h, fill);
    }
    GuardedImage(const GuardedImage&) = delete;
    GuardedImage& operator=(const GuardedImage&) = delete;

    uint32_t at(int x, int y) const { return image.pixels[static_cast<size_t>(y) * image.width + x]; }
    uint32_t& at(int x, int y) { return image.pixels[static_cast<size_t>(y) * image.width + x]; }
    bool guardsIntact() const {
        const size_t end = kGuardWords + static_cast<size_t>(image.width) * image.height;
        for (size_t i = 0; i < kGuardWords; ++i)
            if (block[i] != kCanary || block[end + i] != kCanary) return false;
        return true;
    }
};

// Texel (level L, row, col) = L << 16 | row << 8 | col with alpha 0, so a pixel shows
// exactly which texel of which level was copied (and that alpha was copied as it is).
inline uint32_t marker(int level, int row, int col) {
    return static_cast<uint32_t>(level) << 16 | static_cast<uint32_t>(row & 255) << 8 |
           static_cast<uint32_t>(col & 255);
}

// A mip chain of marker images, each level guarded like GuardedImage; level sizes follow
// halveImage (integer halving of width and height).
struct MarkerTexture {
    std::vector<std::unique_ptr<GuardedImage>> images;
    std::vector<Image*> levelPtrs;
    Texture texture;

    MarkerTexture(int32_t w, int32_t h, int32_t maxLevel) {
        for (int L = 0; L <= maxLevel; ++L) {
            const int32_t lw = w >> L, lh = h >> L;
            images.push_back(std::make_unique<GuardedImage>(lw, lh));
            for (int y = 0; y < lh; ++y)
                for (int x = 0; x < lw; ++x) images.back()->at(x, y) = marker(L, y, x);
            levelPtrs.push_back(&images.back()->image);
        }
        texture = Texture{maxLevel, levelPtrs.data()};
    }
    bool guardsIntact() const {
        for (const auto& img : images)
            if (!img->guardsIntact()) return false;
        return true;
    }
};

// Points the global renderer at `target` with a cleared depth buffer and the texture, and
// puts every field back when it goes out of scope.
struct RendererScope {
    Image* screen;
    Texture* texture;
    bool envMap, clipping, mipmapping;
    float mipBias;
    int32_t vx, vy, vw, vh;
    Mat4 model, view, projection;

    RendererScope(Image* target, Texture* tex)
        : screen(renderer.screen), texture(renderer.texture), envMap(renderer.envMap),
          clipping(renderer.clipping), mipmapping(renderer.mipmapping),
          mipBias(renderer.mipBias), vx(renderer.viewportX), vy(renderer.viewportY),
          vw(renderer.viewportWidth), vh(renderer.viewportHeight), model(renderer.model),
          view(renderer.view), projection(renderer.projection) {
        renderer.screen = target;
        renderer.texture = tex;
        renderer.mipmapping = false;
        renderer.mipBias = 0.0f;
        renderer.envMap = false;
        renderer.clipping = true;
        clearDepth(&renderer, screenWidth * screenHeight);
    }
    ~RendererScope() {
        renderer.screen = screen;
        renderer.texture = texture;
        renderer.envMap = envMap;
        renderer.clipping = clipping;
        renderer.mipmapping = mipmapping;
        renderer.mipBias = mipBias;
        renderer.viewportX = vx;
        renderer.viewportY = vy;
        renderer.viewportWidth = vw;
        renderer.viewportHeight = vh;
        renderer.model = model;
        renderer.view = view;
        renderer.projection = projection;
    }
};

// The x coordinates written in row y (pixels that differ from kBackground), left to right.
inline std::vector<int> rowCoverage(const GuardedImage& img, int y) {
    std::vector<int> xs;
    for (int x = 0; x < img.image.width; ++x)
        if (img.at(x, y) != kBackground) xs.push_back(x);
    return xs;
}

inline std::vector<int> range(int from, int to) {   // from..to inclusive
    std::vector<int> v;
    for (int x = from; x <= to; ++x) v.push_back(x);
    return v;
}

}  // namespace r3dtest
