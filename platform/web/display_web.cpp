// display/display.h in a web page: the frame goes to the page's frame canvas
// (Module.canvas, 640x480) through a 2D context, and the page's Module.pixeldemoFrame()
// shows it scaled to the window as the native build scales it. The page owns full screen,
// so there is no window, texture format or key handling here: Escape belongs to the
// browser, which leaves full screen with it.
#include <emscripten.h>

#include <cstdint>
#include <vector>

#include "assets/image.h"
#include "display/display.h"
#include "display/messagebox.h"

namespace {

struct WebDisplay {
    bool open = false;
    std::vector<uint32_t> rgba;   // the frame as the canvas stores it: bytes R, G, B, A
};

WebDisplay display;

// 0xAARRGGBB to bytes R, G, B, 255: the canvas keeps what it is given, and a pixel whose
// alpha byte is not 255 would show the page through it.
void convertOpaqueRgba(const uint32_t* source, uint32_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        destination[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
}

}  // namespace

// The page's canvas (Module.canvas) gets the pixels at `address`; false when there is no
// canvas or no 2D context.
EM_JS(int, webPutFrame, (const void* address, int width, int height), {
    const canvas = Module['canvas'];
    if (!canvas) return 0;
    if (!Module.pixeldemoContext) {
        Module.pixeldemoContext = canvas.getContext('2d', {alpha: false});
        if (!Module.pixeldemoContext) return 0;
    }
    if (canvas.width != width || canvas.height != height) {
        canvas.width = width;
        canvas.height = height;
    }
    if (typeof SharedArrayBuffer !== 'undefined' && HEAPU8.buffer instanceof SharedArrayBuffer) {
        // The threaded build: ImageData takes no view of shared memory, so the frame is
        // copied into one kept for the purpose.
        let image = Module.pixeldemoImage;
        if (!image || image.width != width || image.height != height) {
            image = Module.pixeldemoImage = new ImageData(width, height);
        }
        image.data.set(HEAPU8.subarray(address, address + width * height * 4));
        Module.pixeldemoContext.putImageData(image, 0, 0);
    } else {
        // A new view each frame: the heap's buffer is replaced when memory grows.
        const bytes = new Uint8ClampedArray(HEAPU8.buffer, address, width * height * 4);
        Module.pixeldemoContext.putImageData(new ImageData(bytes, width, height), 0, 0);
    }
    if (Module.pixeldemoFrame) Module.pixeldemoFrame();
    return 1;
});

void setDisplayOptions(const DisplayOptions&) {}

const char* displayError() { return display.open ? "" : "the page has no canvas"; }

int displayDepth() { return 32; }

const char* displayFormatName() { return "SDL_PIXELFORMAT_ABGR8888"; }

int32_t initDisplay() {
    display.rgba.assign(static_cast<size_t>(screenWidth) * screenHeight, 0xFF000000u);
    display.open = webPutFrame(display.rgba.data(), screenWidth, screenHeight) != 0;
    return display.open ? 1 : 0;
}

int32_t presentFrame(const uint32_t* pixels) {
    if (!display.open) return 1;
    convertOpaqueRgba(pixels, display.rgba.data(), screenWidth * screenHeight);
    return webPutFrame(display.rgba.data(), screenWidth, screenHeight) ? 1 : 0;
}

// A page that cannot be seen gets no frame callbacks from the browser at all.
bool displayHidden() { return false; }

// The canvas belongs to the page; tests of the page read its frames through the page.
bool readBackFrame(const uint32_t*, std::vector<uint32_t>*, int*, int*) { return false; }

void shutdownDisplay() {
    display.open = false;
    setMessageBoxOwner(nullptr);
}

bool escapePressed() { return false; }

// The page takes its keys itself (page.js) and hands them to the demo's key table.
const char* keyNameForSdl(int32_t) { return nullptr; }
bool nextKeyPress(KeyPress*) { return false; }

// Full screen belongs to the page (the Fullscreen API of its stage).
void setFullscreen(bool) {}
bool displayFullscreen() { return false; }
