// libFuzzer target: decodePng over arbitrary bytes must return, never crash or leak.
#include "assets/image.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Pictures within the decoder's limits but above this many pixels only cost time
// (a 16384 x 16384 picture is a 1 GiB buffer); the fuzzer skips them.
constexpr uint64_t kMaxFuzzPixels = 1u << 22;

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Signature (8) + IHDR length and type (8), then width and height.
    if (size >= 24) {
        const uint64_t width = bigEndian(data + 16), height = bigEndian(data + 20);
        if (width <= 16384 && height <= 16384 && width * height > kMaxFuzzPixels) return 0;
    }
    Image image{nullptr, 0, 0};
    std::string error, reason;
    if (decodePng(data, size, &image, &error, &reason)) {
        // Touch every pixel so a short buffer shows up under AddressSanitizer.
        uint32_t sum = 0;
        const size_t count = size_t(image.width) * size_t(image.height);
        for (size_t i = 0; i < count; ++i) sum += image.pixels[i];
        static volatile uint32_t sink;
        sink = sum;
        delete[] image.pixels;
        return 0;
    }
    if (error.empty() || image.pixels) __builtin_trap();  // a failure must say why and keep nothing
    return 0;
}
