// tools/assetgen/pixelfont.cpp — reads the text-grid pixel font and sets strings with it.
#include "tools/assetgen/pixelfont.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

bool fail(std::string* error, int line, const std::string& what) {
    if (error) *error = "font line " + std::to_string(line) + ": " + what;
    return false;
}

std::string quoted(char c) { return std::string("'") + c + "'"; }

// One line without its line ending and trailing blanks.
std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

}  // namespace

bool parsePixelFont(const std::string& text, PixelFont* font, std::string* error) {
    PixelFont parsed;
    std::memset(&parsed, 0, sizeof parsed);

    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    int current = -1;        // character being read, -1 between glyphs
    int rowsRead = 0;
    int headerLine = 0;
    auto finishGlyph = [&]() {
        if (current >= 0 && rowsRead != kPixelFontHeight)
            return fail(error, headerLine,
                        "glyph " + quoted(char(current)) + " has " + std::to_string(rowsRead) +
                            " rows, expected " + std::to_string(kPixelFontHeight));
        current = -1;
        return true;
    };

    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = trimRight(raw);
        if (!line.empty() && line[0] == ';') continue;
        if (line.empty()) {
            if (!finishGlyph()) return false;
            continue;
        }
        if (line[0] == '[') {
            if (!finishGlyph()) return false;
            if (line.size() != 3 || line[2] != ']')
                return fail(error, lineNo, "a glyph header is one character in brackets, like [A]");
            unsigned char c = static_cast<unsigned char>(line[1]);
            if (c < 32 || c > 126) return fail(error, lineNo, "glyph character must be printable ASCII");
            if (parsed.present[c]) return fail(error, lineNo, "glyph " + quoted(char(c)) + " defined twice");
            current = c;
            headerLine = lineNo;
            rowsRead = 0;
            parsed.present[c] = true;
            parsed.glyphs[c].width = 0;
            continue;
        }
        if (current < 0) return fail(error, lineNo, "grid row outside a glyph (missing [c] header?)");
        if (line.find_first_not_of("#.") != std::string::npos)
            return fail(error, lineNo, "grid rows hold only '#' (ink) and '.' (paper)");
        PixelGlyph& glyph = parsed.glyphs[current];
        int width = static_cast<int>(line.size());
        if (width > kPixelFontMaxWidth)
            return fail(error, lineNo, "glyph " + quoted(char(current)) + " is wider than " +
                                           std::to_string(kPixelFontMaxWidth) + " pixels");
        if (rowsRead == 0) glyph.width = width;
        if (width != glyph.width)
            return fail(error, lineNo, "rows of glyph " + quoted(char(current)) + " differ in width");
        if (rowsRead >= kPixelFontHeight)
            return fail(error, lineNo, "glyph " + quoted(char(current)) + " has more than " +
                                           std::to_string(kPixelFontHeight) + " rows");
        uint8_t bits = 0;
        for (int x = 0; x < width; ++x)
            if (line[x] == '#') bits |= static_cast<uint8_t>(1u << x);
        glyph.rows[rowsRead++] = bits;
    }
    if (!finishGlyph()) return false;
    *font = parsed;
    return true;
}

bool loadPixelFont(const char* path, PixelFont* font, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = std::string("cannot read font file ") + (path ? path : "(null)");
        return false;
    }
    std::stringstream buffer;
    buffer << file.rdbuf();
    std::string message;
    if (!parsePixelFont(buffer.str(), font, &message)) {
        if (error) *error = std::string(path) + ": " + message;
        return false;
    }
    return true;
}

const PixelGlyph* pixelGlyph(const PixelFont& font, char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 128) return nullptr;
    if (font.present[u]) return &font.glyphs[u];
    unsigned char other = u;
    if (u >= 'a' && u <= 'z') other = static_cast<unsigned char>(u - 'a' + 'A');
    if (u >= 'A' && u <= 'Z') other = static_cast<unsigned char>(u - 'A' + 'a');
    if (font.present[other]) return &font.glyphs[other];
    return nullptr;
}

bool pixelGlyphInk(const PixelGlyph& glyph, int x, int y) {
    if (x < 0 || x >= glyph.width || y < 0 || y >= kPixelFontHeight) return false;
    return (glyph.rows[y] >> x) & 1u;
}

bool pixelAt(const PixelBitmap& bitmap, int x, int y) {
    if (x < 0 || x >= bitmap.width || y < 0 || y >= bitmap.height) return false;
    return bitmap.bits[static_cast<size_t>(y) * bitmap.width + x] != 0;
}

namespace {

// The glyph a character is drawn with: its own, else '?', else none.
const PixelGlyph* drawnGlyph(const PixelFont& font, char c) {
    const PixelGlyph* glyph = pixelGlyph(font, c);
    return glyph ? glyph : pixelGlyph(font, '?');
}

}  // namespace

int pixelTextWidth(const PixelFont& font, const char* text, int spacing) {
    if (!text) return 0;
    spacing = std::max(spacing, 0);
    int width = 0;
    int glyphs = 0;
    for (const char* p = text; *p && *p != '\n'; ++p) {
        const PixelGlyph* glyph = drawnGlyph(font, *p);
        if (!glyph) continue;
        width += glyph->width + (glyphs > 0 ? spacing : 0);
        ++glyphs;
    }
    return width;
}

PixelBitmap renderPixelText(const PixelFont& font, const char* text, int spacing, int lineGap) {
    PixelBitmap bitmap;
    if (!text) text = "";
    spacing = std::max(spacing, 0);
    lineGap = std::max(lineGap, 0);

    std::vector<const char*> lines{text};
    for (const char* p = text; *p; ++p)
        if (*p == '\n') lines.push_back(p + 1);
    for (const char* line : lines) bitmap.width = std::max(bitmap.width, pixelTextWidth(font, line, spacing));
    int lineCount = static_cast<int>(lines.size());
    bitmap.height = lineCount * kPixelFontHeight + (lineCount - 1) * lineGap;
    bitmap.bits.assign(static_cast<size_t>(bitmap.width) * bitmap.height, 0);

    for (int l = 0; l < lineCount; ++l) {
        int top = l * (kPixelFontHeight + lineGap);
        int x0 = 0;
        bool first = true;
        for (const char* p = lines[l]; *p && *p != '\n'; ++p) {
            const PixelGlyph* glyph = drawnGlyph(font, *p);
            if (!glyph) continue;
            if (!first) x0 += spacing;
            first = false;
            for (int y = 0; y < kPixelFontHeight; ++y)
                for (int x = 0; x < glyph->width; ++x)
                    if (pixelGlyphInk(*glyph, x, y))
                        bitmap.bits[static_cast<size_t>(top + y) * bitmap.width + x0 + x] = 1;
            x0 += glyph->width;
        }
    }
    return bitmap;
}
