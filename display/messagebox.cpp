#include "display/messagebox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace {
bool boxesEnabled = true;
SDL_Window* boxOwner = nullptr;

bool displayAvailable() {
#ifdef _WIN32
    return true;   // a Windows session always has a desktop for the box
#else
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
#endif
}
}  // namespace

void setMessageBoxesEnabled(bool enabled) { boxesEnabled = enabled; }

void setMessageBoxOwner(SDL_Window* owner) { boxOwner = owner; }

void showFailureBox(const char* text, const char* caption) {
    if (displayAvailable()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, boxOwner);
}

void showMessageBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (!boxesEnabled || !displayAvailable()) return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, boxOwner);
}
