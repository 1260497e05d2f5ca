#include "demo/video.h"

#include "demo/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "demo/timeline.h"

extern char** environ;

namespace fs = std::filesystem;

bool isMp4Name(const std::string& path) {
    if (path.size() < 5) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".mp4" && path[path.size() - 5] != '/';
}

namespace {

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", s);
    return text;
}

bool readable(const std::string& path) {
    return !path.empty() && access(path.c_str(), R_OK) == 0;
}

}  // namespace

std::vector<std::string> videoEncoderArgs(const VideoSettings& s, const std::string& partPath) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    std::vector<std::string> a = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostats", "-y",
        // Input 0: the frames, straight from the demo.
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size,
        "-framerate", std::to_string(s.fps), "-i", "pipe:0"};
    // Input 1: the music from the time of the first frame, or silence.
    if (readable(s.musicPath)) {
        if (s.audioStart > 0.0) a.insert(a.end(), {"-ss", seconds(s.audioStart)});
        a.insert(a.end(), {"-i", s.musicPath});
    } else {
        a.insert(a.end(), {"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo"});
    }
    const std::string scale = "scale=" + std::to_string(2 * s.width) + ":" +
                              std::to_string(2 * s.height) +
                              ":flags=neighbor:out_color_matrix=bt709:out_range=tv,"
                              "format=yuv420p";
    a.insert(a.end(), {
        "-map", "0:v:0", "-map", "1:a:0",
        "-vf", scale,
        "-c:v", "libx264", "-preset", "medium", "-tune", "animation", "-crf", "16",
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
        "-color_range", "tv",
        // The music is padded with silence and cut, so both streams last `duration`.
        "-af", "apad", "-c:a", "aac", "-b:a", "192k",
        "-t", seconds(s.duration),
        "-movflags", "+faststart", "-f", "mp4", partPath});
    return a;
}

// --- The encoder process ----------------------------------------------------------------

namespace {

}  // namespace

struct VideoEncoder {
    pid_t pid = -1;
    int pipe = -1;
    std::string outPath;
    std::string partPath;
    std::vector<uint8_t> rgb;   // one frame as rgb24
    struct sigaction previousPipe;
    // Progress.
    std::chrono::steady_clock::time_point begin;   // of the first frame in the file
    std::chrono::steady_clock::time_point lastDraw;
    int lastTenth = -1;
    bool terminal = false;
};

namespace {

void restoreSignals(VideoEncoder* e) {
    sigaction(SIGPIPE, &e->previousPipe, nullptr);
}

// Waits for ffmpeg; a signal that interrupts the wait stops it.
int waitEncoder(VideoEncoder* e) {
    int status = 0;
    while (waitpid(e->pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
        if (stopSignal()) kill(e->pid, SIGKILL);
    }
    e->pid = -1;
    return status;
}

VideoEncoder* gProgressOwner = nullptr;

}  // namespace

VideoEncoder* startVideo(const VideoSettings& s, std::string* error) {
    std::error_code ec;
    const fs::path parent = fs::path(s.outPath).parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
        *error = "cannot write " + s.outPath + ": the folder " + parent.string() +
                 " does not exist";
        return nullptr;
    }

    VideoEncoder* e = new VideoEncoder();
    e->outPath = s.outPath;
    e->partPath = s.outPath + ".part";
    e->rgb.resize(static_cast<size_t>(s.width) * s.height * 3);
    e->terminal = isatty(STDERR_FILENO) != 0;

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        delete e;
        return nullptr;
    }

    // From here on a stop signal only records itself (demo/signals.h), so no moment is left
    // where it would end the demo and leave ffmpeg finishing a partial file on its own.
    setSignalsPolled(true);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &e->previousPipe);

    const std::vector<std::string> args = videoEncoderArgs(s, e->partPath);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: a Ctrl-C in the terminal reaches the demo only, which then stops
    // ffmpeg and removes the partial file. SIGPIPE, ignored here, is default again there.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawnp(&e->pid, "ffmpeg", &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        restoreSignals(e);
        if (rc == ENOENT) {
            *error = "--video needs ffmpeg, which is not on the PATH. Install it with\n"
                     "  sudo apt-get install ffmpeg\n"
                     "(./run.sh --video ... installs it when run as root)";
        } else {
            *error = std::string("cannot start ffmpeg: ") + std::strerror(rc);
        }
        delete e;
        return nullptr;
    }
    e->pipe = fds[1];

    e->begin = e->lastDraw = std::chrono::steady_clock::now();
    gProgressOwner = e;
    return e;
}

bool videoInterrupted() { return stopSignal() != 0; }

bool writeVideoFrame(VideoEncoder* e, const Image& frame, std::string* error) {
    const size_t pixels = static_cast<size_t>(frame.width) * frame.height;
    if (pixels * 3 != e->rgb.size()) {
        *error = "frame size differs from the video's";
        return false;
    }
    uint8_t* out = e->rgb.data();
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t p = frame.pixels[i];
        out[0] = static_cast<uint8_t>(p >> 16);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p);
        out += 3;
    }
    const uint8_t* data = e->rgb.data();
    size_t left = e->rgb.size();
    while (left > 0) {
        if (stopSignal()) {
            *error = "interrupted";
            return false;
        }
        const ssize_t wrote = write(e->pipe, data, left);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            *error = errno == EPIPE ? std::string("ffmpeg stopped before the end")
                                    : std::string("cannot write to ffmpeg: ") + std::strerror(errno);
            return false;
        }
        data += wrote;
        left -= static_cast<size_t>(wrote);
    }
    return true;
}

bool finishVideo(VideoEncoder* e, std::string* error) {
    close(e->pipe);
    const int status = waitEncoder(e);
    restoreSignals(e);
    bool ok = true;
    if (stopSignal()) {
        *error = "interrupted";
        ok = false;
    } else if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (status >= 0 && WIFSIGNALED(status)) {
            *error = "ffmpeg was stopped by signal " + std::to_string(WTERMSIG(status));
        } else if (status >= 0 && WIFEXITED(status)) {
            *error = "ffmpeg failed (exit code " + std::to_string(WEXITSTATUS(status)) +
                     "); its messages are above";
        } else {
            *error = "lost track of ffmpeg";
        }
        ok = false;
    } else if (std::rename(e->partPath.c_str(), e->outPath.c_str()) != 0) {
        *error = "cannot rename " + e->partPath + " to " + e->outPath + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) unlink(e->partPath.c_str());
    if (gProgressOwner == e) gProgressOwner = nullptr;
    delete e;
    return ok;
}

void abortVideo(VideoEncoder* e) {
    close(e->pipe);
    kill(e->pid, SIGKILL);
    waitEncoder(e);
    restoreSignals(e);
    unlink(e->partPath.c_str());
    if (gProgressOwner == e) gProgressOwner = nullptr;
    delete e;
}

void showVideoProgress(int64_t done, int64_t total, float t, bool final) {
    VideoEncoder* e = gProgressOwner;
    if (!e || total < 1) return;
    using namespace std::chrono;
    const steady_clock::time_point now = steady_clock::now();
    const double fraction = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    const int tenth = static_cast<int>(fraction * 10.0);
    if (e->terminal) {
        if (!final && duration<double>(now - e->lastDraw).count() < 0.2) return;
    } else {
        if (!final && tenth == e->lastTenth) return;
    }
    e->lastDraw = now;
    e->lastTenth = tenth;

    // The speed counts the file's frames only: the ones before --from render much faster.
    if (done <= 1) e->begin = now;
    const double elapsed = duration<double>(now - e->begin).count();
    const double rate = elapsed > 0.0 ? static_cast<double>(done - 1) / elapsed : 0.0;
    const long left = rate > 0.0 ? static_cast<long>((total - done) / rate + 0.5) : 0;
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    const int filled = static_cast<int>(fraction * kWidth);
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    char speed[64] = "rendering up to the first frame";
    if (rate > 0.0) {
        std::snprintf(speed, sizeof speed, "%5.1f frames/s  %ld:%02ld left", rate, left / 60,
                      left % 60);
    }
    // On a terminal the line is padded so it covers a longer one drawn before.
    std::fprintf(stderr, "%svideo: [%s] %3d%%  t = %6.2f s  %-*s%s", e->terminal ? "\r" : "",
                 bar, static_cast<int>(fraction * 100.0), static_cast<double>(t),
                 e->terminal ? 32 : 0, speed, e->terminal && !final ? "" : "\n");
    std::fflush(stderr);
}
