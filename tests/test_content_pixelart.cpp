// Pixel lettering and pixel art made by the asset tool: the font source and its setter.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

// The font lives in the asset tool, which is a program rather than a library: compile its
// unit into this test directly.
#include "tools/assetgen/pixelfont.cpp"

namespace {

std::string glyphText(const char* header, const char* rows) {
    return std::string(header) + "\n" + rows + "\n";
}

// A two-glyph font: 'A' 3 wide with a descender row, '?' 1 wide.
const char* kTinyFont =
    "; tiny\n"
    "[A]\n"
    ".#.\n#.#\n###\n#.#\n#.#\n...\n...\n#..\n...\n"
    "\n"
    "[?]\n"
    "#\n#\n.\n#\n.\n.\n.\n.\n.\n";

PixelFont tinyFont() {
    PixelFont font;
    std::string error;
    EXPECT_TRUE(parsePixelFont(kTinyFont, &font, &error)) << error;
    return font;
}

std::string bitmapRows(const PixelBitmap& b) {
    std::string s;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) s += pixelAt(b, x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

}  // namespace

TEST(PixelFont, ShippedFontSitsOnOneBaseline) {
    PixelFont font;
    std::string error;
    ASSERT_TRUE(loadPixelFont(DEMO_SOURCE_DIR "/tools/assetgen/sources/pixelart/font.txt", &font, &error))
        << error;
    const std::string descenders = "gjpqy,";
    const std::string required =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,!?'-:/&+()";
    for (char c : required) {
        SCOPED_TRACE(std::string("glyph '") + c + "'");
        ASSERT_TRUE(font.present[static_cast<unsigned char>(c)]);
        const PixelGlyph& g = font.glyphs[static_cast<unsigned char>(c)];
        bool inkBelow = g.rows[kPixelFontAscent] || g.rows[kPixelFontAscent + 1];
        EXPECT_EQ(inkBelow, descenders.find(c) != std::string::npos);
        bool tall = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (tall) {  // capitals and digits fill the full capital height
            EXPECT_NE(g.rows[0], 0) << "top row empty";
            EXPECT_NE(g.rows[kPixelFontAscent - 1], 0) << "baseline row empty";
        }
        if (c >= 'a' && c <= 'z' && descenders.find(c) == std::string::npos) {
            EXPECT_NE(g.rows[kPixelFontAscent - 1], 0) << "lower case letter floats above the baseline";
        }
        // Every column of a letter or digit carries ink: no hidden side bearing.
        if (std::isalnum(static_cast<unsigned char>(c))) {
            for (int x = 0; x < g.width; ++x) {
                bool ink = false;
                for (int y = 0; y < kPixelFontHeight; ++y) ink = ink || pixelGlyphInk(g, x, y);
                EXPECT_TRUE(ink) << "empty column " << x;
            }
        }
    }
}

TEST(PixelFont, RejectsMalformedGridsWithTheLine) {
    const std::string nine = ".\n.\n.\n.\n.\n.\n.\n.\n.";
    struct Case { const char* name; std::string text; const char* lineTag; };
    const Case cases[] = {
        {"too few rows", glyphText("[A]", "#\n#\n#"), "line 1"},
        {"too few rows at end of file", "[A]\n" + nine + "\n\n[B]\n#\n", "line 12"},
        {"too many rows", glyphText("[A]", (nine + "\n#").c_str()), "line 11"},
        {"uneven row", glyphText("[A]", "##\n#\n.\n.\n.\n.\n.\n.\n."), "line 3"},
        {"too wide", glyphText("[A]", "#########"), "line 2"},
        {"row outside glyph", "#.#\n", "line 1"},
        {"stray character", glyphText("[A]", "#x#"), "line 2"},
        {"bad header", glyphText("[AB]", nine.c_str()), "line 1"},
        {"duplicate glyph", glyphText("[A]", nine.c_str()) + "\n" + glyphText("[A]", nine.c_str()), "line 12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PixelFont font = tinyFont();
        std::string error;
        EXPECT_FALSE(parsePixelFont(c.text, &font, &error));
        EXPECT_NE(error.find(c.lineTag), std::string::npos) << error;
        EXPECT_TRUE(font.present['A'] && font.present['?'] && font.glyphs['A'].width == 3)
            << "a failed parse must leave the font as it was";
    }
    PixelFont font;
    std::string error;
    EXPECT_FALSE(loadPixelFont("/nonexistent/font.txt", &font, &error));
    EXPECT_NE(error.find("/nonexistent/font.txt"), std::string::npos);
}

TEST(PixelFont, SetsTextWithSpacingFallbacksAndLines) {
    PixelFont font = tinyFont();
    struct Case { const char* text; int spacing; int width; };
    const Case widths[] = {
        {"", 1, 0}, {"A", 5, 3}, {"AA", 1, 7}, {"AA", 0, 6}, {"AA", -4, 6},
        {"a", 1, 3},          // lower case falls back to the capital
        {"A~", 2, 6},         // no glyph: drawn as '?'
        {"A\nAAA", 1, 3},     // one line only
    };
    for (const Case& c : widths)
        EXPECT_EQ(pixelTextWidth(font, c.text, c.spacing), c.width) << '"' << c.text << "\" spacing " << c.spacing;
    EXPECT_EQ(pixelTextWidth(font, nullptr, 1), 0);

    PixelBitmap b = renderPixelText(font, "A~\na", 1, 1);
    EXPECT_EQ(b.width, 5);
    EXPECT_EQ(b.height, 2 * kPixelFontHeight + 1);
    EXPECT_EQ(bitmapRows(b),
              ".#..#\n"
              "#.#.#\n"
              "###..\n"
              "#.#.#\n"
              "#.#..\n"
              ".....\n"
              ".....\n"
              "#....\n"
              ".....\n"
              ".....\n"   // line gap
              ".#...\n"
              "#.#..\n"
              "###..\n"
              "#.#..\n"
              "#.#..\n"
              ".....\n"
              ".....\n"
              "#....\n"
              ".....\n");
    EXPECT_FALSE(pixelAt(b, -1, 0));
    EXPECT_FALSE(pixelAt(b, 0, b.height));

    PixelBitmap empty = renderPixelText(font, "", 1);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, kPixelFontHeight);
}
