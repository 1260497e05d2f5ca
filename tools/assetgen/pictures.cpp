// tools/assetgen/pictures.cpp — the illustrations, overlays, glows and textures of data/.
//
// Each picture is painted by one function from code and the pixel-art grids in
// sources/pictures/; pictures_*.cpp hold the larger ones. generatePictures writes them all.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/generators.h"
#include "tools/assetgen/paint.h"
#include "tools/assetgen/pictures_parts.h"
#include "tools/assetgen/pixelart.h"

using namespace paint;

namespace pics {

static void save(const Kit& kit, const Canvas& c, const char* name, bool alpha) {
    std::string path = kit.ctx->outDir + "/" + name;
    savePng(c, path, alpha);
    if (kit.ctx->verbose) std::fprintf(stderr, "  %s (%dx%d %s)\n", path.c_str(), c.w, c.h, alpha ? "RGBA" : "RGB");
}

// Every pose of a grid file as a sprite, by pose name.
static void addSprites(std::map<std::string, Sprite>& out, const std::string& path) {
    SpriteSet set = readSpriteGrids(path);
    for (const Pose& pose : set.poses) {
        PoseCells cells = poseCells(set, pose);
        out[pose.name] = spriteFromCells(cells.width, cells.height, cells.argb);
    }
}

Kit loadKit(const GenContext& ctx) {
    Kit kit;
    kit.ctx = &ctx;
    std::string fontPath = ctx.sourceDir + "/pixelart/font.txt", error;
    if (!loadPixelFont(fontPath.c_str(), &kit.font, &error)) {
        std::fprintf(stderr, "assetgen: %s\n", error.c_str());
        std::exit(1);
    }
    addSprites(kit.creatures, ctx.sourceDir + "/pictures/creatures.txt");
    std::error_code ec;
    std::vector<std::string> castFiles;
    for (const auto& e : std::filesystem::directory_iterator(ctx.sourceDir + "/pixelart", ec)) {
        std::string name = e.path().filename().string();
        if (name.rfind("sprites_", 0) == 0 && e.path().extension() == ".txt") castFiles.push_back(e.path().string());
    }
    std::sort(castFiles.begin(), castFiles.end());
    for (const auto& f : castFiles) addSprites(kit.cast, f);
    return kit;
}

const Sprite& castPose(const Kit& kit, const char* pose) {
    auto it = kit.cast.find(pose);
    if (it == kit.cast.end()) {
        std::fprintf(stderr, "assetgen: no creature pose [%s] in sources/pixelart/sprites_*.txt\n", pose);
        std::exit(1);
    }
    return it->second;
}

const Sprite& sprite(const Kit& kit, const char* name) {
    auto it = kit.creatures.find(name);
    if (it == kit.creatures.end()) {
        std::fprintf(stderr, "assetgen: sources/pictures/creatures.txt has no sprite [%s]\n", name);
        std::exit(1);
    }
    return it->second;
}

// Soft round light: colour c, radius r, added to the canvas around (cx, cy).
void addGlow(Canvas& c, float cx, float cy, float r, Rgba col, float strength) {
    int x0 = static_cast<int>(cx - r) - 1, x1 = static_cast<int>(cx + r) + 1;
    int y0 = static_cast<int>(cy - r) - 1, y1 = static_cast<int>(cy + r) + 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = (x + 0.5f - cx) / r, dy = (y + 0.5f - cy) / r;
            float d2 = dx * dx + dy * dy;
            if (d2 >= 1) continue;
            float f = (1 - d2) * (1 - d2);
            addPixel(c, x, y, col, f * strength);
        }
}

}  // namespace pics

using namespace pics;

static Canvas paintFlat(Rgba col) { return newCanvas(256, 256, col); }

// The start-up screen: night sky over glowing hills, the jelly waiting, "LOADING".
static Canvas paintLoading(const Kit& kit) {
    Canvas c = newCanvas(640, 480);
    fillWith(c, [](int x, int y) {
        float t = y / 479.0f;
        Rgba top = rgb(0x07061a), mid = rgb(0x1a1046), low = rgb(0x3a1a5e);
        Rgba base = t < 0.6f ? mix(top, mid, t / 0.6f) : mix(mid, low, (t - 0.6f) / 0.4f);
        float n = fbm(x, y, 90, 4, 11);
        return mix(base, rgb(0x2a2a7a), (n - 0.5f) * 0.5f + 0.1f);
    });
    Rng rng(5);
    for (int i = 0; i < 140; ++i) {
        int x = rng.below(640), y = rng.below(330);
        float b = rng.range(0.25f, 1.0f);
        addPixel(c, x, y, rgb(0xdfe8ff), b);
        if (b > 0.9f) addGlow(c, x + 0.5f, y + 0.5f, 5, rgb(0x9fb8ff), 0.35f);
    }
    addGlow(c, 320, 380, 320, rgb(0xff5fa8), 0.25f);
    addGlow(c, 320, 400, 170, rgb(0xffb36b), 0.35f);
    // Two rows of hills, each lit along its crest.
    float crest[640];
    for (int layer = 0; layer < 2; ++layer) {
        Rgba hill = layer == 0 ? rgb(0x1c1240) : rgb(0x0c0820);
        Rgba rim = layer == 0 ? rgb(0xff7ac8) : rgb(0x6ff0ff);
        float base = layer == 0 ? 360.0f : 400.0f;
        for (int x = 0; x < 640; ++x) {
            float top = base - 30 * std::sin(x * (layer ? 0.011f : 0.007f) + layer * 2.0f) -
                        18 * (fbm(x, layer * 50.0f, 60, 3, 30 + layer) - 0.5f);
            crest[x] = top;
            for (int y = static_cast<int>(top); y < 480; ++y) {
                float d = y - top;
                blendPixel(c, x, y, mix(rim, hill, std::min(1.0f, d / 5.0f)));
            }
        }
    }
    const Sprite& jelly = castPose(kit, "00");
    int s = 3, bx = 320 - jelly.w * s / 2, by = static_cast<int>(crest[320]) + 8 - jelly.h * s;
    addGlow(c, 320, by + 30, 60, rgb(0x8fcaff), 0.4f);
    drawSprite(c, jelly, bx, by, s);
    const char* word = "LOADING";
    int tw = pixelTextWidth(kit.font, word, 1) * 5;
    Canvas glow = newCanvas(640, 480);
    drawText(glow, kit.font, word, 320 - tw / 2, 190, 5, rgb(0xff7ac8));
    boxBlur(glow, 6, 3);
    addCanvas(c, glow, 0, 0, 1.6f);
    drawText(c, kit.font, word, 320 - tw / 2, 190, 5, rgb(0xffffff));
    const char* name = "PIXELDEMO";
    int nw = pixelTextWidth(kit.font, name, 1) * 2;
    drawText(c, kit.font, name, 320 - nw / 2, 246, 2, rgb(0x9fb8ff));
    return c;
}

void generatePictures(const GenContext& ctx) {
    Kit kit = loadKit(ctx);
    save(kit, paintFlat(rgb(0xffffff)), "white.png", false);
    save(kit, paintFlat(rgb(0x000000)), "black.png", false);
    save(kit, paintLoading(kit), "loading.png", false);
    save(kit, paintLogo(kit), "logo.png", true);
    save(kit, paintGlow(), "glow.png", true);
    save(kit, paintGlow2(), "glow2.png", true);
    save(kit, paintDot(), "dot.png", true);
    save(kit, paintRedWash(), "red.png", true);
    save(kit, paintEnvMorning(), "colorenv2.png", false);
    save(kit, paintEnvBlue(), "bluenv.png", false);
    save(kit, paintEnvBronze(), "bronze.png", false);
    save(kit, paintRainbow(), "rainbow.png", false);
    save(kit, paintBlock(), "blokk.png", false);
    save(kit, paintMorningSky(kit), "background.png", false);
    save(kit, paintGrassMiddle(kit), "gress.png", true);
    save(kit, paintGrassNear(), "gress2.png", true);
    save(kit, paintGrassFar(), "gress3.png", true);
    save(kit, paintWater(), "vann.png", false);
    save(kit, paintDeepBlue(), "lolbg.png", false);
    save(kit, paintFramePixel(), "frame.png", true);
    save(kit, paintFrameSteel(), "frame2.png", true);
    save(kit, paintStripes(), "striper.png", true);
    save(kit, paintSignature(kit), "s.png", true);
    save(kit, paintCreatures(kit), "creatures.png", false);
    save(kit, paintGirl(kit), "girl.png", false);
    save(kit, paintHand(kit), "hand.png", true);
}
