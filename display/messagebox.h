// display/messagebox.h — the demo's one way of telling the user about a problem it survives.
//
// showMessageBox writes "caption: text" to stderr and, when a display is available and
// message boxes are not switched off, shows a modal OK box. It never blocks when there is
// no display (headless capture, benchmarks, tests).
#pragma once

struct SDL_Window;

void showMessageBox(const char* text, const char* caption);

// The box alone, shown whether or not boxes are switched off: for a failure that ends the
// program where no one sees standard error (app/startup.h decides).
void showFailureBox(const char* text, const char* caption);

// Headless runs (capture, bench, tests) switch boxes off: only stderr is written.
void setMessageBoxesEnabled(bool enabled);

// The window the boxes belong to (the display's window while it is open; null: none).
void setMessageBoxOwner(SDL_Window* owner);
