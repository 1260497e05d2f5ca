// app/options.h — the command line. With no arguments the demo plays full screen from
// the start, exactly as without options.
//
// Needs: CLI11.
#pragma once
#include <string>

struct DemoOptions {
    bool windowed = false;      // --window
    int depth = 32;             // --depth 32|24|16: first texture depth tried
    bool depthGiven = false;    // --depth was on the command line
    double start = 0.0;         // --start T: music starts at T seconds
    std::string captureDir;     // --capture DIR: headless, frames written as PNG
    int fps = 60;               // --fps N: the fixed clock of --capture and --bench
    float from = 0.0f;          // --from T: first time written by --capture
    float to = 1e30f;           // --to T: last time written; capture ends after it
    bool bench = false;         // --bench: headless timing of every scene
    bool benchJumps = false;    // --bench-jumps: headless timing of jumps to every second
    std::string sheetPath;      // --sheet FILE: contact sheet of the captured frames
    std::string analyzeOut;     // --analyze-music OUT.png
    std::string flashesOut;     // --analyze-flashes OUT.png: headless, flashes counted
    bool gentle = false;        // --gentle: at most three flashes in any second
    double frameOffset = 0.0;   // --frame-offset F (not listed by --help): with
                                // --analyze-flashes, frame n at t = (n + F) / fps
    std::string videoPath;      // --video OUT.mp4: headless, frames and music to one file
    int threads = 0;            // --threads N: threads that draw (1 to 16); 0 when not
                                // given: PIXELDEMO_THREADS, else the default (bands/bands.h)
    int benchPasses = 1;        // --bench-passes N (not listed by --help): run the timeline
                                // N times and report the heap after each pass

    bool headless() const {
        return bench || benchJumps || !captureDir.empty() || !videoPath.empty() ||
               !flashesOut.empty();
    }
};

// Parses argv into *options without printing anything or ending the process. Returns -1
// when the demo should run, otherwise the exit code to end with at once: 0 after --help or
// --version (the text in *help), 2 after a usage error (the message, as CLI11 words it, in *error).
int parseOptions(int argc, const char* const* argv, DemoOptions* options, std::string* help,
                 std::string* error);
