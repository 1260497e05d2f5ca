// display/display.h — the window the demo plays in, and the conversion of the 32-bit frame
// into the display's pixel format.
//
// Offers: PixelConverter, the eight row converters, selectPixelConverter, convertFrame,
//         planFrameScaling, initDisplay / presentFrame / displayHidden / shutdownDisplay,
//         escapePressed, nextKeyPress (with keyNameForSdl), setFullscreen, the options of
//         the display (window or full screen, first depth of the format search).
// Needs:  SDL2 (video and events).
//
// The frame is 640x480 words 0xAARRGGBB, top row first, rows exactly 640 pixels apart.
// It is shown through an SDL streaming texture of 640x480 scaled to the window with its
// aspect kept (black bars where the shapes differ), presented with vsync. The texture
// format is searched at 32, then 24, then 16 bits per pixel; the first one that can be
// created decides the converter, so every frame is converted row by row straight into the
// locked texture. How the texture is enlarged is planFrameScaling's plan: every frame pixel
// comes out the same size on the screen, whatever the window's size.
//
// Not thread-safe: everything here runs on the main thread.
#pragma once
#include <cstdint>
#include <vector>

// Converts `count` consecutive source pixels 0xAARRGGBB into `count` consecutive
// destination pixels of 4, 3 or 2 bytes, stored little-endian. Channels are reduced by
// dropping low bits (no rounding, no dithering).
typedef void (*PixelConverter)(const uint32_t* source, void* destination, int32_t count);

// 32 bpp, masks R 0xFF0000 G 0xFF00 B 0xFF: the source word, alpha byte included.
void convertCopy32(const uint32_t* source, void* destination, int32_t count);
// 32 bpp, masks R 0xFF G 0xFF00 B 0xFF0000: (B << 16) | (G << 8) | R, top byte 0.
void convertSwap32(const uint32_t* source, void* destination, int32_t count);
// 24 bpp, masks R 0xFF0000 G 0xFF00 B 0xFF: bytes B, G, R in memory.
void convertBgr24(const uint32_t* source, void* destination, int32_t count);
// 24 bpp, masks R 0xFF G 0xFF00 B 0xFF0000: bytes R, G, B in memory.
void convertRgb24(const uint32_t* source, void* destination, int32_t count);
// 16 bpp 5-6-5, red on top: ((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3).
void convert565(const uint32_t* source, void* destination, int32_t count);
// 16 bpp 5-6-5, blue on top: ((B >> 3) << 11) | ((G >> 2) << 5) | (R >> 3).
void convert565Swapped(const uint32_t* source, void* destination, int32_t count);
// 16 bpp 5-5-5, red on top, bit 15 clear: ((R >> 3) << 10) | ((G >> 3) << 5) | (B >> 3).
void convert555(const uint32_t* source, void* destination, int32_t count);
// 16 bpp 5-5-5, blue on top, bit 15 clear: ((B >> 3) << 10) | ((G >> 3) << 5) | (R >> 3).
void convert555Swapped(const uint32_t* source, void* destination, int32_t count);

// The converter whose bit count and red, green and blue masks all equal the given ones
// exactly; null when none does. 5-5-5 formats are matched with a bit count of 16, the way
// displays report 15-bit modes. The alpha mask plays no part.
PixelConverter selectPixelConverter(uint32_t bitCount, uint32_t redMask, uint32_t greenMask,
                                    uint32_t blueMask);

// The converter for an SDL pixel format (SDL_PixelFormatEnum value), found through its
// bit count and masks as SDL reports them; null when the format has none.
PixelConverter converterForSdlFormat(uint32_t sdlFormat);

// The SDL texture formats tried, in order, when the search starts at `firstDepth` bits per
// pixel (32, 24 or 16; anything else counts as 32). Writes at most `capacity` entries and
// returns how many there are.
int textureFormatCandidates(int firstDepth, uint32_t* formats, int capacity);

// Converts a width x height frame (rows `width` pixels apart) into memory whose rows are
// `pitch` bytes apart. Bytes of a destination row beyond its pixels are left untouched.
void convertFrame(PixelConverter converter, const uint32_t* pixels, int32_t width,
                  int32_t height, void* destination, int32_t pitch);

// How a frameWidth x frameHeight frame fills a window of outputWidth x outputHeight
// pixels ("sharp bilinear"). The picture is the largest of the frame's aspect that fits,
// centred, with black bars elsewhere.
//  - When the picture is a whole multiple of the frame, it is drawn with nearest neighbour
//    and nothing else: every frame pixel becomes a square of whole screen pixels.
//  - Otherwise the frame is first enlarged by a whole factor with nearest neighbour into an
//    intermediate texture, and that is scaled to the picture's size with linear filtering.
//    The factor is the largest whole one that fits, and 2 between 1x and 2x (then the last
//    pass shrinks a little). Every frame pixel then covers the same area of the screen;
//    only the screen pixels on its edges are blends of it and its neighbour. (Nearest
//    neighbour alone would make neighbouring pixels one and two, or two and three, screen
//    pixels wide, which shimmers as things move.)
//  - A picture smaller than the frame is the frame filtered linearly, with no intermediate.
// Sizes of 0 or less give an empty picture.
struct FrameScaling {
    int factor;                 // the whole-number nearest-neighbour factor (1: none)
    bool intermediate;          // true: frame -> intermediate texture of factor x its size
    int intermediateWidth;      // frameWidth * factor, when intermediate
    int intermediateHeight;     // frameHeight * factor, when intermediate
    bool linear;                // the last pass filters linearly (false: nearest neighbour)
    int x, y, width, height;    // the picture in the window, in pixels
};
FrameScaling planFrameScaling(int frameWidth, int frameHeight, int outputWidth,
                              int outputHeight);

struct DisplayOptions {
    bool windowed;      // false: borderless desktop full screen, pointer hidden;
                        // true: a resizable 640x480 window
    int firstDepth;     // 32, 24 or 16: where the texture format search starts
};

// Set before initDisplay; the default is full screen starting at 32 bits.
void setDisplayOptions(const DisplayOptions& options);

// Opens the window "^__^", the renderer and the 640x480 texture and chooses the converter.
// Returns 1 on success, 0 on any failure (displayError() then says why). Switches the
// screen saver off.
int32_t initDisplay();
// Why the last initDisplay failed ("" when it did not).
const char* displayError();
// Bits per pixel and SDL name of the texture format in use (after a successful init).
int displayDepth();
const char* displayFormatName();

// Pumps pending events, then converts and shows the 640x480 frame. While the window is
// minimised or hidden nothing is drawn: it waits like displayHidden() and returns 1.
// Returns 0 only when the texture cannot be locked. A close request (window close button,
// the window manager's quit) shuts the display down and ends the process with exit code 0.
int32_t presentFrame(const uint32_t* pixels);

// Pumps pending events and tells whether nothing of the window can be seen (minimised or
// hidden), so that the frame loop skips drawing the frame. While that is so, the call
// first waits for window events for about a frame's time (16 ms), returning as soon as
// the window shows again: a loop that draws nothing then neither spins nor reacts to a
// restore later than a frame. False at once while the window can be seen (and when there
// is no window).
bool displayHidden();

// For tests and screenshots: draws the frame exactly as presentFrame would, then reads the
// window's pixels back (0xAARRGGBB, top row first) instead of showing them. False when
// there is no window or SDL cannot read the pixels.
bool readBackFrame(const uint32_t* pixels, std::vector<uint32_t>* out, int* width,
                   int* height);

// Gives the display back: destroys texture, renderer and window and switches the screen
// saver on again. Safe to call twice.
void shutdownDisplay();

// Pumps events and tells whether Escape is held now or was pressed since the last call
// (a tap shorter than a frame still counts).
bool escapePressed();

// A key pressed in the window, named as web pages name it (KeyboardEvent.key), so that the
// window and the page share one table of what keys do (app/player.h): " ", "ArrowLeft",
// "ArrowRight", "PageUp", "PageDown", "Home", "1" to "9", ".", "m", "+" (also the key
// "=" and the keypad's +), "-", "f", "Enter"; and the modifiers held with it.
struct KeyPress {
    const char* key;
    bool alt, ctrl, meta, shift;
    bool repeat;   // the key is held down and the system repeats it
};
// The name for an SDL key code (SDL_Keycode), null for keys the demo does not name.
const char* keyNameForSdl(int32_t keycode);
// The oldest key press not yet taken (events are pumped first); false when none waits.
// Only named keys are kept, at most 32 of them.
bool nextKeyPress(KeyPress* press);

// Switches the window to borderless full screen on its display (pointer hidden) or back to
// a resizable 640x480 window in the middle of it. Nothing without a window.
void setFullscreen(bool on);
// True while the window covers its display.
bool displayFullscreen();
