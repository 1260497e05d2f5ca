// tools/assetgen/icon.cpp — icon.h: Blip's pixels as an .ico file.
//
// The file: a 6-byte header, one 16-byte entry per picture (width and height, 0 meaning 256;
// 32 bits a pixel; size and offset of its data), then the data. A bitmap picture is a
// BITMAPINFOHEADER whose height counts the colour rows and the mask rows, its pixels as B, G,
// R, A from the bottom row up, then a 1-bit mask (rows padded to 4 bytes, 1 = transparent)
// for programs that ignore alpha. A PNG picture is the PNG file as it is.
#include "tools/assetgen/icon.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

std::vector<uint8_t> bitmapData(const Image& picture) {
    const int size = picture.width;
    std::vector<uint8_t> out;
    const int maskStride = (size + 31) / 32 * 4;
    put32(out, 40);                   // BITMAPINFOHEADER
    put32(out, static_cast<uint32_t>(size));
    put32(out, static_cast<uint32_t>(2 * size));   // the colours and the mask
    put16(out, 1);                    // planes
    put16(out, 32);                   // bits a pixel
    put32(out, 0);                    // BI_RGB
    put32(out, static_cast<uint32_t>(size * size * 4 + maskStride * size));
    for (int i = 0; i < 4; ++i) put32(out, 0);   // resolution, palette
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x) put32(out, picture.pixels[y * size + x]);   // B G R A
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
        for (int x = 0; x < size; ++x)
            if ((picture.pixels[y * size + x] >> 24) == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

[[noreturn]] void pngFailed(png_structp, png_const_charp message) {
    std::fprintf(stderr, "assetgen: icon: %s\n", message ? message : "PNG error");
    std::exit(1);
}

std::vector<uint8_t> pngData(const Image& picture) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) pngFailed(png, "cannot create the PNG writer");
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(picture.width) * 4);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t p = picture.pixels[y * picture.width + x];
            row[x * 4 + 0] = static_cast<png_byte>(p >> 16);
            row[x * 4 + 1] = static_cast<png_byte>(p >> 8);
            row[x * 4 + 2] = static_cast<png_byte>(p);
            row[x * 4 + 3] = static_cast<png_byte>(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace

Image* iconPicture(const PoseCells& cells, int size) {
    Image* picture = newImage(size, size);
    std::fill(picture->pixels, picture->pixels + static_cast<size_t>(size) * size, 0u);
    const int scale = std::max(1, std::min(size / cells.width, size / cells.height));
    const int left = (size - cells.width * scale) / 2, top = (size - cells.height * scale) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int cx = (x - left) / scale, cy = (y - top) / scale;
            if (x < left || y < top || cx >= cells.width || cy >= cells.height) continue;
            picture->pixels[y * size + x] = cells.argb[static_cast<size_t>(cy) * cells.width + cx];
        }
    return picture;
}

std::vector<uint8_t> encodeIco(const std::vector<const Image*>& pictures) {
    std::vector<std::vector<uint8_t>> data;
    for (const Image* picture : pictures)
        data.push_back(picture->width > 48 ? pngData(*picture) : bitmapData(*picture));
    std::vector<uint8_t> out;
    put16(out, 0);   // reserved
    put16(out, 1);   // an icon
    put16(out, static_cast<uint32_t>(pictures.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        const int size = pictures[i]->width;
        out.push_back(static_cast<uint8_t>(size >= 256 ? 0 : size));
        out.push_back(static_cast<uint8_t>(size >= 256 ? 0 : size));
        out.push_back(0);   // no palette
        out.push_back(0);
        put16(out, 1);      // planes
        put16(out, 32);     // bits a pixel
        put32(out, static_cast<uint32_t>(data[i].size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(data[i].size());
    }
    for (const std::vector<uint8_t>& d : data) out.insert(out.end(), d.begin(), d.end());
    return out;
}

void generateIcon(const std::string& sourceDir, const std::string& path) {
    const std::string grids = sourceDir + "/pictures/creatures.txt";
    const SpriteSet set = readSpriteGrids(grids);
    const auto blip = std::find_if(set.poses.begin(), set.poses.end(),
                                   [](const Pose& pose) { return pose.name == "blip"; });
    if (blip == set.poses.end()) {
        std::fprintf(stderr, "assetgen: %s has no sprite [blip] for the icon\n", grids.c_str());
        std::exit(1);
    }
    const PoseCells cells = poseCells(set, *blip);
    std::vector<Image*> pictures;
    for (int size : kIconSizes) pictures.push_back(iconPicture(cells, size));
    const std::vector<uint8_t> ico = encodeIco({pictures.begin(), pictures.end()});
    for (Image* picture : pictures) freeImage(picture);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}
