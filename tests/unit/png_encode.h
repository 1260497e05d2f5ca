// A small PNG encoder for hand-made test files: libpng writes exactly the size, bit depth,
// colour type, palette, transparency and interlacing asked for, into memory. Shared by the
// PNG tests and the fuzzers' seed writer.
#pragma once
#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pngtest {

using Bytes = std::vector<uint8_t>;

// What goes into the file.
struct PngPlan {
    uint32_t width = 1, height = 1;
    int depth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    Bytes samples;                      // packed rows exactly as they go into the file
    std::vector<png_color> palette;
    Bytes trnsAlpha;                    // palette files: alpha per palette entry
    bool trnsColor = false;             // RGB / grey files: transparent colour below
    png_color_16 trnsValue{};
    bool interlaced = false;
};

inline void appendData(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Encodes plan into a PNG held in memory; false when libpng refuses it. Only trivially
// destructible locals live beside the setjmp.
inline bool encodeInto(const PngPlan& plan, Bytes* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendData, nullptr);
    png_set_IHDR(png, info, plan.width, plan.height, plan.depth, plan.colorType,
                 plan.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!plan.palette.empty())
        png_set_PLTE(png, info, plan.palette.data(), static_cast<int>(plan.palette.size()));
    if (!plan.trnsAlpha.empty())
        png_set_tRNS(png, info, plan.trnsAlpha.data(), static_cast<int>(plan.trnsAlpha.size()),
                     nullptr);
    if (plan.trnsColor) png_set_tRNS(png, info, nullptr, 0, &plan.trnsValue);
    png_write_info(png, info);
    const size_t rowBytes = plan.samples.size() / plan.height;
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < plan.height; ++y)
            png_write_row(png, plan.samples.data() + y * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace pngtest
