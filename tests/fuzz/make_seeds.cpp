// Writes the fuzzers' starting corpora: small, valid PNG and .ebr files that reach every
// branch of the decoders (each PNG colour type and depth the loader handles or refuses,
// interlacing, transparency; empty, named and multi-mesh models), and command lines
// (arguments separated by NUL bytes) for every mode of the demo.
//
//   make_seeds DIR   writes DIR/png/*.png, DIR/ebr/*.ebr and DIR/options/*.args
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "tests/unit/png_encode.h"

namespace {

using pngtest::Bytes;

struct PngSeed {
    const char* name;
    uint32_t width, height;
    int depth, colorType;
    bool interlaced, palette, trns;
};

// Palette files get four entries, and with `trns` alpha for the first two; other files
// with `trns` a transparent colour of 1 in every channel.
bool encodeSeed(const PngSeed& s, const Bytes& samples, Bytes* out) {
    pngtest::PngPlan plan;
    plan.width = s.width;
    plan.height = s.height;
    plan.depth = s.depth;
    plan.colorType = s.colorType;
    plan.samples = samples;
    plan.interlaced = s.interlaced;
    if (s.palette) plan.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    if (s.trns && s.palette) plan.trnsAlpha = {0, 128};
    if (s.trns && !s.palette) {
        plan.trnsColor = true;
        plan.trnsValue.red = plan.trnsValue.green = plan.trnsValue.blue = plan.trnsValue.gray = 1;
    }
    return pngtest::encodeInto(plan, out);
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void putInt(Bytes* out, int32_t value) {
    uint32_t w;
    std::memcpy(&w, &value, 4);
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(w >> (8 * i)));
}
void putFloat(Bytes* out, float f) {
    int32_t i;
    std::memcpy(&i, &f, 4);
    putInt(out, i);
}

// A block of n vertices around a circle, fanned into n - 2 triangles.
void putFan(Bytes* out, const char* name, int32_t n) {
    putInt(out, n);
    putInt(out, n > 2 ? n - 2 : 0);
    putInt(out, int32_t(std::strlen(name)));
    out->insert(out->end(), name, name + std::strlen(name));
    for (int32_t j = 0; j < n; ++j) {
        const float a = 6.2831853f * float(j) / float(n > 0 ? n : 1);
        for (float f : {float(j % 3), float(j % 2) - 0.5f, a, a / 6.3f, 1.0f - a / 6.3f})
            putFloat(out, f);
    }
    for (int32_t t = 1; t + 1 < n; ++t)
        for (int32_t i : {0, t, t + 1}) putInt(out, i);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    for (const std::string& sub : {dir, dir + "/png", dir + "/ebr", dir + "/options"})
        mkdir(sub.c_str(), 0755);

    const PngSeed pngs[] = {
        {"rgb8", 4, 3, 8, PNG_COLOR_TYPE_RGB, false, false, false},
        {"rgba8", 4, 3, 8, PNG_COLOR_TYPE_RGB_ALPHA, false, false, false},
        {"rgb8_trns", 3, 2, 8, PNG_COLOR_TYPE_RGB, false, false, true},
        {"rgb16", 2, 2, 16, PNG_COLOR_TYPE_RGB, false, false, false},
        {"rgba16_interlaced", 9, 9, 16, PNG_COLOR_TYPE_RGB_ALPHA, true, false, false},
        {"palette2_trns", 5, 3, 2, PNG_COLOR_TYPE_PALETTE, false, true, true},
        {"palette8", 3, 3, 8, PNG_COLOR_TYPE_PALETTE, true, true, false},
        {"grey1", 9, 2, 1, PNG_COLOR_TYPE_GRAY, false, false, false},
        {"grey4_trns", 3, 3, 4, PNG_COLOR_TYPE_GRAY, false, false, true},
        {"grey8", 2, 2, 8, PNG_COLOR_TYPE_GRAY, false, false, false},
        {"grey_alpha8", 2, 2, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, false, false},
    };
    int written = 0;
    for (const PngSeed& s : pngs) {
        int channels = s.colorType == PNG_COLOR_TYPE_RGB         ? 3
                       : s.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : s.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                  : 1;
        const size_t rowBytes = (size_t(s.width) * channels * s.depth + 7) / 8;
        Bytes samples(rowBytes * s.height);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 37 + 11);
        if (s.palette)  // keep indices inside the four-entry palette
            for (uint8_t& b : samples) b &= s.depth == 8 ? 0x03 : 0x55;
        Bytes file;
        if (!encodeSeed(s, samples, &file) || !writeFile(dir + "/png/" + s.name + ".png", file)) {
            std::fprintf(stderr, "cannot write seed %s\n", s.name);
            return 1;
        }
        ++written;
    }

    struct EbrSeed {
        const char* name;
        std::vector<std::pair<const char*, int32_t>> meshes;
    };
    const EbrSeed ebrs[] = {
        {"empty", {}},
        {"triangle", {{"", 3}}},
        {"fan_named", {{"fan", 8}}},
        {"three_meshes", {{"a", 4}, {"", 0}, {"longer name", 6}}},
    };
    for (const EbrSeed& s : ebrs) {
        Bytes file;
        putInt(&file, int32_t(s.meshes.size()));
        for (const auto& m : s.meshes) putFan(&file, m.first, m.second);
        if (!writeFile(dir + "/ebr/" + s.name + ".ebr", file)) {
            std::fprintf(stderr, "cannot write seed %s\n", s.name);
            return 1;
        }
        ++written;
    }
    const std::vector<std::pair<const char*, std::vector<std::string>>> commandLines = {
        {"none", {}},
        {"help", {"--help"}},
        {"window", {"--window", "--depth", "16", "--start", "72.5"}},
        {"capture", {"--capture", "out", "--fps", "30", "--from", "12", "--to", "24.5", "--sheet",
                     "out/sheet.png"}},
        {"bench", {"--bench", "--fps", "30", "--bench-passes", "2", "--threads", "3"}},
        {"video", {"--video", "demo.mp4", "--fps", "30", "--from", "1", "--to", "10"}},
        {"analyze", {"--analyze-music", "plot.png"}},
        {"refused", {"--capture", "c", "--bench", "--to", "-1"}},
    };
    for (const auto& c : commandLines) {
        Bytes file;
        for (const std::string& arg : c.second) {
            if (!file.empty()) file.push_back(0);
            file.insert(file.end(), arg.begin(), arg.end());
        }
        if (!writeFile(dir + "/options/" + c.first + ".args", file)) {
            std::fprintf(stderr, "cannot write seed %s\n", c.first);
            return 1;
        }
        ++written;
    }
    std::printf("%d seed files in %s\n", written, dir.c_str());
    return 0;
}
