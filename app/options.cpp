#include "app/options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "app/version.h"

namespace {

// True when the name ends in `ext` (".png", ".mp4"; any letter case) and is not only a
// folder.
bool hasFileExtension(const std::string& path, const char* ext) {
    const size_t n = std::char_traits<char>::length(ext);
    if (path.size() <= n || path[path.size() - n - 1] == '/') return false;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(path[path.size() - n + i]);
        if (std::tolower(c) != ext[i]) return false;
    }
    return true;
}

}  // namespace

int parseOptions(int argc, const char* const* argv, DemoOptions* o, std::string* help,
                 std::string* error) {
    CLI::App app{
        "pixeldemo: a real-time audiovisual demo of seven scenes, about two and a half minutes.\n"
        "Plays full screen with sound; Escape ends it. The headless modes render without a\n"
        "display or sound device.\n"
        "\n"
        "This demo contains flashing lights. --gentle shows at most three flashes a second."};
    app.get_formatter()->column_width(24);
    app.footer(
        "Keys while playing:\n"
        "  Space               pause / play on (picture and music)\n"
        "  Left, Right         5 seconds back / on\n"
        "  Page Up, Page Down  the previous / next scene's start\n"
        "  1 to 7              scene 1 to 7 from its start\n"
        "  Home                the beginning\n"
        "  .                   one frame (1/60 s) on, while paused\n"
        "  M, +, -             mute, louder, quieter\n"
        "  F, Alt+Enter        full screen or a window\n"
        "  Escape              quit\n"
        "Every jump shows the very frame a run from the start shows at that time.\n"
        "\n"
        "Examples:\n"
        "  pixeldemo                                play full screen\n"
        "  pixeldemo --window --start 72.5          in a window, from scene 5\n"
        "  pixeldemo --capture out --fps 30 --from 12 --to 24.5 --sheet out/sheet.png\n"
        "  pixeldemo --video demo.mp4               the whole demo as a video (needs ffmpeg)\n"
        "  pixeldemo --bench --fps 30               time every scene without a display\n"
        "  pixeldemo --bench-jumps                  time jumps to every second\n"
        "  pixeldemo --gentle                       play with at most three flashes a second\n"
        "  pixeldemo --analyze-flashes flashes.png  count the flashes of every second");

    auto* window = app.add_flag("--window", o->windowed, "Play in a resizable window");
    auto* depth = app.add_option("--depth", o->depth,
                                 "First texture depth tried: 32, 24 or 16 bits per pixel");
    auto* start = app.add_option("--start", o->start, "Start at T seconds (as a jump: the very frame there)");
    auto* capture = app.add_option("--capture", o->captureDir,
                                   "No display or sound: write the frames to "
                                   "DIR/frame_NNNNNN.png");
    auto* video = app.add_option("--video", o->videoPath,
                                 "No display or sound: frames and music to an MP4 (ffmpeg)");
    auto* fps = app.add_option("--fps", o->fps,
                               "Frames a second of the headless modes (default 60)");
    auto* from = app.add_option("--from", o->from, "--capture/--video: first time written (s)");
    auto* to = app.add_option("--to", o->to,
                              "--capture/--video: last time written (s); ends after it");
    auto* bench = app.add_flag("--bench", o->bench,
                               "No display or sound: time every scene over the whole run");
    auto* benchJumps = app.add_flag("--bench-jumps", o->benchJumps,
                                    "No display or sound: time jumps to every second");
    auto* sheet = app.add_option("--sheet", o->sheetPath,
                                 "--capture: also one PNG of labelled thumbnails");
    auto* analyze = app.add_option("--analyze-music", o->analyzeOut,
                                   "Plot how the music drives the scenes, then exit");
    auto* flashes = app.add_option("--analyze-flashes", o->flashesOut,
                                   "Count the flashes of every second, print and plot them");
    auto* gentle = app.add_flag("--gentle", o->gentle,
                                "Show at most three flashes in any second");
    // For checking the flash analysis: no group, so --help does not list it.
    auto* offset = app.add_option("--frame-offset", o->frameOffset,
                                  "--analyze-flashes: frame n at t = (n + F) / fps");
    offset->group("");
    auto* threads = app.add_option(
        "--threads", o->threads,
        "Threads that draw each frame, 1 to 16 (1: one thread, no worker); default: "
        "PIXELDEMO_THREADS, else the cores the demo may use, at most 8");
    // For the memory check: no group, so --help does not list it.
    auto* passes = app.add_option("--bench-passes", o->benchPasses,
                                  "--bench: run the timeline N times, heap after each pass");
    passes->group("");
    // CLI11 prints the text with a newline of its own.
    app.set_version_flag("--version", [] {
        std::string text = versionText();
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }, "Print the version and those of the libraries, then exit");

    capture->type_name("DIR");
    sheet->type_name("FILE");
    analyze->type_name("OUT.png");
    flashes->type_name("OUT.png");
    offset->type_name("F");
    video->type_name("OUT.mp4");
    depth->type_name("BITS");
    start->type_name("T");
    from->type_name("T");
    to->type_name("T");
    fps->type_name("N");
    threads->type_name("N");

    // Checked here rather than by CLI11's option links, which would clutter --help.
    auto given = [](const CLI::Option* option) { return option->count() > 0; };
    auto fail = [](const char* option, const char* why) {
        throw CLI::ValidationError(option, why);
    };
    try {
        app.parse(argc, argv);
        const bool headless = given(capture) || given(bench) || given(video) || given(benchJumps);
        if (given(analyze)) {
            // count_all() also counts the program name, so look at the options themselves.
            for (const CLI::Option* option : app.get_options()) {
                if (option != analyze && given(option)) fail("--analyze-music", "stands alone");
            }
        }
        if (given(flashes)) {
            for (const CLI::Option* option : app.get_options()) {
                if (option != flashes && option != fps && option != gentle && option != offset &&
                    given(option)) {
                    fail("--analyze-flashes", "stands alone (but for --fps and --gentle)");
                }
            }
        }
        if (given(capture) + given(bench) + given(video) + given(benchJumps) > 1) {
            fail("--capture/--video/--bench/--bench-jumps", "exclude each other");
        }
        if (headless && (given(window) || given(depth) || given(start))) {
            fail("--window/--depth/--start",
                 "only apply when playing, not with --capture, --video or a bench");
        }
        if (given(benchJumps) && given(fps)) {
            fail("--fps", "does not apply to --bench-jumps: jumps land on live play's 60 frames a second");
        }
        if (given(video) && !hasFileExtension(o->videoPath, ".mp4")) {
            fail("--video", "writes an MP4 file: give a name ending in .mp4");
        }
        if (given(capture) && o->captureDir.empty()) fail("--capture", "needs a folder");
        o->depthGiven = given(depth);
        if (given(fps) && !headless && !given(flashes)) {
            fail("--fps", "needs --capture, --video, --bench or --analyze-flashes");
        }
        if ((given(from) || given(to)) && !given(capture) && !given(video)) {
            fail("--from/--to", "need --capture or --video");
        }
        if (given(sheet) && !given(capture)) fail("--sheet", "needs --capture");
        if (o->depth != 32 && o->depth != 24 && o->depth != 16) fail("--depth", "must be 32, 24 or 16");
        if (!(o->start >= 0.0 && o->start <= 3600.0)) fail("--start", "must be 0 to 3600 seconds");
        if (o->fps < 1 || o->fps > 1000) fail("--fps", "must be 1 to 1000");
        if (given(threads) && (o->threads < 1 || o->threads > 16)) fail("--threads", "must be 1 to 16");
        if (std::isnan(o->from) || std::isnan(o->to)) fail("--from/--to", "must be a number of seconds");
        if (!(o->from >= 0.0f) || !(o->to >= 0.0f)) fail("--from/--to", "must not be negative");
        if (o->from > o->to) fail("--from", "must not be after --to");
        if (given(sheet) && o->sheetPath.empty()) fail("--sheet", "needs a file name");
        if (given(sheet) && !hasFileExtension(o->sheetPath, ".png")) {
            fail("--sheet", "writes a PNG file: give a name ending in .png");
        }
        if (given(analyze) && o->analyzeOut.empty()) fail("--analyze-music", "needs a file name");
        if (given(analyze) && !hasFileExtension(o->analyzeOut, ".png")) {
            fail("--analyze-music", "writes a PNG file: give a name ending in .png");
        }
        if (given(flashes) && o->flashesOut.empty()) fail("--analyze-flashes", "needs a file name");
        if (given(flashes) && !hasFileExtension(o->flashesOut, ".png")) {
            fail("--analyze-flashes", "writes a PNG file: give a name ending in .png");
        }
        if (given(offset) && !given(flashes)) fail("--frame-offset", "needs --analyze-flashes");
        if (!(o->frameOffset >= 0.0 && o->frameOffset < 1.0)) {
            fail("--frame-offset", "must be at least 0 and less than 1");
        }
        if (given(passes) && !given(bench)) fail("--bench-passes", "needs --bench");
        if (o->benchPasses < 1 || o->benchPasses > 10) fail("--bench-passes", "must be 1 to 10");
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        const int code = app.exit(e, out, err);
        if (help) *help = out.str();
        if (error) *error = err.str();
        return code == 0 ? 0 : 2;
    }
    return -1;
}
