// The SDL window, renderer and streaming texture that frames are presented through.
#include "display/display.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/image.h"
#include "display/messagebox.h"

namespace {

struct DisplayState {
    int32_t width = 0;
    int32_t height = 0;
    DisplayOptions options = {false, 32};
    bool videoStarted = false;
    bool screenSaverOff = false;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;      // the frame, streaming, in the converter's format
    SDL_Texture* enlarged = nullptr;     // render target: the frame times a whole factor
    int enlargedWidth = 0;
    int enlargedHeight = 0;
    bool enlargeFailed = false;          // the renderer cannot make render targets
    uint32_t format = SDL_PIXELFORMAT_UNKNOWN;
    PixelConverter converter = nullptr;
    bool escapeLatched = false;
    KeyPress keys[32];                   // the key presses not yet taken, oldest first
    int keyCount = 0;
    bool fullscreen = false;
    std::string error;
};

DisplayState display;

int32_t fail(const std::string& what) {
    display.error = what;
    const char* sdl = SDL_GetError();
    if (sdl && *sdl) display.error += std::string(": ") + sdl;
    return 0;
}

// Hidden means nothing of the window can be seen. A bare X server has no window manager to
// hand out focus, so visibility, not focus, decides.
bool windowHidden() {
    const Uint32 flags = SDL_GetWindowFlags(display.window);
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
}

void closeAndExit() {
    shutdownDisplay();
    std::fflush(stdout);
    std::exit(0);
}

SDL_Texture* makeFrameTexture(uint32_t format) {
    return SDL_CreateTexture(display.renderer, format, SDL_TEXTUREACCESS_STREAMING, display.width,
                             display.height);
}

void destroyEnlargedTarget() {
    if (display.enlarged) SDL_DestroyTexture(display.enlarged);
    display.enlarged = nullptr;
    display.enlargedWidth = display.enlargedHeight = 0;
}

// Gives up both textures; drawFrame makes them again when it next needs them. For
// shutting down, and for a renderer that lost its device (a driver update or reset, a
// graphics card removed; on Direct3D 9 a reset that failed) and with it every texture.
void dropTextures() {
    destroyEnlargedTarget();
    display.enlargeFailed = false;   // a new device may have render targets
    if (display.texture) SDL_DestroyTexture(display.texture);
    display.texture = nullptr;
}

// Keeps a named key's press for nextKeyPress; when the queue is full the press is dropped.
void keepKeyPress(const SDL_KeyboardEvent& key) {
    const char* name = keyNameForSdl(key.keysym.sym);
    if (!name || display.keyCount == static_cast<int>(sizeof display.keys / sizeof display.keys[0])) {
        return;
    }
    const Uint16 mod = key.keysym.mod;
    display.keys[display.keyCount++] = KeyPress{name, (mod & KMOD_ALT) != 0, (mod & KMOD_CTRL) != 0,
                                                (mod & KMOD_GUI) != 0, (mod & KMOD_SHIFT) != 0,
                                                key.repeat != 0};
}

// Handles every pending event: close requests end the process, an Escape key press is
// remembered until escapePressed() reads it and named keys until nextKeyPress takes them,
// a lost device's textures are dropped.
void pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_QUIT:
                closeAndExit();
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) closeAndExit();
                break;
            case SDL_KEYDOWN:
                if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) display.escapeLatched = true;
                keepKeyPress(event.key);
                break;
            case SDL_RENDER_DEVICE_RESET:
                dropTextures();
                break;
            default:
                break;
        }
    }
}

// About one frame at 60 Hz: how long a pass of a hidden window waits for events.
constexpr Uint64 kHiddenWaitMs = 16;

// Pumps events; while the window stays hidden, waits for events until kHiddenWaitMs have
// passed. True when the window is still hidden at the end.
bool waitWhileHidden() {
    const Uint64 deadline = SDL_GetTicks64() + kHiddenWaitMs;
    for (;;) {
        pumpEvents();
        if (!windowHidden()) return false;
        const Uint64 now = SDL_GetTicks64();
        if (now >= deadline) return true;
        // Leaves the event in the queue for the next pumpEvents.
        SDL_WaitEventTimeout(nullptr, static_cast<int>(deadline - now));
    }
}

// The intermediate render target for `plan`, made (again) when its size changes; null when
// the renderer has no render targets, and the frame is then filtered straight to the window.
SDL_Texture* enlargedTarget(const FrameScaling& plan) {
    if (display.enlarged && display.enlargedWidth == plan.intermediateWidth &&
        display.enlargedHeight == plan.intermediateHeight) {
        return display.enlarged;
    }
    destroyEnlargedTarget();
    if (display.enlargeFailed || !SDL_RenderTargetSupported(display.renderer)) return nullptr;
    display.enlarged = SDL_CreateTexture(display.renderer, SDL_PIXELFORMAT_ARGB8888,
                                         SDL_TEXTUREACCESS_TARGET, plan.intermediateWidth,
                                         plan.intermediateHeight);
    if (!display.enlarged) {
        display.enlargeFailed = true;
        return nullptr;
    }
    SDL_SetTextureScaleMode(display.enlarged, SDL_ScaleModeLinear);
    display.enlargedWidth = plan.intermediateWidth;
    display.enlargedHeight = plan.intermediateHeight;
    return display.enlarged;
}

// Converts the frame into the texture (made again first if it was dropped) and draws it
// into the window's back buffer as planFrameScaling says, black around it. False when the
// texture cannot be made or locked.
bool drawFrame(const uint32_t* pixels) {
    if (!display.texture) display.texture = makeFrameTexture(display.format);
    if (!display.texture) return false;
    void* memory = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(display.texture, nullptr, &memory, &pitch) != 0) return false;
    convertFrame(display.converter, pixels, display.width, display.height, memory, pitch);
    SDL_UnlockTexture(display.texture);

    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(display.renderer, &outputWidth, &outputHeight);
    const FrameScaling plan =
        planFrameScaling(display.width, display.height, outputWidth, outputHeight);
    SDL_Texture* source = display.texture;
    SDL_SetTextureScaleMode(display.texture,
                            plan.linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    if (plan.intermediate) {
        SDL_Texture* enlarged = enlargedTarget(plan);
        if (enlarged && SDL_SetRenderTarget(display.renderer, enlarged) == 0) {
            SDL_SetTextureScaleMode(display.texture, SDL_ScaleModeNearest);
            SDL_RenderCopy(display.renderer, display.texture, nullptr, nullptr);
            SDL_SetRenderTarget(display.renderer, nullptr);
            source = enlarged;
        }
    }
    SDL_SetRenderDrawColor(display.renderer, 0, 0, 0, 255);
    SDL_RenderClear(display.renderer);
    const SDL_Rect picture = {plan.x, plan.y, plan.width, plan.height};
    SDL_RenderCopy(display.renderer, source, nullptr, &picture);
    return true;
}

}  // namespace

void setDisplayOptions(const DisplayOptions& options) { display.options = options; }

const char* displayError() { return display.error.c_str(); }

int displayDepth() {
    if (display.format == SDL_PIXELFORMAT_UNKNOWN) return 0;
    const int bits = SDL_BITSPERPIXEL(display.format);
    return bits == 15 ? 16 : bits;
}

const char* displayFormatName() { return SDL_GetPixelFormatName(display.format); }

int32_t initDisplay() {
    display.width = screenWidth;
    display.height = screenHeight;
    display.error.clear();
    SDL_ClearError();

    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        return fail("cannot start SDL video");
    }
    display.videoStarted = true;
    // Without a display server SDL falls back to drivers that show nothing; presenting into
    // them would play the whole demo unseen. They count only when asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (!requested || !*requested) &&
        (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0)) {
        SDL_ClearError();
        return fail("no display server found (SDL has only its \"" + std::string(driver) +
                    "\" video driver)");
    }

    const bool windowed = display.options.windowed;
    Uint32 windowFlags = SDL_WINDOW_SHOWN;
    windowFlags |= windowed ? SDL_WINDOW_RESIZABLE
                            : (SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    // Full screen: the window is made as large as the desktop as well, so it covers the
    // screen even on an X server without a window manager to enforce full screen.
    SDL_Rect area = {static_cast<int>(SDL_WINDOWPOS_CENTERED),
                     static_cast<int>(SDL_WINDOWPOS_CENTERED), display.width, display.height};
    SDL_Rect bounds;
    if (!windowed && SDL_GetDisplayBounds(0, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
        area = bounds;
    }
    display.window = SDL_CreateWindow("^__^", area.x, area.y, area.w, area.h, windowFlags);
    if (!display.window) return fail("cannot open the window");
    display.fullscreen = !windowed;
    display.keyCount = 0;

    display.renderer = SDL_CreateRenderer(display.window, -1,
                                          SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!display.renderer) {
        display.renderer = SDL_CreateRenderer(display.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!display.renderer) return fail("cannot create a renderer");

    uint32_t candidates[16];
    const int count = textureFormatCandidates(display.options.firstDepth, candidates, 16);
    for (int i = 0; i < count && !display.texture; ++i) {
        PixelConverter converter = converterForSdlFormat(candidates[i]);
        if (!converter) continue;
        display.texture = makeFrameTexture(candidates[i]);
        if (display.texture) {
            display.format = candidates[i];
            display.converter = converter;
        }
    }
    if (!display.texture) return fail("no texture format of 32, 24 or 16 bits per pixel");

    if (!windowed) SDL_ShowCursor(SDL_DISABLE);
    SDL_DisableScreenSaver();
    display.screenSaverOff = true;
    setMessageBoxOwner(display.window);
    return 1;
}

int32_t presentFrame(const uint32_t* pixels) {
    if (!display.window) return 1;
    if (waitWhileHidden()) return 1;
    if (!drawFrame(pixels)) return 0;
    SDL_RenderPresent(display.renderer);
    return 1;
}

bool displayHidden() {
    if (!display.window) return false;
    return waitWhileHidden();
}

bool readBackFrame(const uint32_t* pixels, std::vector<uint32_t>* out, int* width,
                   int* height) {
    if (!display.window || !drawFrame(pixels)) return false;
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(display.renderer, &w, &h) != 0 || w <= 0 || h <= 0) {
        return false;
    }
    out->assign(static_cast<size_t>(w) * h, 0);
    if (SDL_RenderReadPixels(display.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out->data(),
                             w * 4) != 0) {
        return false;
    }
    *width = w;
    *height = h;
    return true;
}

void shutdownDisplay() {
    setMessageBoxOwner(nullptr);
    dropTextures();
    if (display.renderer) {
        SDL_DestroyRenderer(display.renderer);
        display.renderer = nullptr;
    }
    if (display.window) {
        SDL_ShowCursor(SDL_ENABLE);
        SDL_DestroyWindow(display.window);
        display.window = nullptr;
    }
    if (display.screenSaverOff) {
        SDL_EnableScreenSaver();
        display.screenSaverOff = false;
    }
    if (display.videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        display.videoStarted = false;
    }
}

bool escapePressed() {
    if (!display.window) return false;
    pumpEvents();
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    const bool pressed = display.escapeLatched || (keys && keys[SDL_SCANCODE_ESCAPE]);
    display.escapeLatched = false;
    return pressed;
}

const char* keyNameForSdl(int32_t keycode) {
    switch (keycode) {
        case SDLK_SPACE: return " ";
        case SDLK_LEFT: return "ArrowLeft";
        case SDLK_RIGHT: return "ArrowRight";
        case SDLK_PAGEUP: return "PageUp";
        case SDLK_PAGEDOWN: return "PageDown";
        case SDLK_HOME: return "Home";
        case SDLK_PERIOD: case SDLK_KP_PERIOD: return ".";
        case SDLK_m: return "m";
        case SDLK_PLUS: case SDLK_EQUALS: case SDLK_KP_PLUS: return "+";
        case SDLK_MINUS: case SDLK_KP_MINUS: return "-";
        case SDLK_f: return "f";
        case SDLK_RETURN: case SDLK_KP_ENTER: return "Enter";
        default: break;
    }
    static const char* const kDigits[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
    if (keycode >= SDLK_1 && keycode <= SDLK_9) return kDigits[keycode - SDLK_1];
    if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9) return kDigits[keycode - SDLK_KP_1];
    return nullptr;
}

bool nextKeyPress(KeyPress* press) {
    if (!display.window) return false;
    pumpEvents();
    if (display.keyCount == 0) return false;
    *press = display.keys[0];
    for (int i = 1; i < display.keyCount; ++i) display.keys[i - 1] = display.keys[i];
    --display.keyCount;
    return true;
}

void setFullscreen(bool on) {
    if (!display.window || on == display.fullscreen) return;
    if (on) {
        // Without a window manager full screen is the window as large as the display, as
        // initDisplay makes it: borderless, moved and sized first (SDL leaves the size of a
        // full-screen window alone).
        SDL_Rect bounds;
        const int index = SDL_GetWindowDisplayIndex(display.window);
        if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) == 0) {
            SDL_SetWindowBordered(display.window, SDL_FALSE);
            SDL_SetWindowPosition(display.window, bounds.x, bounds.y);
            SDL_SetWindowSize(display.window, bounds.w, bounds.h);
        }
        SDL_SetWindowFullscreen(display.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        SDL_ShowCursor(SDL_DISABLE);
    } else {
        SDL_SetWindowFullscreen(display.window, 0);
        SDL_SetWindowBordered(display.window, SDL_TRUE);
        SDL_SetWindowResizable(display.window, SDL_TRUE);
        SDL_SetWindowSize(display.window, display.width, display.height);
        SDL_SetWindowPosition(display.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        SDL_ShowCursor(SDL_ENABLE);
    }
    display.fullscreen = on;
}

bool displayFullscreen() { return display.window && display.fullscreen; }
