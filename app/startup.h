// app/startup.h — the start-up steps the demo's modes share: the asset reporter, the
// loading picture, the music, the frame-rate line.
//
// Needs: assets/, audio/music.h, display/messagebox.h.
#pragma once
#include "assets/image.h"

constexpr const char* kMusicPath = "data/pelotrix.mp3";
constexpr const char* kLoadingPath = "data/loading.png";

// How the demo answers a file it cannot use: a picture prints its line on standard output
// (the reason on standard error) and ends the program with exit code 1; a mesh shows the
// message box "Error: .ebr file not found" captioned with its path, and the run goes on.
void installDemoAssetReporter();

// The loading picture, fitted to the screen when the file has another size.
Image* loadLoadingPicture();

// The music of the run: the audio device first (live play only), then the stream. Each
// failure shows its "BASS" message box and start-up carries on.
void openMusic(bool withDevice);
// Starts playback and moves it to `seconds`.
void startMusic(double seconds);

// The threads that draw a run's frames: `given` (--threads) when it is 1 or more, else
// PIXELDEMO_THREADS when it holds a whole number from 1 to 16 (anything else there is
// reported on standard error and ignored), else defaultDrawingThreads() (bands/bands.h).
int chooseDrawingThreads(int given);

// Prints "FPS: ... Average: ..." on standard output.
void printFpsLine(float rate, float average);
