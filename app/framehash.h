// app/framehash.h — a fingerprint of a whole frame, for comparing frames made on other
// machines, builds and code paths without keeping the pictures: 64-bit FNV-1a over the
// pixel words (each as its four bytes B, G, R, A), the alpha byte included.
#pragma once
#include <cstdint>

#include "assets/image.h"

inline uint64_t frameHash(const Image& image) {
    uint64_t h = 14695981039346656037ull;
    const int64_t count = static_cast<int64_t>(image.width) * image.height;
    for (int64_t i = 0; i < count; ++i) {
        const uint32_t word = image.pixels[i];
        for (int shift = 0; shift < 32; shift += 8) {
            h ^= (word >> shift) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    return h;
}
