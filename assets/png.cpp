// assets/png.cpp — PNG decoding and encoding through libpng.
//
// libpng reports errors by calling our error function, which longjmps back to the
// recovery point. The functions holding a setjmp therefore keep only trivially
// destructible locals, and everything they allocate lives in a record owned by the
// caller, so an error path can always free it.
#include "assets/image.h"
#include "assets/report.h"

#include <png.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "platform/paths.h"

namespace {

const char kNotFound[] = "File not found: %s \n";
const char kNotPng[] = "Not a valid PNG file \n";
const char kNoAlpha[] = "The PNG's without alpha channel or it's invalid \n";

// Larger pictures are refused before anything is allocated for them.
constexpr png_uint_32 kMaxPngSide = 16384;
// Ancillary chunks: at most this many kept, none larger than this.
constexpr png_uint_32 kChunkCacheMax = 128;
constexpr png_alloc_size_t kChunkMallocMax = 8u * 1024u * 1024u;
// A PNG file larger than this is not one of ours.
constexpr size_t kMaxPngFileBytes = 512u * 1024u * 1024u;

// What the library callbacks share with the decoder.
struct PngReadState {
    const uint8_t* data;
    size_t size;
    size_t offset;
    char reason[160];       // libpng's own words for the last error
    uint32_t* block;        // decoded pixels, width * height words
    png_bytep* rows;        // row pointers into block
};

enum class DecodeResult { ok, notPng, noAlpha };

void onPngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    if (state) std::snprintf(state->reason, sizeof state->reason, "%s", message ? message : "");
    png_longjmp(png, 1);
}

void readPngData(png_structp png, png_bytep destination, size_t length) {
    auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
    if (length > state->size - state->offset) {
        // Copy what is there, then report the short read as the error it is.
        state->offset = state->size;
        png_error(png, "file ends early");
    }
    std::memcpy(destination, state->data + state->offset, length);
    state->offset += length;
}

// Drives libpng over state->data. On success state->block holds the 0xAARRGGBB pixels.
// Only trivially destructible locals here: onPngError longjmps into this frame.
DecodeResult decodeCore(PngReadState* state, png_uint_32* outWidth, png_uint_32* outHeight) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, onPngError, nullptr);
    if (!png) return DecodeResult::notPng;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return DecodeResult::notPng;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return DecodeResult::notPng;
    }
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_set_chunk_cache_max(png, kChunkCacheMax);
    png_set_chunk_malloc_max(png, kChunkMallocMax);
    png_set_read_fn(png, state, readPngData);
    png_read_info(png, info);

    const int fileDepth = png_get_bit_depth(png, info);
    const int fileType = png_get_color_type(png, info);
    if (fileType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (fileType == PNG_COLOR_TYPE_GRAY && fileDepth < 8) png_set_gray_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (fileDepth == 16)
        png_set_strip_16(png);
    else if (fileDepth < 8)
        png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, type = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &type, nullptr, nullptr, nullptr);
    const size_t channels = type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : type == PNG_COLOR_TYPE_RGB ? 3 : 0;
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    if (channels == 0 || depth != 8 || png_get_rowbytes(png, info) != rowBytes) {
        png_destroy_read_struct(&png, &info, nullptr);
        return DecodeResult::noAlpha;
    }

    // One word per pixel from the start: RGBA rows fill it exactly, RGB rows use the
    // front three quarters and are widened in place below.
    const size_t pixelCount = static_cast<size_t>(width) * height;
    state->block = new (std::nothrow) uint32_t[pixelCount];
    state->rows = new (std::nothrow) png_bytep[height];
    if (!state->block || !state->rows) png_error(png, "out of memory");
    auto* bytes = reinterpret_cast<png_bytep>(state->block);
    for (png_uint_32 r = 0; r < height; ++r) state->rows[r] = bytes + r * rowBytes;

    png_read_image(png, state->rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete[] state->rows;
    state->rows = nullptr;

    if (channels == 4) {
        for (size_t i = 0; i < pixelCount; ++i) {
            const png_bytep p = bytes + 4 * i;
            state->block[i] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) |
                              (uint32_t(p[1]) << 8) | uint32_t(p[2]);
        }
    } else {
        // Backwards, so no pixel's bytes are overwritten before they are read.
        for (size_t i = pixelCount; i-- > 0;) {
            const png_bytep p = bytes + 3 * i;
            state->block[i] = 0xFF000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) |
                              uint32_t(p[2]);
        }
    }
    *outWidth = width;
    *outHeight = height;
    return DecodeResult::ok;
}

// On failure *reason says why (a read error such as "Is a directory", or the size).
bool readWholeFile(FILE* file, std::vector<uint8_t>* out, std::string* reason) {
    uint8_t chunk[65536];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got > 0) {
            if (out->size() + got > kMaxPngFileBytes) {
                *reason = "the file is larger than any picture can be";
                return false;
            }
            out->insert(out->end(), chunk, chunk + got);
        }
        if (got < sizeof chunk) {
            if (!std::ferror(file)) return true;
            *reason = std::string("cannot read the file: ") + std::strerror(errno);
            return false;
        }
    }
}

}  // namespace

bool decodePng(const uint8_t* data, size_t size, Image* image, std::string* error,
               std::string* reason) {
    PngReadState state{};
    state.data = data;
    state.size = data ? size : 0;
    const char* message = nullptr;
    png_uint_32 width = 0, height = 0;
    switch (decodeCore(&state, &width, &height)) {
        case DecodeResult::ok:
            image->pixels = state.block;
            image->width = static_cast<int32_t>(width);
            image->height = static_cast<int32_t>(height);
            return true;
        case DecodeResult::notPng:
            message = kNotPng;
            break;
        case DecodeResult::noAlpha:
            message = kNoAlpha;
            std::snprintf(state.reason, sizeof state.reason, "colour type is not RGB or RGBA");
            break;
    }
    delete[] state.block;
    delete[] state.rows;
    if (error) *error = message;
    if (reason) *reason = state.reason[0] ? state.reason : "cannot create the PNG reader";
    return false;
}

void loadPng(Image* image, const char* path) {
    std::vector<uint8_t> bytes;
    std::string error = kNotPng, reason;
    char line[4200];
    FILE* file = openFile(path, "rb");
    const int openErrno = errno;
    std::error_code ec;
    if (!file && std::filesystem::is_directory(filePath(path), ec)) {
        // A folder in the picture's place: the Linux C library opens it and fails at the first
        // read, the Windows one refuses to open it. Said the same way on both.
        reason = std::string("cannot read the file: ") + std::strerror(EISDIR);
    } else if (!file) {
        reason = std::strerror(openErrno);
        std::snprintf(line, sizeof line, kNotFound, path);
        error = line;
    } else {
        const bool readOk = readWholeFile(file, &bytes, &reason);
        std::fclose(file);
        if (readOk && bytes.empty()) reason = "the file is empty";
        else if (readOk && decodePng(bytes.data(), bytes.size(), image, &error, &reason)) return;
    }
    reportAssetProblem({AssetKind::picture, path, error.c_str(), reason.c_str()});
    // The reporter let the caller go on: a transparent pixel stands in for the picture.
    image->pixels = new uint32_t[1]{0};
    image->width = 1;
    image->height = 1;
}

// ---------------------------------------------------------------------------------------
// Writing

namespace {

struct PngWriteState {
    char reason[160];
    int savedErrno;   // errno when the error was raised: why a write failed
};

void onPngWriteError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
    state->savedErrno = errno;
    std::snprintf(state->reason, sizeof state->reason, "%s", message ? message : "");
    png_longjmp(png, 1);
}

// Encodes image into the open file; rowBuffer has room for one converted row.
// Only trivially destructible locals: onPngWriteError longjmps into this frame.
bool encodeCore(FILE* file, const Image& image, bool withAlpha, PngCompression compression,
                png_bytep rowBuffer, PngWriteState* state) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, state, onPngWriteError, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    if (compression == PngCompression::fast) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_RLE);
    } else {
        png_set_compression_level(png, 3);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t width = static_cast<size_t>(image.width);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint32_t* src = image.pixels + static_cast<size_t>(y) * width;
        png_bytep dst = rowBuffer;
        for (size_t x = 0; x < width; ++x) {
            const uint32_t p = src[x];
            *dst++ = static_cast<png_byte>(p >> 16);
            *dst++ = static_cast<png_byte>(p >> 8);
            *dst++ = static_cast<png_byte>(p);
            if (withAlpha) *dst++ = static_cast<png_byte>(p >> 24);
        }
        png_write_row(png, rowBuffer);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const char* path, const Image& image, bool withAlpha, std::string* error) {
    return writePng(path, image, withAlpha, PngCompression::standard, error);
}

bool writePng(const char* path, const Image& image, bool withAlpha, PngCompression compression,
              std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = std::string(path) + ": " + message;
        return false;
    };
    if (image.width <= 0 || image.height <= 0 || !image.pixels)
        return fail("cannot write an empty image");

    // A unique name beside the target, so the final rename stays on one file system.
    static std::atomic<unsigned> counter{0};
    const std::string temp = std::string(path) + ".tmp" + std::to_string(getpid()) + "_" +
                             std::to_string(counter++);
    const int fd = createNewFile(temp);
    if (fd < 0) return fail(std::strerror(errno));
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        close(fd);
        std::error_code ec;
        std::filesystem::remove(filePath(temp), ec);
        return fail(std::strerror(saved));
    }

    std::vector<png_byte> rowBuffer(static_cast<size_t>(image.width) * 4);
    PngWriteState state{};
    const bool encoded = encodeCore(file, image, withAlpha, compression, rowBuffer.data(), &state);
    const bool writeFailed = std::ferror(file) != 0;   // libpng only says "Write Error"
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int flushErrno = errno;
    const bool closed = std::fclose(file) == 0;
    const int closeErrno = errno;
    std::string problem;
    if (!encoded) {
        problem = state.reason[0] ? state.reason : "cannot create the PNG writer";
        if (writeFailed && state.savedErrno) problem += std::string(": ") + std::strerror(state.savedErrno);
    }
    else if (!flushed)
        problem = std::strerror(flushErrno);
    else if (!closed)
        problem = std::strerror(closeErrno);
    else {
        // Replaces a file of that name, on Windows too (where std::rename would refuse).
        std::error_code ec;
        std::filesystem::rename(filePath(temp), filePath(path), ec);
        if (ec) problem = ec.message();
    }
    if (!problem.empty()) {
        std::error_code ec;
        std::filesystem::remove(filePath(temp), ec);
        return fail(problem);
    }
    return true;
}
