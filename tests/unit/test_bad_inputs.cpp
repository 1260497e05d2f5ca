// The real program against broken inputs. Each case copies data/ (as links, with the one
// file under test replaced), breaks something and runs pixeldemo in that folder, then checks
// the outcome a user would see:
//   - a picture that cannot be loaded: one line on stdout, the path and the reason on
//     stderr, a nonzero exit before anything is drawn;
//   - a mesh that cannot be loaded: "<path>: <reason>" and the "Error: .ebr file not found"
//     report on stderr, the run goes on without that mesh and ends with exit code 0;
//   - music that cannot be played: "BASS error, file not found?" and the reason on stderr,
//     the demo runs on its silent clock and ends with exit code 0;
//   - a bad output folder or a bad option: a message naming it and a nonzero exit.
// No case may end by a signal or outlive its time limit, and every frame_*.png left in the
// capture folder must be a whole 640x480 picture (no temporary files left behind).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "assets/image.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kDemo = std::string(DEMO_BINARY_DIR) + "/pixeldemo";
const std::string kData = DEMO_DATA_DIR;
constexpr int kTimeLimitSeconds = 60;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string readText(const fs::path& path) {
    const Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

// --- Running the program ----------------------------------------------------------------

struct RunResult {
    int exitCode = -1;      // when it exited
    int signal = 0;         // when a signal ended it
    bool timedOut = false;
    std::string out, err;
};

struct RunSettings {
    std::vector<std::string> env;   // NAME=value added to the environment
    rlim_t fileSizeLimit = 0;       // RLIMIT_FSIZE when nonzero (SIGXFSZ ignored: EFBIG)
    std::string program = kDemo;
};

// Runs the program in `dir` with stdin from /dev/null and without a display, so no message
// box can appear; kills it when it outlives the time limit.
RunResult runDemo(const fs::path& dir, const std::vector<std::string>& args,
                  const RunSettings& settings = {}) {
    const fs::path outPath = dir / "demo.stdout", errPath = dir / "demo.stderr";
    std::vector<std::string> argvStrings{settings.program};
    argvStrings.insert(argvStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        for (const std::string& e : settings.env) putenv(const_cast<char*>(e.c_str()));
        if (settings.fileSizeLimit) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{settings.fileSizeLimit, settings.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult r;
    if (pid < 0) return r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeLimitSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            r.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!r.timedOut && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (!r.timedOut && WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.out = readText(outPath);
    r.err = readText(errPath);
    return r;
}

std::string describe(const RunResult& r) {
    return "exit " + std::to_string(r.exitCode) + (r.signal ? ", signal " + std::to_string(r.signal) : "") +
           (r.timedOut ? ", timed out" : "") + "\n--- stdout:\n" + r.out.substr(0, 2000) +
           "\n--- stderr:\n" + r.err.substr(0, 4000);
}

// Every file in the capture folder is a complete frame: its name is frame_NNNNNN.png and it
// decodes to 640x480. Returns the frame numbers found, in order.
std::vector<int> wholeFrames(const fs::path& dir) {
    std::vector<int> numbers;
    if (!fs::is_directory(dir)) return numbers;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string file = entry.path().filename().string();
        const std::string digits = file.size() == 16 ? file.substr(6, 6) : "";
        if (digits.empty() || file.compare(0, 6, "frame_") != 0 || file.compare(12, 4, ".png") != 0 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            ADD_FAILURE() << "stray file in the capture folder: " << file;
            continue;
        }
        const Bytes bytes = readFile(entry.path());
        Image image{nullptr, 0, 0};
        std::string error;
        if (!decodePng(bytes.data(), bytes.size(), &image, &error) || image.width != 640 ||
            image.height != 480) {
            ADD_FAILURE() << file << " is not a whole 640x480 picture: " << error;
        }
        delete[] image.pixels;
        numbers.push_back(std::stoi(digits));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A line of `text` that starts with `start` and holds `part` after it.
bool hasLine(const std::string& text, const std::string& start, const std::string& part) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.rfind(start, 0) == 0 && line.find(part, start.size()) != std::string::npos) return true;
        at = end + 1;
    }
    return false;
}

// Any of the demo's own reports on stderr (progress lines and the summary are not).
bool reportsTrouble(const std::string& err) {
    return contains(err, "BASS") || contains(err, "Error") || contains(err, "pixeldemo:");
}

// --- A folder holding a copy of data/ ---------------------------------------------------

struct Workspace {
    fs::path root;

    explicit Workspace(const std::string& tag) {
        root = fs::temp_directory_path() / ("pixeldemo_bad_" + std::to_string(getpid()) + "_" + tag);
        fs::remove_all(root);
        fs::create_directories(root / "data");
        for (auto it = fs::recursive_directory_iterator(kData); it != fs::recursive_directory_iterator(); ++it) {
            const fs::path rel = fs::relative(it->path(), kData);
            if (it->is_directory())
                fs::create_directories(root / "data" / rel);
            else
                fs::create_symlink(it->path(), root / "data" / rel);
        }
    }
    ~Workspace() { fs::remove_all(root); }

    fs::path data(const std::string& rel) const { return root / "data" / rel; }
};

// --- Ways to break a file ---------------------------------------------------------------

using Rewrite = std::function<Bytes(const Bytes&)>;

struct Breakage {
    enum Kind { missing, directory, selfLink, rewrite } kind;
    Rewrite make;
};

const Breakage kMissing{Breakage::missing, nullptr};
const Breakage kDirectory{Breakage::directory, nullptr};
const Breakage kSelfLink{Breakage::selfLink, nullptr};   // a symbolic link to itself
Breakage with(Rewrite make) { return {Breakage::rewrite, std::move(make)}; }

// Keeps the first n bytes (n < 0: drops -n bytes from the end).
Breakage cut(long n) {
    return with([n](const Bytes& b) {
        const size_t keep = n >= 0 ? std::min<size_t>(size_t(n), b.size()) : b.size() - size_t(-n);
        return Bytes(b.begin(), b.begin() + static_cast<long>(keep));
    });
}
Breakage cutHalf() {
    return with([](const Bytes& b) { return Bytes(b.begin(), b.begin() + static_cast<long>(b.size() / 2)); });
}
Breakage contentOf(const std::string& rel) {
    return with([rel](const Bytes&) { return readFile(kData + "/" + rel); });
}
Breakage bytesOf(Bytes bytes) {
    return with([bytes](const Bytes&) { return bytes; });
}
// Many single-byte changes all over the file, the same ones every run.
Breakage scramble(int count) {
    return with([count](const Bytes& original) {
        Bytes b = original;
        uint64_t s = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < count && !b.empty(); ++i) {
            s = s * 6364136223846793005ull + 1442695040888963407ull;
            b[(s >> 33) % b.size()] ^= static_cast<uint8_t>(1u << ((s >> 29) & 7));
        }
        return b;
    });
}

void put32le(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put32be(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
uint32_t get32le(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint32_t get32be(const Bytes& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// PNG: the offset of the first chunk of `type` (its length field), from the chunk walk.
size_t pngChunk(const Bytes& b, const char* type) {
    for (size_t at = 8; at + 8 <= b.size();) {
        if (std::memcmp(&b[at + 4], type, 4) == 0) return at;
        at += 12 + get32be(b, at);
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 8;
}
// Recomputes a chunk's CRC after its contents were changed.
void fixCrc(Bytes* b, size_t chunk) {
    const uint32_t length = get32be(*b, chunk);
    const uLong crc = crc32(0, b->data() + chunk + 4, 4 + length);
    put32be(b, chunk + 8 + length, static_cast<uint32_t>(crc));
}
// The header says width x height (with a valid CRC); the image data stays as it was.
Breakage pngSize(uint32_t width, uint32_t height) {
    return with([=](const Bytes& original) {
        Bytes b = original;
        const size_t ihdr = pngChunk(b, "IHDR");
        put32be(&b, ihdr + 8, width);
        put32be(&b, ihdr + 12, height);
        fixCrc(&b, ihdr);
        return b;
    });
}
// One IHDR byte (0 width .. 12 interlace) set to `value`, CRC fixed.
Breakage pngHeaderByte(size_t field, uint8_t value) {
    return with([=](const Bytes& original) {
        Bytes b = original;
        const size_t ihdr = pngChunk(b, "IHDR");
        b[ihdr + 8 + field] = value;
        fixCrc(&b, ihdr);
        return b;
    });
}
// Flips a byte of a chunk's stored CRC: the data is fine, the check fails.
Breakage pngBadCrc(const char* type) {
    return with([type](const Bytes& original) {
        Bytes b = original;
        const size_t chunk = pngChunk(b, type);
        b[chunk + 8 + get32be(b, chunk)] ^= 0xFF;
        return b;
    });
}

// A small PNG made here: colour type 0 (grey), 2 (RGB), 6 (RGBA) at 8 bits, or grey at
// lower depths; every sample is `level`.
Bytes makePng(uint32_t width, uint32_t height, uint8_t colourType, uint8_t depth, uint8_t level) {
    const int channels = colourType == 6 ? 4 : colourType == 2 ? 3 : 1;
    const size_t rowBytes = (size_t(width) * channels * depth + 7) / 8;
    Bytes raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);   // filter: none
        raw.insert(raw.end(), rowBytes, level);
    }
    uLongf packedSize = compressBound(raw.size());
    Bytes packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), raw.size());
    packed.resize(packedSize);

    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&png](const char* type, const Bytes& data) {
        const size_t at = png.size();
        png.resize(at + 12 + data.size());
        put32be(&png, at, static_cast<uint32_t>(data.size()));
        std::memcpy(&png[at + 4], type, 4);
        std::copy(data.begin(), data.end(), png.begin() + static_cast<long>(at + 8));
        fixCrc(&png, at);
    };
    Bytes ihdr(13, 0);
    put32be(&ihdr, 0, width);
    put32be(&ihdr, 4, height);
    ihdr[8] = depth;
    ihdr[9] = colourType;
    chunk("IHDR", ihdr);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return png;
}

// .ebr: offsets in the first mesh block.
enum EbrField { meshCount, vertexCount, triangleCount, nameLength, firstVertex, firstIndex };
size_t ebrOffset(const Bytes& b, EbrField field) {
    switch (field) {
        case meshCount: return 0;
        case vertexCount: return 4;
        case triangleCount: return 8;
        case nameLength: return 12;
        case firstVertex: return 16 + get32le(b, 12);
        case firstIndex: return 16 + get32le(b, 12) + 20 * size_t(get32le(b, 4));
    }
    return 0;
}
// Sets the 32-bit word at field + extra bytes; `value` may depend on the file.
Breakage ebrWord(EbrField field, size_t extra, std::function<uint32_t(const Bytes&)> value) {
    return with([=](const Bytes& original) {
        Bytes b = original;
        put32le(&b, ebrOffset(b, field) + extra, value(b));
        return b;
    });
}
Breakage ebrWord(EbrField field, size_t extra, uint32_t value) {
    return ebrWord(field, extra, [value](const Bytes&) { return value; });
}
Breakage ebrFloat(EbrField field, size_t extra, float value) {
    uint32_t w;
    std::memcpy(&w, &value, 4);
    return ebrWord(field, extra, w);
}
// Cut at a point inside the first block: field + extra bytes.
Breakage ebrCut(EbrField field, long extra) {
    return with([=](const Bytes& b) {
        return Bytes(b.begin(), b.begin() + static_cast<long>(ebrOffset(b, field)) + extra);
    });
}

// MP3: an ID3v2 tag in front whose size field claims 256 MiB.
Breakage id3Claims256MiB() {
    return with([](const Bytes& original) {
        const uint8_t tag[10] = {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
        Bytes b(sizeof tag + original.size());
        std::memcpy(b.data(), tag, sizeof tag);
        std::memcpy(b.data() + sizeof tag, original.data(), original.size());
        return b;
    });
}

// --- The table of broken files ----------------------------------------------------------

enum class Expect {
    imageFails,   // nonzero exit; `line` on stdout; "<file>: <detail>" on stderr when given
    meshRefused,  // exit 0; "<file>: <detail>" and the .ebr report on stderr
    musicSilent,  // exit 0; the BASS report and `detail` on stderr
    runs,         // exit 0 with no report at all
};

// How much of the demo a case runs.
enum class Span {
    startUp,    // --capture out --fps 10 --to 0.5: start-up and the first half second
    timeline,   // --capture out --fps 1 --from 147: every scene drawn, the last frames kept
    live,       // the playing mode on SDL's dummy video and audio, from 148.8 s
};

struct BadFile {
    const char* name;
    const char* file;    // under data/
    Breakage breakage;
    Expect expect;
    std::string detail;  // reason on stderr (imageFails: after "<file>: "); or the stdout line
    Span span = Span::startUp;
    std::string line = {};  // imageFails: the exact stdout
};

const char kNotPng[] = "Not a valid PNG file \n";
const char kNoAlpha[] = "The PNG's without alpha channel or it's invalid \n";

std::vector<BadFile> badFiles() {
    const std::string notFound = "File not found: data/";
    return {
        // A picture loaded half-way through start-up, broken in every way.
        {"png_missing", "vann.png", kMissing, Expect::imageFails, "No such file or directory", Span::startUp, notFound + "vann.png \n"},
        {"png_self_link", "vann.png", kSelfLink, Expect::imageFails, "Too many levels of symbolic links",
         Span::startUp, notFound + "vann.png \n"},
        {"png_directory", "vann.png", kDirectory, Expect::imageFails, "Is a directory", Span::startUp, kNotPng},
        {"png_empty", "vann.png", cut(0), Expect::imageFails, "the file is empty", Span::startUp, kNotPng},
        {"png_signature_only", "vann.png", cut(8), Expect::imageFails, "file ends early", Span::startUp, kNotPng},
        {"png_cut_in_header", "vann.png", cut(20), Expect::imageFails, "file ends early", Span::startUp, kNotPng},
        {"png_cut_in_half", "vann.png", cutHalf(), Expect::imageFails, "", Span::startUp, kNotPng},
        {"png_cut_before_end", "vann.png", cut(-1), Expect::imageFails, "file ends early", Span::startUp, kNotPng},
        {"png_no_end_chunk", "vann.png", cut(-12), Expect::imageFails, "file ends early", Span::startUp, kNotPng},
        {"png_bad_signature", "vann.png", with([](const Bytes& o) { Bytes b = o; b[1] ^= 0x20; return b; }),
         Expect::imageFails, "Not a PNG file", Span::startUp, kNotPng},
        {"png_header_crc", "vann.png", pngBadCrc("IHDR"), Expect::imageFails, "IHDR: CRC error", Span::startUp, kNotPng},
        {"png_data_crc", "vann.png", pngBadCrc("IDAT"), Expect::imageFails, "IDAT: CRC error", Span::startUp, kNotPng},
        {"png_huge_width", "vann.png", pngSize(0x7FFFFFFF, 480), Expect::imageFails, "", Span::startUp, kNotPng},
        {"png_over_limit", "vann.png", pngSize(16385, 16385), Expect::imageFails, "Invalid IHDR data", Span::startUp, kNotPng},
        {"png_at_limit_no_data", "vann.png", pngSize(16384, 16384), Expect::imageFails, "", Span::startUp, kNotPng},
        {"png_zero_height", "vann.png", pngSize(640, 0), Expect::imageFails, "Invalid IHDR data", Span::startUp, kNotPng},
        {"png_bad_depth", "vann.png", pngHeaderByte(8, 3), Expect::imageFails, "", Span::startUp, kNotPng},
        {"png_bad_colour_type", "vann.png", pngHeaderByte(9, 5), Expect::imageFails, "", Span::startUp, kNotPng},
        {"png_grey", "vann.png", bytesOf(makePng(8, 8, 0, 8, 100)), Expect::imageFails,
         "colour type is not RGB or RGBA", Span::startUp, kNoAlpha},
        {"png_is_a_mesh", "vann.png", contentOf("box2.ebr"), Expect::imageFails, "Not a PNG file", Span::startUp, kNotPng},
        {"png_is_the_music", "vann.png", contentOf("pelotrix.mp3"), Expect::imageFails, "Not a PNG file", Span::startUp, kNotPng},
        // Each kind of picture use, missing.
        {"png_first_loaded_missing", "s.png", kMissing, Expect::imageFails, "No such file or directory", Span::startUp, notFound + "s.png \n"},
        {"png_texture_missing", "bronze.png", kMissing, Expect::imageFails, "No such file or directory", Span::startUp, notFound + "bronze.png \n"},
        {"png_sprite_missing", "pixeldyr/a3.png", kMissing, Expect::imageFails, "No such file or directory", Span::startUp, notFound + "pixeldyr/a3.png \n"},
        {"png_loading_missing", "loading.png", kMissing, Expect::imageFails, "No such file or directory", Span::live, notFound + "loading.png \n"},
        {"png_loading_cut", "loading.png", cutHalf(), Expect::imageFails, "", Span::live, kNotPng},
        // Valid pictures of unexpected sizes or kinds: drawn without reading past them.
        {"png_tiny_texture", "bronze.png", bytesOf(makePng(3, 2, 6, 8, 200)), Expect::runs, "", Span::timeline},
        {"png_tiny_overlay", "vann.png", bytesOf(makePng(1, 1, 2, 8, 90)), Expect::runs, "", Span::timeline},
        {"png_two_bit_grey_sprite", "pixeldyr/a3.png", bytesOf(makePng(5, 7, 0, 2, 0xE4)), Expect::runs, "", Span::timeline},
        {"png_loading_small", "loading.png", bytesOf(makePng(200, 100, 2, 8, 60)), Expect::runs, "", Span::live},

        // The first mesh loaded (the boxes of scenes 2 and 4).
        {"ebr_missing", "box2.ebr", kMissing, Expect::meshRefused, "No such file or directory", Span::timeline},
        {"ebr_directory", "box2.ebr", kDirectory, Expect::meshRefused, "Is a directory"},
        {"ebr_empty", "box2.ebr", cut(0), Expect::meshRefused, "too short to hold a mesh count"},
        {"ebr_cut_in_mesh_count", "box2.ebr", cut(2), Expect::meshRefused, "too short to hold a mesh count"},
        {"ebr_cut_in_counts", "box2.ebr", cut(10), Expect::meshRefused, "too short for the 1 meshes"},
        {"ebr_cut_in_name", "box2.ebr", ebrCut(firstVertex, -1), Expect::meshRefused, "ends inside the mesh's name"},
        {"ebr_cut_in_vertices", "box2.ebr", ebrCut(firstVertex, 30), Expect::meshRefused, "ends inside the vertex records"},
        {"ebr_cut_in_triangles", "box2.ebr", cut(-1), Expect::meshRefused, "ends inside the triangle records"},
        {"ebr_negative_mesh_count", "box2.ebr", ebrWord(meshCount, 0, 0xFFFFFFFFu), Expect::meshRefused,
         "negative mesh count -1"},
        {"ebr_absurd_mesh_count", "box2.ebr", ebrWord(meshCount, 0, 0x7FFFFFFFu), Expect::meshRefused,
         "too short for the 2147483647 meshes"},
        {"ebr_absurd_vertex_count", "box2.ebr", ebrWord(vertexCount, 0, 2000000000u), Expect::meshRefused,
         "2000000000 vertices, more than the 1000000"},
        {"ebr_negative_vertex_count", "box2.ebr", ebrWord(vertexCount, 0, 0xFFFFFFF0u), Expect::meshRefused,
         "negative count"},
        {"ebr_absurd_triangle_count", "box2.ebr", ebrWord(triangleCount, 0, 0x7FFFFFFFu), Expect::meshRefused,
         "ends inside the triangle records (2147483647 announced)"},
        {"ebr_absurd_name_length", "box2.ebr", ebrWord(nameLength, 0, 0x7FFFFFFFu), Expect::meshRefused,
         "ends inside the mesh's name"},
        {"ebr_index_past_vertices", "box2.ebr",
         ebrWord(firstIndex, 4, [](const Bytes& b) { return get32le(b, 4); }), Expect::meshRefused,
         "triangle 0 uses vertex"},
        {"ebr_negative_index", "box2.ebr", ebrWord(firstIndex, 0, 0xFFFFFFFFu), Expect::meshRefused,
         "triangle 0 uses vertex -1"},
        {"ebr_nan_coordinate", "box2.ebr", ebrFloat(firstVertex, 4, std::nanf("")), Expect::meshRefused,
         "vertex 0 has a coordinate that is not a finite number"},
        {"ebr_infinite_texture_v", "box2.ebr", ebrFloat(firstVertex, 16, INFINITY), Expect::meshRefused,
         "vertex 0 has a coordinate that is not a finite number"},
        {"ebr_is_a_picture", "box2.ebr", contentOf("s.png"), Expect::meshRefused, "too short for the"},
        {"ebr_is_the_music", "box2.ebr", contentOf("pelotrix.mp3"), Expect::meshRefused, "too short for the"},
        {"ebr_no_meshes", "box2.ebr", bytesOf({0, 0, 0, 0}), Expect::runs, "", Span::timeline},
        // Every other scene's meshes, missing: each scene draws on without them.
        {"ebr_sphere_missing", "sphere.ebr", kMissing, Expect::meshRefused, "No such file", Span::timeline},
        {"ebr_animated_missing", "thing.ebr", kMissing, Expect::meshRefused, "No such file", Span::timeline},
        {"ebr_tunnel_missing", "tunnell.ebr", kMissing, Expect::meshRefused, "No such file", Span::timeline},
        {"ebr_logo_missing", "pixeldyr/pxl.ebr", kMissing, Expect::meshRefused, "No such file", Span::timeline},
        {"ebr_greeting_missing", "greets/you.ebr", kMissing, Expect::meshRefused, "No such file", Span::timeline},
        {"ebr_greeting_cut", "greets/tindral.ebr", cutHalf(), Expect::meshRefused, "ends inside", Span::timeline},
        {"ebr_live_missing", "box2.ebr", kMissing, Expect::meshRefused, "No such file", Span::live},

        // The music.
        {"mp3_missing", "pelotrix.mp3", kMissing, Expect::musicSilent,
         "cannot open data/pelotrix.mp3: No such file or directory", Span::timeline},
        {"mp3_directory", "pelotrix.mp3", kDirectory, Expect::musicSilent, "data/pelotrix.mp3: Is a directory"},
        {"mp3_empty", "pelotrix.mp3", cut(0), Expect::musicSilent, "data/pelotrix.mp3 is empty"},
        {"mp3_cut_to_first_frames", "pelotrix.mp3", cut(1000), Expect::musicSilent,
         "(not MP3 audio, or cut short)"},
        {"mp3_is_a_picture", "pelotrix.mp3", contentOf("gress.png"), Expect::musicSilent, "cannot decode data/pelotrix.mp3"},
        {"mp3_huge_tag", "pelotrix.mp3", id3Claims256MiB(), Expect::musicSilent, "data/pelotrix.mp3"},
        {"mp3_live_missing", "pelotrix.mp3", kMissing, Expect::musicSilent, "No such file or directory", Span::live},
        // Damaged but still MPEG audio: what decodes is played, the rest is silence.
        {"mp3_cut_in_half", "pelotrix.mp3", cutHalf(), Expect::runs, "", Span::timeline},
        {"mp3_scrambled", "pelotrix.mp3", scramble(3000), Expect::runs, "", Span::timeline},
    };
}

void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class BadFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadFileTest, ClearMessageNoCrash) {
    const BadFile& c = GetParam();
    ASSERT_TRUE(fs::exists(kDemo)) << kDemo << " is not built";
    Workspace work(c.name);
    const fs::path target = work.data(c.file);
    const Bytes original = readFile(kData + "/" + c.file);
    ASSERT_FALSE(original.empty()) << c.file;
    fs::remove(target);
    if (c.breakage.kind == Breakage::directory) fs::create_directory(target);
    if (c.breakage.kind == Breakage::selfLink) fs::create_symlink(target.filename(), target);
    if (c.breakage.kind == Breakage::rewrite) writeFile(target, c.breakage.make(original));

    RunSettings settings;
    std::vector<std::string> args;
    int firstFrame = 0, lastFrame = 5;   // frame 0 is t = 0
    switch (c.span) {
        case Span::startUp:
            args = {"--capture", "out", "--fps", "10", "--to", "0.5"};
            break;
        case Span::timeline:
            args = {"--capture", "out", "--fps", "1", "--from", "147"};
            firstFrame = 147;
            lastFrame = 150;   // the first frame past 149 s is still drawn, then the run ends
            break;
        case Span::live:
            args = {"--window", "--start", "148.8"};
            settings.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
            break;
    }
    const RunResult r = runDemo(work.root, args, settings);
    const std::string file = std::string("data/") + c.file;
    ASSERT_FALSE(r.timedOut) << "hung: " << describe(r);
    ASSERT_EQ(r.signal, 0) << "crashed: " << describe(r);

    const std::vector<int> frames = wholeFrames(work.root / "out");
    std::vector<int> expectedFrames;
    if (c.span != Span::live && c.expect != Expect::imageFails)
        for (int n = firstFrame; n <= lastFrame; ++n) expectedFrames.push_back(n);
    EXPECT_EQ(frames, expectedFrames);

    switch (c.expect) {
        case Expect::imageFails:
            EXPECT_NE(r.exitCode, 0) << describe(r);
            EXPECT_EQ(r.out, c.line) << describe(r);
            EXPECT_TRUE(hasLine(r.err, file + ": ", c.detail)) << describe(r);
            break;
        case Expect::meshRefused:
            EXPECT_EQ(r.exitCode, 0) << describe(r);
            EXPECT_TRUE(hasLine(r.err, file + ": ", c.detail)) << describe(r);
            EXPECT_TRUE(hasLine(r.err, file + ": ", "Error: .ebr file not found")) << describe(r);
            break;
        case Expect::musicSilent:
            EXPECT_EQ(r.exitCode, 0) << describe(r);
            EXPECT_TRUE(contains(r.err, "BASS: BASS error, file not found?")) << describe(r);
            EXPECT_TRUE(hasLine(r.err, "pixeldemo: ", file)) << describe(r);
            EXPECT_TRUE(contains(r.err, c.detail)) << describe(r);
            break;
        case Expect::runs:
            EXPECT_EQ(r.exitCode, 0) << describe(r);
            EXPECT_FALSE(reportsTrouble(r.err)) << describe(r);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Demo, BadFileTest, ::testing::ValuesIn(badFiles()),
                         [](const ::testing::TestParamInfo<BadFile>& info) {
                             return std::string(info.param.name);
                         });

// The untouched data in every span: the baseline the broken cases are measured against.
TEST(BadInputs, IntactDataRunsCleanly) {
    Workspace work("intact");
    RunResult r = runDemo(work.root, {"--capture", "out", "--fps", "1", "--from", "147"});
    ASSERT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(wholeFrames(work.root / "out"), (std::vector<int>{147, 148, 149, 150}));
    EXPECT_FALSE(reportsTrouble(r.err)) << describe(r);
    r = runDemo(work.root, {"--window", "--start", "148.8"},
                {{"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"}});
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_FALSE(reportsTrouble(r.err)) << describe(r);
}

// No sound device while playing: two reports, as two message boxes would show them (the
// device cannot be opened, then the music cannot start on it), and the demo plays on its
// silent clock to the end.
TEST(BadInputs, NoSoundDeviceTwoReports) {
    Workspace work("nosound");
    const RunResult r = runDemo(work.root, {"--window", "--start", "148.8"},
                                {{"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=nosuchdriver"}});
    ASSERT_FALSE(r.timedOut || r.signal) << describe(r);
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    const size_t first = r.err.find("BASS: BASS error\n");
    const size_t second = r.err.find("BASS: BASS error, can not play stream?\n");
    ASSERT_NE(first, std::string::npos) << describe(r);
    ASSERT_NE(second, std::string::npos) << describe(r);
    EXPECT_LT(first, second) << describe(r);
    EXPECT_TRUE(contains(r.err, "the demo runs on a silent clock")) << describe(r);
}

// No data/ in the working folder nor beside the program (a copy of it elsewhere).
TEST(BadInputs, NoDataFolderAnywhere) {
    const fs::path dir = fs::temp_directory_path() / ("pixeldemo_nodata_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "bin");
    fs::copy_file(kDemo, dir / "bin" / "pixeldemo");
    RunSettings settings;
    settings.program = (dir / "bin" / "pixeldemo").string();
    const RunResult r = runDemo(dir, {"--capture", "out", "--fps", "10", "--to", "0.5"}, settings);
    fs::remove_all(dir);
    ASSERT_FALSE(r.timedOut || r.signal) << describe(r);
    EXPECT_NE(r.exitCode, 0) << describe(r);
    EXPECT_EQ(r.out, "File not found: data/s.png \n") << describe(r);
    EXPECT_TRUE(contains(r.err, "no data folder in " + dir.string() + " nor beside the program in " +
                                    (dir / "bin").string()))
        << describe(r);
}

// Capture folders that cannot be written, and a disk that fills up: a message naming the
// place, a nonzero exit, and never a partial frame under a frame's name.
TEST(BadInputs, UnwritableCaptureFolders) {
    Workspace work("capture");
    writeFile(work.root / "a_file", {1, 2, 3});
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> message;   // parts that must all be on stderr
        rlim_t fileSizeLimit;
        const char* folder;   // checked for whole frames only
    };
    const std::string root = work.root.string();
    const std::vector<Case> cases = {
        {{"--capture", "a_file"}, {"cannot create " + root + "/a_file: Not a directory"}, 0, nullptr},
        {{"--capture", "a_file/sub"}, {"cannot create " + root + "/a_file/sub: Not a directory"}, 0, nullptr},
        // A parent that does not exist and cannot be made: named, with the reason.
        {{"--capture", "/proc/self/none/out"},
         {"cannot create /proc/self/none/out: the folder /proc/self/none cannot be made (No such file or directory)"},
         0, nullptr},
        // Exists, but nobody may create files in it, not even root. Frames are encoded on
        // several threads, so whichever fails first is named.
        // Checked before anything is rendered.
        {{"--capture", "/proc/self/fdinfo"}, {"cannot write into /proc/self/fdinfo: "}, 0, nullptr},
        // A full disk: no frame fits under a 512-byte file size limit.
        {{"--capture", "full"}, {"capture stopped: " + root + "/full/frame_0000", "File too large"}, 512, "full"},
        {{"--capture", "sheet", "--sheet", "/proc/self/sheet.png"}, {"cannot write /proc/self/sheet.png: No such file or directory"}, 0, "sheet"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (const char* a : {"--fps", "10", "--to", "0.5"}) args.push_back(a);
        RunSettings settings;
        settings.fileSizeLimit = c.fileSizeLimit;
        const RunResult r = runDemo(work.root, args, settings);
        SCOPED_TRACE(c.args[1]);
        ASSERT_FALSE(r.timedOut || r.signal) << describe(r);
        EXPECT_NE(r.exitCode, 0) << describe(r);
        for (const std::string& part : c.message) EXPECT_TRUE(contains(r.err, part)) << describe(r);
        if (c.folder) wholeFrames(work.root / c.folder);
    }
    EXPECT_TRUE(wholeFrames(work.root / "full").empty());
}

// Unknown and malformed options: CLI11's message naming the option and exit code 2,
// before anything is loaded.
TEST(BadInputs, MalformedOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "The following argument was not expected: --bogus"},
        {{"extra"}, "The following argument was not expected: extra"},
        {{"--bench", "--fps", "abc"}, "Could not convert: --fps = abc"},
        {{"--bench", "--fps", "2147483648"}, "Could not convert: --fps = 2147483648"},
        {{"--bench", "--fps", "0"}, "--fps: must be 1 to 1000"},
        {{"--bench", "--fps"}, "--fps: 1 required N missing"},
        {{"--fps", "5"}, "--fps: needs --capture, --video, --bench or --analyze-flashes"},
        {{"--capture"}, "--capture: 1 required DIR missing"},
        {{"--capture", ""}, "--capture: needs a folder"},
        {{"--capture", "o", "--bench"}, "--capture/--video/--bench/--bench-jumps: exclude each other"},
        {{"--bench-jumps", "--fps", "30"}, "--fps: does not apply to --bench-jumps"},
        {{"--video", "demo.avi"}, "--video: writes an MP4 file"},
        {{"--capture", "o", "--to", "nan"}, "--from/--to: must be a number of seconds"},
        {{"--capture", "o", "--to", "-1"}, "--from/--to: must not be negative"},
        {{"--capture", "o", "--sheet", "s.jpg"}, "--sheet: writes a PNG file"},
        {{"--analyze-music", ""}, "--analyze-music: needs a file name"},
        {{"--analyze-music", "plot.txt"}, "--analyze-music: writes a PNG file"},
        {{"--capture", "o", "--from", "5", "--to", "1"}, "--from: must not be after --to"},
        {{"--sheet", "s.png"}, "--sheet: needs --capture"},
        {{"--start", "nan"}, "--start: must be 0 to 3600 seconds"},
        {{"--start", "1e400"}, "--start: must be 0 to 3600 seconds"},
        {{"--start", "1", "--start", "2"}, "--start"},
        {{"--depth", "8"}, "--depth: must be 32, 24 or 16"},
        {{"--depth", "32x"}, "Could not convert: --depth = 32x"},
        {{"--window", "--bench"}, "only apply when playing"},
        {{"--analyze-music", "x.png", "--bench"}, "--analyze-music: stands alone"},
        {{"--analyze-music", "x.png", "--gentle"}, "--analyze-music: stands alone"},
        {{"--analyze-flashes", "f.png", "--start", "3"}, "--analyze-flashes: stands alone"},
        {{"--analyze-flashes", "f.txt"}, "--analyze-flashes: writes a PNG file"},
        {{"--analyze-flashes", "f.png", "--frame-offset", "1"}, "--frame-offset: must be at least 0"},
        {{"--frame-offset", "0.5"}, "--frame-offset: needs --analyze-flashes"},
        {{"--bench-passes", "2"}, "--bench-passes: needs --bench"},
        {{"--threads", "0"}, "--threads: must be 1 to 16"},
        {{"--bench", "--threads", "17"}, "--threads: must be 1 to 16"},
        {{"--threads", "two"}, "Could not convert: --threads = two"},
    };
    Workspace work("options");
    for (const Case& c : cases) {
        const RunResult r = runDemo(work.root, c.args);
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        ASSERT_FALSE(r.timedOut || r.signal) << describe(r);
        EXPECT_EQ(r.exitCode, 2) << describe(r);
        EXPECT_TRUE(contains(r.err, c.message)) << describe(r);
        EXPECT_TRUE(contains(r.err, "Run with --help for more information.")) << describe(r);
        EXPECT_EQ(r.out, "") << describe(r);
        EXPECT_FALSE(fs::exists(work.root / "o")) << "a refused command line created its folder";
    }
    const RunResult help = runDemo(work.root, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "--capture")) << describe(help);
    EXPECT_FALSE(contains(help.out, "--bench-passes")) << describe(help);
}

}  // namespace
