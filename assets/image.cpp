// assets/image.cpp — Image allocation, half-size copies and mip chains.
#include "assets/image.h"

#include <cstring>

#include <cmath>

namespace drawing {
bool suspended = false;
}

Image* newImage(int32_t width, int32_t height) {
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    Image* image = new Image;
    image->pixels = new uint32_t[static_cast<size_t>(width) * static_cast<size_t>(height)];
    image->width = width;
    image->height = height;
    return image;
}

void freeImage(Image* image) {
    if (!image) return;
    delete[] image->pixels;
    delete image;
}

Image* loadImage(const char* path) {
    Image* image = new Image{nullptr, 0, 0};
    loadPng(image, path);
    return image;
}

Image* halveImage(const Image* image) {
    const int32_t w2 = image->width / 2;
    const int32_t h2 = image->height / 2;
    Image* out = newImage(w2, h2);
    const size_t stride = static_cast<size_t>(image->width);
    for (int32_t y = 0; y < h2; ++y) {
        const uint32_t* row0 = image->pixels + static_cast<size_t>(2 * y) * stride;
        const uint32_t* row1 = row0 + stride;
        uint32_t* dst = out->pixels + static_cast<size_t>(y) * static_cast<size_t>(w2);
        for (int32_t x = 0; x < w2; ++x) {
            const uint32_t p0 = row0[2 * x], p1 = row0[2 * x + 1];
            const uint32_t p2 = row1[2 * x], p3 = row1[2 * x + 1];
            uint32_t result = 0;
            // Each channel on its own: mean of four, halves rounded up.
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t sum = ((p0 >> shift) & 0xFF) + ((p1 >> shift) & 0xFF) +
                                     ((p2 >> shift) & 0xFF) + ((p3 >> shift) & 0xFF);
                result |= ((sum + 2) >> 2) << shift;
            }
            dst[x] = result;
        }
    }
    return out;
}

Texture* loadTexture(Texture* texture, const char* path) {
    Image* base = loadImage(path);
    // Only the width decides the depth of the chain; exact for powers of two.
    const int32_t maxLevel =
        static_cast<int32_t>(std::log(static_cast<double>(base->width)) / std::log(2.0));
    texture->maxLevel = maxLevel;
    texture->levels = new Image*[static_cast<size_t>(maxLevel) + 1];
    texture->levels[0] = base;
    for (int32_t k = 1; k <= maxLevel; ++k) texture->levels[k] = halveImage(texture->levels[k - 1]);
    return texture;
}

void clearTexture(Texture* texture) {
    if (!texture || !texture->levels) return;
    for (int32_t k = 0; k <= texture->maxLevel; ++k) freeImage(texture->levels[k]);
    delete[] texture->levels;
    texture->levels = nullptr;
    texture->maxLevel = 0;
}

void freeTexture(Texture* texture) {
    clearTexture(texture);
    delete texture;
}

void Image::flipVertical() {
    const size_t stride = static_cast<size_t>(width > 0 ? width : 0);
    // Rows up to this long are exchanged through a buffer with three block copies, which
    // run many pixels at a time; longer ones pixel by pixel.
    constexpr size_t kBufferPixels = 2048;
    uint32_t buffer[kBufferPixels];
    const size_t bytes = stride * sizeof(uint32_t);
    for (int32_t i = 0; i < height / 2; ++i) {
        uint32_t* top = pixels + static_cast<size_t>(i) * stride;
        uint32_t* bottom = pixels + static_cast<size_t>(height - 1 - i) * stride;
        if (stride <= kBufferPixels) {
            std::memcpy(buffer, top, bytes);
            std::memcpy(top, bottom, bytes);
            std::memcpy(bottom, buffer, bytes);
        } else {
            std::swap_ranges(top, top + stride, bottom);
        }
    }
}
