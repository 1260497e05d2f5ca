// app/startup.h — the start-up steps the demo's modes share: the asset reporter, the
// loading picture, the music, the frame-rate line, the box of a failed start-up.
//
// Needs: assets/, audio/music.h, display/ (the message boxes; the window closed before a
//        failure box).
#pragma once
#include <string>

#include "assets/image.h"

constexpr const char* kMusicPath = "data/pelotrix.mp3";
constexpr const char* kLoadingPath = "data/loading.png";

// How the demo answers a file it cannot use: a picture prints its line on standard output
// (the reason on standard error) and ends the program with exit code 1 (after the failure
// box below, when that is on); a mesh shows the message box "Error: .ebr file not found"
// captioned with its path, and the run goes on.
void installDemoAssetReporter();

// Start-up failures where no one sees standard error (a Windows program started by a double
// click, platform.h's standardErrorSeen): main switches failure boxes on, and every failure
// that ends the start-up then also shows its lines in a box, with what to do. The lines go
// to standard error as always; nothing else changes.
void setStartupFailureBoxes(bool shown);
// Prints "pixeldemo: <line>" on standard error and keeps it for a failure's box: what went
// wrong on the way that the failure it leads to would not say (no data folder found).
void noteStartupProblem(const std::string& line);
// Shows the failure box when it is on: the kept notes, `lines` (what standard error got)
// and `advice` (none when null).
void showStartupFailure(const std::string& lines, const char* advice);
// The advice for a missing or damaged data file: the folder was not unzipped whole.
extern const char* const kUnzipAdvice;

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
