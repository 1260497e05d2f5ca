// tools/assetgen/pixelart.cpp — the pixel art under data/pixeldyr/: creature sprite sets,
// the tiny additive sprites and the captions, all from text files in sources/pixelart/.
//
// Sprite files (sprites_*.txt): the grid files described in pixelart.h, one creature set or
// tiny sprite set each.
//
// Captions (captions.txt): one block per caption, set in the pixel font.
//
//     [rendered]           file stem
//     x 220                where the demo draws it (the image must fit in 640 - x)
//     width 225            optional: the widest it may be (defaults to 640 - x)
//     scale 5              optional: the largest whole factor to try (default 4, at most 8)
//     fill #ffffff #8fd0ff #3a6cff   colours from the top row of a letter to its foot
//     letters #ff4040 #ffd040        optional: one colour per letter, cycling (replaces fill)
//     outline #0a1030      dark border one font pixel wide around the letters
//     shadow #000000       drop shadow one font pixel down and right
//     text rendered        one line per text directive, centred
//
// The caption's scale is the largest whole factor up to `scale` that fits the width and the
// 80-pixel height limit; the image is cropped to the lettering.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "assets/image.h"
#include "tools/assetgen/generators.h"
#include "tools/assetgen/pixelart.h"
#include "tools/assetgen/pixelfont.h"

namespace {

constexpr int kCaptionMaxHeight = 80;
constexpr int kSpriteMaxSize = 150;   // the scenes draw sprites near the bottom corners
constexpr int kCaptionDefaultScale = 4;

// Every file this part must produce under data/pixeldyr/.
const char* const kExpectedFiles[] = {
    "00", "01", "02", "03", "04", "a0", "a1", "a2", "a3", "a4",
    "05", "06", "07", "08", "09", "10", "11", "12", "13", "14",
    "b0", "b1", "b2", "b3", "b4", "b10", "b11", "b12", "b13", "b14",
    "pxl_s1", "pxl_s2", "pxl_s3",
    "rendered", "foru", "cred1", "cred2", "falling", "bit", "bit2", "greet",
};

[[noreturn]] void die(const std::string& where, int line, const std::string& what) {
    if (line > 0)
        std::fprintf(stderr, "assetgen: %s:%d: %s\n", where.c_str(), line, what.c_str());
    else
        std::fprintf(stderr, "assetgen: %s: %s\n", where.c_str(), what.c_str());
    std::exit(1);
}

struct Line {
    int number;
    std::string text;  // without comment lines, line endings and trailing blanks
};

std::vector<Line> readLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) die(path, 0, "cannot read this file");
    std::vector<Line> lines;
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' ' || raw.back() == '\t')) raw.pop_back();
        size_t first = raw.find_first_not_of(" \t");
        if (first != std::string::npos && raw[first] == ';') continue;
        lines.push_back({number, raw});
    }
    return lines;
}

std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// "#RRGGBB" (opaque) or "#RRGGBBAA" as 0xAARRGGBB; false when malformed.
bool parseColour(const std::string& s, uint32_t* argb) {
    if ((s.size() != 7 && s.size() != 9) || s[0] != '#') return false;
    if (s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) return false;
    uint32_t v = static_cast<uint32_t>(std::strtoul(s.c_str() + 1, nullptr, 16));
    *argb = s.size() == 7 ? (0xFF000000u | v) : ((v >> 8) | (v << 24));
    return true;
}

int parseInt(const std::string& s, int lo, int hi, const std::string& where, int line) {
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end || v < lo || v > hi)
        die(where, line, "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                             ", got '" + s + "'");
    return static_cast<int>(v);
}

Image* blankImage(int w, int h, uint32_t colour) {
    Image* image = newImage(w, h);
    std::fill(image->pixels, image->pixels + static_cast<size_t>(w) * h, colour);
    return image;
}

void save(const GenContext& ctx, const std::string& stem, const Image& image, bool withAlpha) {
    std::string path = ctx.outDir + "/pixeldyr/" + stem + ".png";
    std::string error;
    if (!writePng(path.c_str(), image, withAlpha, &error)) die(path, 0, error);
    if (ctx.verbose) std::fprintf(stderr, "  %s (%dx%d)\n", path.c_str(), image.width, image.height);
}

}  // namespace

// ---- sprite sets -------------------------------------------------------------------------

SpriteSet readSpriteGrids(const std::string& path) {
    SpriteSet set;
    Pose* pose = nullptr;
    int outlineLine = 0;
    for (const Line& line : readLines(path)) {
        const std::string& t = line.text;
        if (t.empty()) {
            pose = nullptr;
            continue;
        }
        if (t[0] == '[') {
            if (t.size() < 3 || t.back() != ']' || t.find_first_of(" /\\.", 1) != std::string::npos)
                die(path, line.number, "a pose header names its file stem in brackets, like [00]");
            set.poses.push_back({t.substr(1, t.size() - 2), line.number, {}});
            pose = &set.poses.back();
            continue;
        }
        if (pose) {
            for (char c : t)
                if (!set.palette.count(c))
                    die(path, line.number, std::string("character '") + c + "' is not in the palette");
            if (!pose->rows.empty() && t.size() != pose->rows[0].size())
                die(path, line.number, "rows of pose [" + pose->name + "] differ in width");
            pose->rows.push_back(t);
            continue;
        }
        if (!set.poses.empty())
            die(path, line.number, "row outside a pose: a blank line ends a pose, directives come first");
        std::vector<std::string> w = words(t);
        if (w[0] == "scale" && w.size() == 2) {
            set.scale = parseInt(w[1], 1, 16, path, line.number);
        } else if (w[0] == "outline" && w.size() == 2 && w[1].size() == 1) {
            set.outline = w[1][0];
            outlineLine = line.number;
        } else if (w[0] == "background" && w.size() == 2) {
            if (!parseColour(w[1], &set.background)) die(path, line.number, "colours are #RRGGBB");
            set.background |= 0xFF000000u;
            set.hasBackground = true;
        } else if (w[0] == "glow" && w.size() == 3) {
            set.glowRadius = parseInt(w[1], 1, 32, path, line.number);
            set.glowPercent = parseInt(w[2], 0, 400, path, line.number);
        } else if (w[0] == "key" && w.size() == 3 && w[1].size() == 1) {
            uint32_t colour = 0;
            if (w[2] != "none" && !parseColour(w[2], &colour))
                die(path, line.number, "a key is one character and then none or #RRGGBB[AA]");
            if (set.palette.count(w[1][0])) die(path, line.number, "key '" + w[1] + "' given twice");
            set.palette[w[1][0]] = colour;
        } else {
            die(path, line.number, "unknown directive '" + t + "'");
        }
    }
    if (set.poses.empty()) die(path, 0, "no poses");
    if (set.outline && !set.palette.count(set.outline))
        die(path, outlineLine, std::string("outline key '") + set.outline + "' is not in the palette");
    if (set.glowRadius && !set.hasBackground) die(path, 0, "glow needs a background");
    for (const Pose& p : set.poses)
        if (p.rows.empty()) die(path, p.line, "pose [" + p.name + "] has no rows");
    return set;
}

SpriteSet parseSpriteSet(const std::string& path) {
    SpriteSet set = readSpriteGrids(path);
    for (const Pose& p : set.poses) {
        const int pad = set.outline ? 2 : 0;
        const int w = (static_cast<int>(p.rows[0].size()) + pad) * set.scale;
        const int h = (static_cast<int>(p.rows.size()) + pad) * set.scale;
        if (w > kSpriteMaxSize || h > kSpriteMaxSize)
            die(path, p.line, "pose [" + p.name + "] comes out " + std::to_string(w) + "x" + std::to_string(h) +
                                  ", larger than " + std::to_string(kSpriteMaxSize) + "x" +
                                  std::to_string(kSpriteMaxSize));
        const Pose& first = set.poses[0];
        if (p.rows.size() != first.rows.size() || p.rows[0].size() != first.rows[0].size())
            die(path, p.line, "pose [" + p.name + "] differs in size from [" + first.name +
                                  "]: every pose of a set is drawn at the same place");
    }
    return set;
}

namespace {

// Soft halo for additive sprites: a box blur (three passes, close to a Gaussian) of the
// picture, added back at `percent` %. The halo fades out towards the border and
// contributions below kGlowFloor are dropped, so the background stays exactly black (it is
// added onto the picture).
constexpr int kGlowFloor = 4;
void addGlow(Image* image, int radius, int percent) {
    const int w = image->width, h = image->height;
    std::vector<float> ch[3];
    for (int c = 0; c < 3; ++c) {
        ch[c].resize(static_cast<size_t>(w) * h);
        for (int i = 0; i < w * h; ++i) ch[c][i] = static_cast<float>((image->pixels[i] >> (16 - 8 * c)) & 0xFF);
    }
    std::vector<float> tmp(static_cast<size_t>(std::max(w, h)));
    auto blurLine = [&](float* data, int count, int stride) {
        for (int i = 0; i < count; ++i) tmp[i] = data[i * stride];
        for (int i = 0; i < count; ++i) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                int j = i + k;
                if (j >= 0 && j < count) sum += tmp[j];
            }
            data[i * stride] = sum / static_cast<float>(2 * radius + 1);
        }
    };
    for (int c = 0; c < 3; ++c)
        for (int pass = 0; pass < 3; ++pass) {
            for (int y = 0; y < h; ++y) blurLine(&ch[c][static_cast<size_t>(y) * w], w, 1);
            for (int x = 0; x < w; ++x) blurLine(&ch[c][x], h, w);
        }
    for (int i = 0; i < w * h; ++i) {
        uint32_t p = image->pixels[i];
        uint32_t out = p & 0xFF000000u;
        // The halo fades out towards the image border, which stays background.
        int x = i % w, y = i / w;
        int border = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
        float fade = std::min(1.0f, static_cast<float>(border) / static_cast<float>(radius + 1));
        for (int c = 0; c < 3; ++c) {
            int shift = 16 - 8 * c;
            int halo = static_cast<int>(ch[c][i] * fade * percent / 100.0f + 0.5f);
            if (halo < kGlowFloor) halo = 0;  // the far tail would only tint the black
            int v = static_cast<int>((p >> shift) & 0xFF) + halo;
            out |= static_cast<uint32_t>(std::min(v, 255)) << shift;
        }
        image->pixels[i] = out;
    }
}

}  // namespace

PoseCells poseCells(const SpriteSet& set, const Pose& pose) {
    const int pad = set.outline ? 1 : 0;
    PoseCells cells;
    const int gw = cells.width = (pose.rows.empty() ? 0 : static_cast<int>(pose.rows[0].size())) + 2 * pad;
    const int gh = cells.height = static_cast<int>(pose.rows.size()) + 2 * pad;
    std::vector<uint32_t>& grid = cells.argb;
    grid.assign(static_cast<size_t>(gw) * gh, 0);
    for (int y = 0; y < gh - 2 * pad; ++y)
        for (int x = 0; x < gw - 2 * pad; ++x)
            grid[static_cast<size_t>(y + pad) * gw + x + pad] = set.palette.at(pose.rows[y][x]);
    if (set.outline) {
        std::vector<uint32_t> outlined = grid;
        auto solid = [&](int x, int y) {
            return x >= 0 && y >= 0 && x < gw && y < gh && (grid[static_cast<size_t>(y) * gw + x] >> 24) != 0;
        };
        for (int y = 0; y < gh; ++y)
            for (int x = 0; x < gw; ++x)
                if (!solid(x, y) && (solid(x - 1, y) || solid(x + 1, y) || solid(x, y - 1) || solid(x, y + 1)))
                    outlined[static_cast<size_t>(y) * gw + x] = set.palette.at(set.outline);
        grid.swap(outlined);
    }
    return cells;
}

Image* renderPose(const SpriteSet& set, const Pose& pose) {
    const PoseCells cells = poseCells(set, pose);
    const std::vector<uint32_t>& grid = cells.argb;
    const int gw = cells.width, gh = cells.height;
    const int s = set.scale;
    Image* image = blankImage(gw * s, gh * s, set.hasBackground ? set.background : 0u);
    for (int y = 0; y < gh * s; ++y)
        for (int x = 0; x < gw * s; ++x) {
            uint32_t c = grid[static_cast<size_t>(y / s) * gw + x / s];
            if (set.hasBackground) {
                // Opaque output: mix the cell over the background by its alpha.
                uint32_t a = c >> 24, bg = set.background, mixed = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    uint32_t v = (((c >> shift) & 0xFF) * a + ((bg >> shift) & 0xFF) * (255 - a) + 127) / 255;
                    mixed |= v << shift;
                }
                c = mixed;
            } else if ((c >> 24) == 0) {
                c = 0;  // fully transparent cells carry no colour
            }
            image->pixels[static_cast<size_t>(y) * image->width + x] = c;
        }
    if (set.glowRadius) addGlow(image, set.glowRadius, set.glowPercent);
    return image;
}

namespace {

// ---- captions ----------------------------------------------------------------------------

struct Caption {
    std::string name;
    int line = 0;
    int x = -1;
    int maxWidth = 0;
    int maxScale = kCaptionDefaultScale;
    std::vector<uint32_t> fill;
    std::vector<uint32_t> letters;
    uint32_t outline = 0xFF000000u;
    uint32_t shadow = 0;
    std::vector<std::string> text;
};

std::vector<Caption> parseCaptions(const std::string& path) {
    std::vector<Caption> captions;
    for (const Line& line : readLines(path)) {
        const std::string& t = line.text;
        if (t.empty()) continue;
        if (t[0] == '[') {
            if (t.size() < 3 || t.back() != ']') die(path, line.number, "a caption header is its file stem in brackets");
            Caption c;
            c.name = t.substr(1, t.size() - 2);
            c.line = line.number;
            captions.push_back(c);
            continue;
        }
        if (captions.empty()) die(path, line.number, "directive before the first [caption]");
        Caption& c = captions.back();
        std::vector<std::string> w = words(t);
        auto colours = [&](std::vector<uint32_t>* out) {
            out->clear();
            for (size_t i = 1; i < w.size(); ++i) {
                uint32_t v;
                if (!parseColour(w[i], &v)) die(path, line.number, "colours are #RRGGBB[AA]");
                out->push_back(v);
            }
            if (out->empty()) die(path, line.number, "give at least one colour");
        };
        if (w[0] == "x" && w.size() == 2) {
            c.x = parseInt(w[1], 0, 639, path, line.number);
        } else if (w[0] == "width" && w.size() == 2) {
            c.maxWidth = parseInt(w[1], 1, 640, path, line.number);
        } else if (w[0] == "scale" && w.size() == 2) {
            c.maxScale = parseInt(w[1], 1, 8, path, line.number);
        } else if (w[0] == "fill") {
            colours(&c.fill);
        } else if (w[0] == "letters") {
            colours(&c.letters);
        } else if ((w[0] == "outline" || w[0] == "shadow") && w.size() == 2) {
            uint32_t v;
            if (!parseColour(w[1], &v)) die(path, line.number, "colours are #RRGGBB[AA]");
            (w[0] == "outline" ? c.outline : c.shadow) = v;
        } else if (w[0] == "text") {
            size_t start = t.find_first_not_of(" \t", 4);
            if (start == std::string::npos) die(path, line.number, "text needs some words");
            c.text.push_back(t.substr(start));
        } else {
            die(path, line.number, "unknown directive '" + t + "'");
        }
    }
    for (Caption& c : captions) {
        if (c.x < 0) die(path, c.line, "caption [" + c.name + "] needs its x");
        if (c.text.empty()) die(path, c.line, "caption [" + c.name + "] has no text");
        if (c.fill.empty() && c.letters.empty()) die(path, c.line, "caption [" + c.name + "] needs fill or letters");
        if (c.maxWidth == 0 || c.maxWidth > 640 - c.x) c.maxWidth = 640 - c.x;
    }
    return captions;
}

uint32_t darker(uint32_t c, int percent) {
    uint32_t out = c & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= (((c >> shift) & 0xFF) * static_cast<uint32_t>(percent) / 100) << shift;
    return out;
}

// The caption in font pixels (cropped to what is drawn), before scaling.
struct CaptionGrid {
    int width = 0, height = 0;
    std::vector<uint32_t> cells;
};

CaptionGrid layoutCaption(const PixelFont& font, const Caption& c) {
    const int spacing = 1, lineGap = 2, border = 2;  // border: outline + shadow
    int textWidth = 0;
    for (const std::string& s : c.text) textWidth = std::max(textWidth, pixelTextWidth(font, s.c_str(), spacing));
    const int lines = static_cast<int>(c.text.size());
    const int textHeight = lines * kPixelFontHeight + (lines - 1) * lineGap;
    CaptionGrid g;
    g.width = textWidth + 2 * border;
    g.height = textHeight + 2 * border;
    std::vector<uint32_t> ink(static_cast<size_t>(g.width) * g.height, 0);

    int letterIndex = 0;
    for (int l = 0; l < lines; ++l) {
        const char* s = c.text[l].c_str();
        int x0 = border + (textWidth - pixelTextWidth(font, s, spacing)) / 2;
        int top = border + l * (kPixelFontHeight + lineGap);
        bool first = true;
        for (const char* p = s; *p; ++p) {
            const PixelGlyph* glyph = pixelGlyph(font, *p);
            if (!glyph) glyph = pixelGlyph(font, '?');
            if (!glyph) continue;
            if (!first) x0 += spacing;
            first = false;
            uint32_t letter = c.letters.empty() ? 0 : c.letters[letterIndex % c.letters.size()];
            if (*p != ' ') ++letterIndex;
            for (int y = 0; y < kPixelFontHeight; ++y)
                for (int x = 0; x < glyph->width; ++x) {
                    if (!pixelGlyphInk(*glyph, x, y)) continue;
                    uint32_t colour;
                    if (!c.letters.empty()) {
                        colour = y >= 5 ? darker(letter, 78) : letter;  // lower rows in shade
                    } else {
                        int n = static_cast<int>(c.fill.size());
                        colour = c.fill[std::min(y * n / kPixelFontAscent, n - 1)];
                    }
                    ink[static_cast<size_t>(top + y) * g.width + x0 + x] = colour;
                }
            x0 += glyph->width;
        }
    }
    auto has = [&](const std::vector<uint32_t>& v, int x, int y) {
        return x >= 0 && y >= 0 && x < g.width && y < g.height && (v[static_cast<size_t>(y) * g.width + x] >> 24) != 0;
    };
    // Layers from the back: shadow (outline shape moved one pixel down-right), outline
    // (every pixel touching ink, diagonals included), then the letters.
    g.cells.assign(ink.size(), 0);
    std::vector<uint32_t> outline(ink.size(), 0);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (has(ink, x + dx, y + dy)) outline[static_cast<size_t>(y) * g.width + x] = c.outline;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            size_t i = static_cast<size_t>(y) * g.width + x;
            if (has(ink, x, y)) g.cells[i] = ink[i];
            else if (has(outline, x, y)) g.cells[i] = outline[i];
            else if ((c.shadow >> 24) && has(outline, x - 1, y - 1)) g.cells[i] = c.shadow;
        }
    // Crop to the drawn cells.
    int x0 = g.width, y0 = g.height, x1 = -1, y1 = -1;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            if (g.cells[static_cast<size_t>(y) * g.width + x] >> 24) {
                x0 = std::min(x0, x); x1 = std::max(x1, x);
                y0 = std::min(y0, y); y1 = std::max(y1, y);
            }
    CaptionGrid cropped;
    if (x1 < 0) return cropped;
    cropped.width = x1 - x0 + 1;
    cropped.height = y1 - y0 + 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) cropped.cells.push_back(g.cells[static_cast<size_t>(y) * g.width + x]);
    return cropped;
}

Image* renderCaption(const PixelFont& font, const Caption& c, const std::string& path) {
    CaptionGrid g = layoutCaption(font, c);
    if (g.width == 0) die(path, c.line, "caption [" + c.name + "] draws nothing");
    int scale = c.maxScale;
    while (scale > 0 && (g.width * scale > c.maxWidth || g.height * scale > kCaptionMaxHeight)) --scale;
    if (scale == 0)
        die(path, c.line, "caption [" + c.name + "] is " + std::to_string(g.width) + "x" + std::to_string(g.height) +
                              " pixels even unscaled; it must fit " + std::to_string(c.maxWidth) + "x" +
                              std::to_string(kCaptionMaxHeight));
    Image* image = blankImage(g.width * scale, g.height * scale, 0);
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            image->pixels[static_cast<size_t>(y) * image->width + x] =
                g.cells[static_cast<size_t>(y / scale) * g.width + x / scale];
    return image;
}

}  // namespace

void generatePixelArt(const GenContext& ctx) {
    const std::string dir = ctx.sourceDir + "/pixelart";
    std::map<std::string, std::string> madeBy;  // file stem -> source that made it
    auto claim = [&](const std::string& stem, const std::string& source, int line) {
        if (madeBy.count(stem)) die(source, line, "[" + stem + "] is also made by " + madeBy[stem]);
        madeBy[stem] = source;
    };

    // Sprite sets, in name order so the output never depends on directory order.
    std::vector<std::string> setFiles;
    if (!std::filesystem::is_directory(dir)) die(dir, 0, "the pixel-art sources are missing");
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("sprites_", 0) == 0 && entry.path().extension() == ".txt") setFiles.push_back(entry.path().string());
    }
    std::sort(setFiles.begin(), setFiles.end());
    for (const std::string& path : setFiles) {
        SpriteSet set = parseSpriteSet(path);
        for (const Pose& pose : set.poses) {
            claim(pose.name, path, pose.line);
            Image* image = renderPose(set, pose);
            save(ctx, pose.name, *image, !set.hasBackground);
            freeImage(image);
        }
    }

    PixelFont font;
    std::string error;
    if (!loadPixelFont((dir + "/font.txt").c_str(), &font, &error)) die(dir + "/font.txt", 0, error);
    const std::string captionPath = dir + "/captions.txt";
    for (const Caption& c : parseCaptions(captionPath)) {
        claim(c.name, captionPath, c.line);
        Image* image = renderCaption(font, c, captionPath);
        save(ctx, c.name, *image, true);
        freeImage(image);
    }

    for (const char* stem : kExpectedFiles)
        if (!madeBy.count(stem)) die(dir, 0, std::string("no source makes pixeldyr/") + stem + ".png");
}
