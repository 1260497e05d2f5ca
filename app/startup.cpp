#include "app/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/report.h"
#include "bands/bands.h"
#include "audio/music.h"
#include "app/loading.h"
#include "app/timeline.h"
#include "display/display.h"
#include "display/messagebox.h"

const char* const kUnzipAdvice =
    "What to do: unzip the whole folder (pixeldemo.exe together with its data folder), "
    "then start pixeldemo.exe from there.";

namespace {

bool failureBoxes = false;
std::string startupNotes;   // noteStartupProblem's lines, each ending in a newline

void onAssetProblem(const AssetProblem& problem) {
    if (problem.kind == AssetKind::picture) {
        std::fputs(problem.message, stdout);
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", problem.path, problem.reason);
        if (failureBoxes) {
            // The picture's line without its trailing blank and newline.
            std::string line = problem.message;
            while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
            shutdownDisplay();   // the box on the desktop, not behind a full-screen window
            showStartupFailure(line + "\n" + problem.path + ": " + problem.reason, kUnzipAdvice);
        }
        std::exit(EXIT_FAILURE);
    }
    std::fprintf(stderr, "%s: %s\n", problem.path, problem.reason);
    std::fflush(stderr);
    showMessageBox(problem.message, problem.path);
}

// The loading picture stays until the process ends, reachable from here for the leak
// checker (volatile: the store must not be optimised away).
Image* volatile loadingPicture = nullptr;

}  // namespace

void installDemoAssetReporter() { setAssetReporter(onAssetProblem); }

void setStartupFailureBoxes(bool shown) { failureBoxes = shown; }

void noteStartupProblem(const std::string& line) {
    std::fprintf(stderr, "pixeldemo: %s\n", line.c_str());
    std::fflush(stderr);
    startupNotes += "pixeldemo: " + line + "\n";
}

void showStartupFailure(const std::string& lines, const char* advice) {
    if (!failureBoxes) return;
    std::string text = startupNotes + lines;
    if (advice) text += std::string("\n\n") + advice;
    showFailureBox(text.c_str(), "pixeldemo");
}

Image* loadLoadingPicture() {
    Image* image = loadImage(kLoadingPath);
    Image* fitted = fitToScreen(image);
    if (fitted != image) freeImage(image);   // only the fitted copy is shown
    loadingPicture = fitted;
    return fitted;
}

void openMusic(bool withDevice) {
    if (withDevice && !initMusicOutput()) {
        showMessageBox("BASS error", "BASS");
        std::fprintf(stderr, "pixeldemo: %s\n", musicError());
    }
    if (!loadMusic(kMusicPath)) {
        showMessageBox("BASS error, file not found?", "BASS");
        std::fprintf(stderr, "pixeldemo: %s\n", musicError());
    }
}

void startMusic(double seconds) {
    if (!playMusic()) {
        showMessageBox("BASS error, can not play stream?", "BASS");
        std::fprintf(stderr, "pixeldemo: %s; the demo runs on a silent clock\n", musicError());
    }
    setMusicPosition(musicSecondsToBytes(seconds));
}

int chooseDrawingThreads(int given) {
    if (given >= 1) return given;
    const char* text = std::getenv("PIXELDEMO_THREADS");
    if (text && *text) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (*end == '\0' && n >= 1 && n <= kMaxDrawingThreads) return static_cast<int>(n);
        std::fprintf(stderr, "pixeldemo: PIXELDEMO_THREADS=%s is not a number from 1 to %d; ignored\n",
                     text, kMaxDrawingThreads);
    }
    return defaultDrawingThreads();
}

void printFpsLine(float rate, float average) {
    char line[160];
    formatFpsLine(line, sizeof line, rate, average);
    std::fputs(line, stdout);
    std::fflush(stdout);
}
