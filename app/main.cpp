// pixeldemo — the entry routine: reads the command line, finds data/, decides how the
// loaders' problems are answered, and runs the chosen mode (app/modes.h). Every mode is
// the one frame loop of app/frameloop.h with its own clock and sink.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "exporters/analyze_music.h"
#include "app/modes.h"
#include "app/options.h"
#include "app/outputs.h"
#include "platform/platform.h"
#include "platform/signals.h"
#include "app/timeline.h"
#include "app/startup.h"
#include "display/messagebox.h"
#include "render3d/renderer.h"

namespace fs = std::filesystem;

namespace {

std::string absolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

// The demo reads data/ relative to the working directory. Started from elsewhere, it
// moves to the folder of the executable when data/ lies beside it.
// Found nowhere, it says where it looked; the first file it then misses ends the run.
void findData() {
    std::error_code ec;
    if (fs::is_directory("data", ec)) return;
    const fs::path dir = executableFolder();
    if (!dir.empty() && fs::is_directory(dir / "data", ec)) {
        fs::current_path(dir, ec);
        if (ec) std::fprintf(stderr, "pixeldemo: chdir: %s\n", ec.message().c_str());
        return;
    }
    const fs::path here = fs::current_path(ec);
    std::fprintf(stderr, "pixeldemo: no data folder in %s%s%s\n", here.string().c_str(),
                 dir.empty() ? "" : " nor beside the program in ", dir.string().c_str());
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    installStopSignals();
    DemoOptions options;
    const int rc = parseDemoOptions(argc, argv, &options);
    if (rc >= 0) return rc;

    // Output paths are taken relative to where the demo was started, before findData moves.
    options.captureDir = absolutePath(options.captureDir);
    options.sheetPath = absolutePath(options.sheetPath);
    options.analyzeOut = absolutePath(options.analyzeOut);
    options.flashesOut = absolutePath(options.flashesOut);
    options.videoPath = absolutePath(options.videoPath);
    findData();

    // What an export would write, and every file and folder the run will write, before any
    // work starts.
    const bool exporting = !options.captureDir.empty() || !options.videoPath.empty();
    if (exporting && exportFrames(options.fps, options.from, options.to).count == 0) {
        std::fprintf(stderr, "pixeldemo: no frame lies in the chosen times (the timeline ends "
                             "at %.0f s); nothing written\n", static_cast<double>(kEndTime));
        return 1;
    }
    std::string error;
    if (!checkRunOutputs(options, &error)) {
        std::fprintf(stderr, "pixeldemo: %s\n", error.c_str());
        return 1;
    }
    if (!options.analyzeOut.empty()) return runMusicAnalysis(kMusicPath, options.analyzeOut);

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
