// pixeldemo — the entry routine: start-up, the frame loop on the music clock, and the
// headless modes (--capture, --bench) that run the same loop on a fixed clock.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "assets/image.h"
#include "audio/music.h"
#include "audio/fft.h"
#include "demo/analyze_music.h"
#include "demo/capture.h"
#include "demo/loading.h"
#include "demo/options.h"
#include "demo/platform.h"
#include "demo/timeline.h"
#include "demo/video.h"
#include "display/display.h"
#include "display/messagebox.h"
#include "render3d/renderer.h"
#include "scenes/scene1.h"
#include "scenes/scene2.h"
#include "scenes/scene3.h"
#include "scenes/scene4.h"
#include "scenes/scene5.h"
#include "scenes/scene6.h"
#include "scenes/scene7.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// When the program started (static initialisation, before main): --bench reports the time
// from here to the end of the first scene frame.
const Clock::time_point kLaunchTime = Clock::now();

const char* const kMusicPath = "data/pelotrix.mp3";
const char* const kLoadingPath = "data/loading.png";

// The seven scene records live for the whole run; nothing frees them.
struct Scenes {
    Scene1State* s1;
    Scene2State* s2;
    Scene3State* s3;
    Scene4State* s4;
    Scene5State* s5;
    Scene6State* s6;
    Scene7State* s7;
};

// What the scenes loaded lives until the process ends. A copy of the record pointers is
// kept here so it stays reachable after the frame loop's stack is gone: the leak checker
// then sees it as in use, not lost. (volatile: the store must not be optimised away.)
Scenes* volatile liveScenes = nullptr;

void initScenes(Scenes* scenes) {
    scenes->s1 = new Scene1State();
    scenes->s2 = new Scene2State();
    scenes->s3 = new Scene3State();
    scenes->s4 = new Scene4State();
    scenes->s5 = new Scene5State();
    scenes->s6 = new Scene6State();
    scenes->s7 = new Scene7State();
    initScene2(scenes->s2);
    initScene7(scenes->s7);
    initScene3(scenes->s3);
    initScene1(scenes->s1);
    initScene5(scenes->s5);
    initScene4(scenes->s4);
    initScene6(scenes->s6);
    liveScenes = new Scenes(*scenes);
}

// Every window is tested on its own; at most one holds t.
void renderScenes(const Scenes& s, float t, const float* spectrum, float delta) {
    if (insideWindow(kSceneWindows[0], t)) renderScene1(s.s1, t);
    if (insideWindow(kSceneWindows[1], t)) renderScene2(s.s2, t, spectrum);
    if (insideWindow(kSceneWindows[2], t)) renderScene3(s.s3, t, spectrum, delta);
    if (insideWindow(kSceneWindows[3], t)) renderScene4(s.s4, t, spectrum);
    if (insideWindow(kSceneWindows[4], t)) renderScene5(s.s5, t, spectrum);
    if (insideWindow(kSceneWindows[5], t)) renderScene6(s.s6, t);
    if (insideWindow(kSceneWindows[6], t)) renderScene7(s.s7, t);
}

// Starts playback and moves it to `seconds`.
void startMusic(double seconds) {
    if (!playMusic()) {
        showMessageBox("BASS error, can not play stream?", "BASS");
        std::fprintf(stderr, "pixeldemo: %s; the demo runs on a silent clock\n", musicError());
    }
    setMusicPosition(musicSecondsToBytes(seconds));
}

// The music of the run: the audio device first (live play only), then the stream.
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

// The loading picture stays until the process ends, reachable from here for the leak
// checker (volatile: the store must not be optimised away).
Image* volatile loadingImage = nullptr;

// The loading picture, fitted to the screen when the file has another size.
Image* loadLoadingImage() {
    Image* image = new Image();
    loadPng(image, kLoadingPath);
    Image* fitted = fitToScreen(image);
    if (fitted != image) freeImage(image);   // only the fitted copy is shown
    loadingImage = fitted;
    return fitted;
}

void printFpsLine(float rate, float average) {
    char line[160];
    formatFpsLine(line, sizeof line, rate, average);
    std::fputs(line, stdout);
    std::fflush(stdout);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---------------------------------------------------------------------------------------

int runLive(const DemoOptions& options) {
    setDisplayOptions({options.windowed, options.depth});
    if (!initDisplay()) {
        std::fprintf(stderr,
                     "pixeldemo: cannot open the display (%s).\n"
                     "Without a display, export the demo as a video with sound, or write its\n"
                     "frames to PNG files (see pixeldemo --help):\n"
                     "  pixeldemo --video demo.mp4     (needs ffmpeg)\n"
                     "  pixeldemo --capture DIR\n",
                     displayError());
        return 2;
    }
    if (options.depthGiven) {
        std::fprintf(stderr, "pixeldemo: frames shown through a %d-bit %s texture\n",
                     displayDepth(), displayFormatName());
    }
    Image* loading = loadLoadingImage();
    presentFrame(loading->pixels);

    float previousTime = 0.0f;
    FrameStats stats;
    resetFrameStats(&stats);
    Scenes scenes;
    initScenes(&scenes);

    openMusic(true);
    startMusic(options.start);

    static float spectrum[kSpectrumCapacity];
    if (!escapePressed()) {
        bool ended = false;
        while (!ended) {
            const float t = musicBytesToSeconds(getMusicPosition());
            const float delta = t - previousTime;
            previousTime = t;
            getMusicSpectrum(spectrum);
            renderScenes(scenes, t, spectrum, delta);
            if (timelineEnded(t)) ended = true;
            presentFrame(screen->pixels);
            float rate, average;
            if (countFrame(&stats, t, &rate, &average)) printFpsLine(rate, average);
            if (escapePressed()) break;
        }
    }
    shutdownDisplay();
    return 0;
}

// --video: the fixed clock of --capture, starting at frame 0 (t = 0) so that video time
// and music time agree; the frames go to ffmpeg instead of PNG files.
int runVideo(const DemoOptions& options) {
    const VideoFrames frames = videoFrames(options.fps, options.from, options.to);
    if (frames.count == 0) {
        std::fprintf(stderr, "pixeldemo: no frame lies in the chosen times; no video written\n");
        return 1;
    }
    Scenes scenes;
    initScenes(&scenes);
    openMusic(false);

    VideoSettings settings;
    settings.outPath = options.videoPath;
    std::error_code ec;
    settings.musicPath = fs::absolute(kMusicPath, ec).string();
    if (ec || access(settings.musicPath.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "pixeldemo: cannot read %s; the video gets a silent track\n",
                     kMusicPath);
        settings.musicPath.clear();
    }
    settings.fps = options.fps;
    settings.width = screenWidth;
    settings.height = screenHeight;
    settings.audioStart = static_cast<double>(frames.first) / options.fps;
    settings.duration = static_cast<double>(frames.count) / options.fps;

    std::string error;
    VideoEncoder* encoder = startVideo(settings, &error);
    if (!encoder) {
        std::fprintf(stderr, "pixeldemo: %s\n", error.c_str());
        return 1;
    }
    const Clock::time_point begin = Clock::now();
    const int64_t last = frames.first + frames.count - 1;
    static float spectrum[kSpectrumCapacity];
    float previousTime = 0.0f;
    bool ok = true;
    for (int64_t k = 0; k <= last && ok; ++k) {
        const float t = fixedClockTime(k, options.fps);
        const float delta = t - previousTime;
        previousTime = t;
        getMusicSpectrumAt(musicSecondsToBytes(t), spectrum);
        renderScenes(scenes, t, spectrum, delta);
        if (k >= frames.first) ok = writeVideoFrame(encoder, *screen, &error);
        if (videoInterrupted()) ok = false;
        showVideoProgress(k >= frames.first ? k - frames.first + 1 : 0, frames.count, t,
                          !ok || k == last);
    }
    if (!ok) {
        abortVideo(encoder);
        if (videoInterrupted()) {
            std::fprintf(stderr, "pixeldemo: video interrupted; %s.part removed\n",
                         options.videoPath.c_str());
            return 130;
        }
        std::fprintf(stderr, "pixeldemo: video stopped: %s; %s.part removed\n", error.c_str(),
                     options.videoPath.c_str());
        return 1;
    }
    std::fprintf(stderr, "video: rendered; ffmpeg finishes the file...\n");
    if (!finishVideo(encoder, &error)) {
        std::fprintf(stderr, "pixeldemo: video failed: %s; nothing written to %s\n",
                     error.c_str(), options.videoPath.c_str());
        return videoInterrupted() ? 130 : 1;
    }
    std::fprintf(stderr, "video: %lld frames (t %.3f to %.3f s, %.3f s at %d frames/s) with music "
                 "written to %s in %.1f s\n",
                 static_cast<long long>(frames.count), settings.audioStart,
                 static_cast<double>(last) / options.fps, settings.duration, options.fps,
                 options.videoPath.c_str(), secondsSince(begin));
    return 0;
}

// Capture and bench: no window, no audio device; frame n has t = n / fps.
int runHeadless(const DemoOptions& options) {
    const bool capture = !options.captureDir.empty();
    const Clock::time_point startupBegin = Clock::now();

    FrameWriter* writer = nullptr;
    ContactSheet* sheet = nullptr;
    if (capture) {
        std::error_code ec;
        fs::create_directories(options.captureDir, ec);
        if (ec || !fs::is_directory(options.captureDir)) {
            std::fprintf(stderr, "pixeldemo: cannot create %s: %s\n", options.captureDir.c_str(),
                         ec ? ec.message().c_str() : "not a directory");
            return 1;
        }
        if (!options.sheetPath.empty()) {
            const int64_t frames = captureFrameCount(options.fps, options.from, options.to);
            sheet = newContactSheet(frames, screenWidth, screenHeight);
            if (!sheet) {
                std::fprintf(stderr,
                             "pixeldemo: %lld frames do not fit on one sheet; narrow --from/--to "
                             "or lower --fps\n",
                             static_cast<long long>(frames));
                return 1;
            }
        }
    }

    float previousTime = 0.0f;
    FrameStats stats;
    resetFrameStats(&stats);
    Scenes scenes;
    initScenes(&scenes);
    openMusic(false);
    const double startupSeconds = secondsSince(startupBegin);
    if (capture) writer = startFrameWriter(screenWidth, screenHeight, 4);

    struct SceneTiming {
        int64_t frames = 0;
        double total = 0.0;
        double worst = 0.0;
    } timing[kSceneCount + 1];

    static float spectrum[kSpectrumCapacity];
    const Clock::time_point loopBegin = Clock::now();
    Clock::time_point lastProgress = loopBegin;
    int64_t written = 0;
    int64_t n = 0;
    int64_t rendered = 0;
    double firstFrameSeconds = 0.0;
    float firstWritten = 0.0f, lastWritten = 0.0f;
    std::string error;
    // --bench-passes: the heap at the end of every frame, for the memory check. Printed
    // after the run, so the printing itself allocates nothing between the passes.
    const bool trackMemory = options.benchPasses > 1;
    struct PassMemory {
        uint64_t first = 0, last = 0, peak = 0;
        long residentKiB = 0;
    } memory[10];
    int pass = 0;
    bool ended = false;
    while (!ended) {
        const Clock::time_point frameBegin = Clock::now();
        ++n;
        const float t = fixedClockTime(n, options.fps);
        const float delta = t - previousTime;
        previousTime = t;
        getMusicSpectrumAt(musicSecondsToBytes(t), spectrum);
        renderScenes(scenes, t, spectrum, delta);
        if (timelineEnded(t)) ended = true;
        if (capture) {
            if (t > options.to) ended = true;
            if (captureWrites(t, options.from, options.to)) {
                if (!queueFrame(writer, *screen, captureFramePath(options.captureDir, n), &error)) {
                    break;
                }
                if (sheet) addToContactSheet(sheet, *screen, t);
                if (written == 0) firstWritten = t;
                lastWritten = t;
                ++written;
            }
            float rate, average;
            if (countFrame(&stats, t, &rate, &average)) printFpsLine(rate, average);
        }
        const double frameSeconds = secondsSince(frameBegin);
        if (rendered == 0) firstFrameSeconds = secondsSince(kLaunchTime);
        SceneTiming& st = timing[sceneAt(t)];
        st.frames += 1;
        st.total += frameSeconds;
        st.worst = std::max(st.worst, frameSeconds);
        ++rendered;

        if (trackMemory) {
            PassMemory& m = memory[pass];
            m.last = heapInUse();
            if (n == 1) m.first = m.peak = m.last;
            m.peak = std::max(m.peak, m.last);
            if (ended) {
                m.residentKiB = residentKiB();
                if (pass + 1 < options.benchPasses) {
                    // The next pass starts the timeline afresh; the scenes keep their state.
                    ++pass;
                    n = 0;
                    previousTime = 0.0f;
                    ended = false;
                }
            }
        }

        if (std::chrono::duration<double>(Clock::now() - lastProgress).count() >= 2.0) {
            lastProgress = Clock::now();
            if (capture) {
                std::fprintf(stderr, "capture: t = %.2f s, %lld frames written\n",
                             static_cast<double>(t), static_cast<long long>(written));
            } else {
                std::fprintf(stderr, "bench: t = %.2f s of %.0f s\n", static_cast<double>(t),
                             static_cast<double>(kEndTime));
            }
        }
    }
    const double loopSeconds = secondsSince(loopBegin);

    if (capture) {
        std::string writeError;
        const bool ok = finishFrameWriter(writer, &writeError) && error.empty();
        if (!ok) {
            std::fprintf(stderr, "pixeldemo: capture stopped: %s\n",
                         (error.empty() ? writeError : error).c_str());
            freeContactSheet(sheet);
            return 1;
        }
        if (sheet) {
            if (!writePng(options.sheetPath.c_str(), *sheet->image, false, &error)) {
                // The writer's message starts with the path.
                std::fprintf(stderr, "pixeldemo: cannot write the sheet %s\n", error.c_str());
                freeContactSheet(sheet);
                return 1;
            }
            freeContactSheet(sheet);
        }
        if (written > 0) {
            std::fprintf(stderr,
                         "capture: %lld frames (t %.3f to %.3f s) written to %s%s%s; %lld rendered "
                         "in %.1f s\n",
                         static_cast<long long>(written), static_cast<double>(firstWritten),
                         static_cast<double>(lastWritten), options.captureDir.c_str(),
                         sheet ? ", sheet " : "", sheet ? options.sheetPath.c_str() : "",
                         static_cast<long long>(n), loopSeconds);
        } else {
            std::fprintf(stderr, "capture: no frame lies in the chosen times; %lld rendered\n",
                         static_cast<long long>(n));
        }
        return 0;
    }

    std::printf("start-up: %.3f s\n", startupSeconds);
    std::printf("first frame: %.3f s after launch\n", firstFrameSeconds);
    for (int scene = 1; scene <= kSceneCount; ++scene) {
        const SceneTiming& st = timing[scene];
        const double mean = st.frames ? st.total / static_cast<double>(st.frames) : 0.0;
        std::printf("scene %d: %lld frames, mean %.3f ms, worst %.3f ms\n", scene,
                    static_cast<long long>(st.frames), mean * 1000.0, st.worst * 1000.0);
    }
    std::printf("total: %lld frames, %.1f frames/s\n", static_cast<long long>(rendered),
                loopSeconds > 0.0 ? static_cast<double>(rendered) / loopSeconds : 0.0);
    for (int p = 0; trackMemory && p <= pass; ++p) {
        std::printf("memory: pass %d: heap %llu bytes after the first frame, %llu after the "
                    "last, peak %llu; resident %ld kB\n",
                    p + 1, static_cast<unsigned long long>(memory[p].first),
                    static_cast<unsigned long long>(memory[p].last),
                    static_cast<unsigned long long>(memory[p].peak), memory[p].residentKiB);
    }
    return 0;
}

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
    DemoOptions options;
    const int rc = parseDemoOptions(argc, argv, &options);
    if (rc >= 0) return rc;

    // Output paths are taken relative to where the demo was started, before findData moves.
    options.captureDir = absolutePath(options.captureDir);
    options.sheetPath = absolutePath(options.sheetPath);
    options.analyzeOut = absolutePath(options.analyzeOut);
    options.videoPath = absolutePath(options.videoPath);
    findData();

    if (!options.analyzeOut.empty()) return runMusicAnalysis(kMusicPath, options.analyzeOut);

    // Before anything is drawn: the screen starts opaque black.
    std::fill(screen->pixels, screen->pixels + screenWidth * screenHeight, 0xFF000000u);

    if (options.headless()) {
        setMessageBoxesEnabled(false);
        if (!options.videoPath.empty()) return runVideo(options);
        return runHeadless(options);
    }
    return runLive(options);
}
