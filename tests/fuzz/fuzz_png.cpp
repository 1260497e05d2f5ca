// libFuzzer target: decodePng over arbitrary bytes must return, never crash or leak.
//
// libpng is the system's build, without the fuzzer's coverage instrumentation, so on its
// own the fuzzer would see only our thin side of the decoder. Two things make up for it:
// every chunk's CRC is recomputed before decoding, so mutated files reach libpng's chunk
// handlers instead of all failing the checksum; and each distinct outcome (libpng's error
// message, or the decoded size and kind) bumps one of libFuzzer's extra counters, so an
// input that reaches a new error or a new kind of picture is kept in the corpus.
#include "assets/image.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Pictures within the decoder's limits but above this many pixels only cost time
// (a 16384 x 16384 picture is a 1 GiB buffer); the fuzzer skips them.
constexpr uint64_t kMaxFuzzPixels = 1u << 22;

// Read by libFuzzer as coverage features of their own.
__attribute__((used, section("__libfuzzer_extra_counters"))) uint8_t outcomeSeen[512];

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void noteOutcome(const std::string& outcome) {
    uint32_t h = 2166136261u;   // FNV-1a
    for (unsigned char c : outcome) h = (h ^ c) * 16777619u;
    uint8_t& counter = outcomeSeen[h % sizeof outcomeSeen];
    if (counter < 255) ++counter;
}

// Walks the chunks after the signature and rewrites each complete chunk's CRC.
void fixChunkCrcs(std::vector<uint8_t>* file) {
    uint8_t* b = file->data();
    for (size_t at = 8; at + 12 <= file->size();) {
        const uint32_t length = bigEndian(b + at);
        if (length > file->size() - at - 12) break;
        const uint32_t crc = static_cast<uint32_t>(crc32(0, b + at + 4, 4 + length));
        uint8_t* out = b + at + 8 + length;
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        at += 12 + length;
    }
}

}  // namespace

// Where the pixel sum goes, so the reads that touch every pixel are not optimised away.
volatile uint32_t fuzzPixelSum = 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Signature (8) + IHDR length and type (8), then width and height.
    if (size >= 24) {
        const uint64_t width = bigEndian(data + 16), height = bigEndian(data + 20);
        if (width <= 16384 && height <= 16384 && width * height > kMaxFuzzPixels) return 0;
    }
    std::vector<uint8_t> file(data, data + size);
    fixChunkCrcs(&file);

    Image image{nullptr, 0, 0};
    std::string error, reason;
    if (decodePng(file.data(), file.size(), &image, &error, &reason)) {
        // Touch every pixel so a short buffer shows up under AddressSanitizer.
        uint32_t sum = 0;
        const size_t count = size_t(image.width) * size_t(image.height);
        for (size_t i = 0; i < count; ++i) sum += image.pixels[i];
        fuzzPixelSum = sum;
        noteOutcome("ok " + std::to_string(image.width % 16) + "x" + std::to_string(image.height % 16) +
                    " " + std::to_string(image.pixels[0] >> 24 == 0xFF));
        delete[] image.pixels;
        return 0;
    }
    if (error.empty() || image.pixels) __builtin_trap();  // a failure must say why and keep nothing
    noteOutcome(reason);
    return 0;
}
