// assets/image.h — the picture record every part of the demo draws with, and PNG I/O.
//
// Offers: screenWidth, screenHeight (the frame size), Image, Texture, newImage/freeImage,
//         the process-wide drawing switch (drawingSuspended, SuspendDrawing),
//         loadPng (reports failures, assets/report.h),
//         decodePng (returns errors; the core that loadPng and the fuzzer drive),
//         halveImage, loadTexture, writePng.
// Needs:  libpng + zlib.
//
// Pixels are 32-bit words 0xAARRGGBB, top row first, row stride exactly `width`;
// in memory the bytes are B, G, R, A. Alpha 255 is opaque; colours are not premultiplied.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The size of the frame the demo draws and presents: `screen` (render3d/renderer.h), the
// display, the page's canvas and the exported frames all have it.
constexpr int32_t screenWidth = 640;
constexpr int32_t screenHeight = 480;

struct Image {
    uint32_t* pixels;   // width * height words, allocated with new[]
    int32_t width;
    int32_t height;

    // Mirrors the rows in place (row i <-> row height-1-i).
    void flipVertical();
};

// A mip chain: levels[0] is the image as loaded, levels[k+1] = halveImage(levels[k]).
struct Texture {
    int32_t maxLevel;   // index of the smallest level
    Image** levels;     // maxLevel + 1 entries
};

// The drawing switch. While drawing is suspended, every drawing operation of gfx2d and
// render3d (blits, fills, fades, wave effects, depth clears, meshes) returns at once
// without touching a pixel, and the scenes skip their own per-frame pixel and geometry
// work; everything else a scene does in a frame (its random draws, spin angles, the
// renderer's settings) runs as always. The timeline is advanced so to a jump's time
// (app/replay.h): the scenes' state moves exactly as in a run that draws, at a small part
// of the cost. On, the switch's normal position, nothing changes. Main thread only.
namespace drawing {
extern bool suspended;
}
inline bool drawingSuspended() { return drawing::suspended; }
// Suspends drawing for its lifetime, then puts the switch back as it was.
class SuspendDrawing {
public:
    SuspendDrawing() : was_(drawing::suspended) { drawing::suspended = true; }
    ~SuspendDrawing() { drawing::suspended = was_; }
    SuspendDrawing(const SuspendDrawing&) = delete;
    SuspendDrawing& operator=(const SuspendDrawing&) = delete;

private:
    bool was_;
};

// A new heap Image of w x h pixels; the pixels are not cleared.
Image* newImage(int32_t width, int32_t height);
// Frees the pixel block, then the record. Accepts null.
void freeImage(Image* image);

// Decodes a PNG held in memory. Accepts 8/16-bit RGB and RGBA, palette (with or without
// tRNS) and low-bit-depth grey; rejects 8/16-bit grey and grey+alpha. On failure returns
// false, leaves `image` untouched and puts the message the demo prints in *error
// (for example "Not a valid PNG file \n"); when `reason` is given it receives libpng's own
// account of the problem (for example "IHDR: CRC error"), for diagnostics on stderr.
// Sides above 16384 pixels are refused before anything is allocated.
bool decodePng(const uint8_t* data, size_t size, Image* image, std::string* error,
               std::string* reason = nullptr);

// Fills `image` from the file at `path`. On any failure hands the problem to the asset
// reporter (assets/report.h) with the console line the user is shown ("File not found: %s \n",
// "Not a valid PNG file \n" or "The PNG's without alpha channel or it's invalid \n") and
// the reason (the system's for a file that cannot be opened or read, libpng's for a bad
// one); if the reporter returns, `image` holds one transparent pixel.
void loadPng(Image* image, const char* path);
// A new heap Image filled by loadPng: the scenes' one-line image load.
Image* loadImage(const char* path);

// Half-size copy by 2x2 averaging ((sum + 2) >> 2 per channel); odd last row/column ignored.
Image* halveImage(const Image* image);

// Loads a PNG and builds its mip chain; maxLevel = trunc(ln(width) / ln(2)). Returns texture.
Texture* loadTexture(Texture* texture, const char* path);

// Releasing mirrors loading: `clear` empties a record its caller provided and a loader
// filled; `free` also deletes a record that was handed out on the heap. The demo keeps
// everything it loads for the whole run; tools and tests release.
//   newImage, loadImage, halveImage   -> freeImage
//   loadTexture(texture, path)        -> clearTexture(texture)
//   a heap Texture record             -> freeTexture
// Every level of the chain and the level array; the record stays, empty. Accepts null.
void clearTexture(Texture* texture);
// clearTexture, then deletes the heap record. Accepts null.
void freeTexture(Texture* texture);

// Writes an 8-bit PNG: RGB (alpha dropped) or RGBA. Writes to a temporary name and renames,
// so a failed write never leaves a half-written file under `path`.
bool writePng(const char* path, const Image& image, bool withAlpha, std::string* error);

// How writePng compresses. standard: zlib level 3 with libpng's choice of row filters.
// fast: every row filtered with its left neighbour (Sub) and zlib's run-length strategy at
// level 1, several times faster and about as small for rendered frames; --capture uses it.
enum class PngCompression { standard, fast };
bool writePng(const char* path, const Image& image, bool withAlpha, PngCompression compression,
              std::string* error);
