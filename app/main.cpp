// pixeldemo — the entry routine: reads the command line, finds data/, decides how the
// loaders' problems are answered, and runs the chosen mode (app/modes.h). Every mode is
// the one frame loop of app/frameloop.h with its own clock and sink.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "exporters/analyze_music.h"
#include "app/modes.h"
#include "app/options.h"
#include "app/outputs.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "platform/signals.h"
#include "app/timeline.h"
#include "app/startup.h"
#include "bands/bands.h"
#include "display/messagebox.h"
#include "render3d/renderer.h"

namespace fs = std::filesystem;

namespace {

std::string absolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(filePath(path), ec);
    return ec ? path : pathText(absolute.lexically_normal());
}

// The demo reads data/ relative to the working directory. Started from elsewhere, it
// moves to the folder of the executable when data/ lies beside it.
// Found nowhere, it says where it looked; the first file it then misses ends the run.
void findData() {
    std::error_code ec;
    if (fs::is_directory("data", ec)) return;
    const std::string dir = executableFolder();
    if (!dir.empty() && fs::is_directory(filePath(dir) / "data", ec)) {
        fs::current_path(filePath(dir), ec);
        if (ec) std::fprintf(stderr, "pixeldemo: chdir: %s\n", ec.message().c_str());
        return;
    }
    const std::string here = pathText(fs::current_path(ec));
    if (here == dir) {   // started in its own folder, as a double click does
        noteStartupProblem("no data folder beside the program in " + dir);
    } else {
        noteStartupProblem("no data folder in " + here +
                           (dir.empty() ? "" : " nor beside the program in " + dir));
    }
}

}  // namespace

int main(int argc, char** argv) {
    setStartupFailureBoxes(!standardErrorSeen());
    installStopSignals();
    // Every string the demo holds is UTF-8, file names above all (platform/paths.h).
    const std::vector<std::string> args = utf8Arguments(argc, argv);
    std::vector<const char*> argp;
    for (const std::string& arg : args) argp.push_back(arg.c_str());
    DemoOptions options;
    std::string help, usage;
    const int rc = parseOptions(static_cast<int>(argp.size()), argp.data(), &options, &help, &usage);
    std::fputs(help.c_str(), stdout);
    std::fputs(usage.c_str(), stderr);
    if (rc == 2) showStartupFailure(usage, nullptr);
    if (rc >= 0) return rc;

    // Output paths are taken relative to where the demo was started, before findData moves.
    options.captureDir = absolutePath(options.captureDir);
    options.sheetPath = absolutePath(options.sheetPath);
    options.analyzeOut = absolutePath(options.analyzeOut);
    options.flashesOut = absolutePath(options.flashesOut);
    options.videoPath = absolutePath(options.videoPath);
    findData();

    // What the run would show or write, and every file and folder it will write, before
    // any work starts or any window opens.
    const bool exporting = !options.captureDir.empty() || !options.videoPath.empty();
    const std::string nothing = exporting
                                    ? emptyExportReason(options.fps, options.from, options.to)
                                    : startPastEndReason(options.start);
    if (!nothing.empty()) {
        std::fprintf(stderr, "pixeldemo: %s\n", nothing.c_str());
        return 1;
    }
    std::string error;
    if (!checkRunOutputs(options, &error)) {
        std::fprintf(stderr, "pixeldemo: %s\n", error.c_str());
        return 1;
    }
    if (!options.analyzeOut.empty()) return runMusicAnalysis(kMusicPath, options.analyzeOut);

    setDrawingThreads(chooseDrawingThreads(options.threads));
    installDemoAssetReporter();
    // Before anything is drawn: the screen starts opaque black.
    std::fill(screen->pixels, screen->pixels + screenWidth * screenHeight, 0xFF000000u);

    if (!options.headless()) return runLive(options);
    setMessageBoxesEnabled(false);
    if (!options.flashesOut.empty()) return runFlashAnalysis(options);
    if (!options.videoPath.empty()) return runVideo(options);
    if (!options.captureDir.empty()) return runCapture(options);
    if (options.benchJumps) return runBenchJumps(options);
    return runBench(options);
}
