#include "exporters/video.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/encoder_process.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", s);
    return text;
}

bool readable(const std::string& path) {
    if (path.empty()) return false;
    FILE* file = openFile(path, "rb");
    if (file) std::fclose(file);
    return file != nullptr;
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

// --- The encoder ------------------------------------------------------------------------

struct VideoEncoder {
    EncoderProcess* process = nullptr;
    std::string outPath;
    std::string partPath;
    std::vector<uint8_t> rgb;   // one frame as rgb24
    // Progress.
    std::chrono::steady_clock::time_point begin;   // of the first frame in the file
    std::chrono::steady_clock::time_point lastDraw;
    int lastTenth = -1;
    bool terminal = false;
};

namespace {

VideoEncoder* gProgressOwner = nullptr;

void freeEncoder(VideoEncoder* e) {
    if (gProgressOwner == e) gProgressOwner = nullptr;
    delete e;
}

}  // namespace

VideoEncoder* startVideo(const VideoSettings& s, std::string* error) {
    std::error_code ec;
    const fs::path parent = filePath(s.outPath).parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
        *error = "cannot write " + s.outPath + ": the folder " + pathText(parent) +
                 " does not exist";
        return nullptr;
    }

    VideoEncoder* e = new VideoEncoder();
    e->outPath = s.outPath;
    e->partPath = s.outPath + ".part";
    e->rgb.resize(static_cast<size_t>(s.width) * s.height * 3);
    e->terminal = stderrIsTerminal();
    e->process = startEncoderProcess(videoEncoderArgs(s, e->partPath), error);
    if (!e->process) {
        delete e;
        return nullptr;
    }
    e->begin = e->lastDraw = std::chrono::steady_clock::now();
    gProgressOwner = e;
    return e;
}

bool videoInterrupted() { return encoderInterrupted(); }

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
    return writeToEncoder(e->process, e->rgb.data(), e->rgb.size(), error);
}

bool finishVideo(VideoEncoder* e, std::string* error) {
    bool ok = finishEncoderProcess(e->process, error);
    std::error_code ec;
    if (ok) {
        // Replaces a file of that name (on Windows too, where a plain rename would not).
        fs::rename(filePath(e->partPath), filePath(e->outPath), ec);
        if (ec) {
            *error = "cannot rename " + e->partPath + " to " + e->outPath + ": " + ec.message();
            ok = false;
        }
    }
    if (!ok) fs::remove(filePath(e->partPath), ec);
    freeEncoder(e);
    return ok;
}

void abortVideo(VideoEncoder* e) {
    stopEncoderProcess(e->process);
    std::error_code ec;
    fs::remove(filePath(e->partPath), ec);
    freeEncoder(e);
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
