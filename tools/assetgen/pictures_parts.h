// tools/assetgen/pictures_parts.h — what the picture painters share.
//
// Offers: Kit (the loaded sources: pixel font, creature sprites), loadKit, sprite lookup,
//         addGlow, and one painter per group of pictures (pictures_*.cpp).
// Needs:  paint.h.
#pragma once
#include <map>
#include <string>

#include "tools/assetgen/generators.h"
#include "tools/assetgen/paint.h"

namespace pics {

struct Kit {
    const GenContext* ctx = nullptr;
    paint::PixelFont font;
    std::map<std::string, paint::Sprite> creatures;  // sources/pictures/creatures.txt
    std::map<std::string, paint::Sprite> cast;       // the scenes' creatures, by pose name
};

// Reads sources/pictures/font.txt and creatures.txt, and the scenes' creature sets from
// sources/pixelart/sprites_*.txt (ends the tool if one is broken).
Kit loadKit(const GenContext& ctx);
// The creature sprite of that name; ends the tool with a message if the grid file lacks it.
const paint::Sprite& sprite(const Kit& kit, const char* name);
// One pose of the scenes' creatures by its file stem ("00", "a3", "b10", ...).
const paint::Sprite& castPose(const Kit& kit, const char* pose);
// Adds a soft round light (falloff (1 - d^2)^2) of radius r around (cx, cy).
void addGlow(paint::Canvas& c, float cx, float cy, float r, paint::Rgba col, float strength);

}  // namespace pics

namespace pics {

// Painters, one per picture (the name says which file it becomes in pictures.cpp).
paint::Canvas paintLogo(const Kit& kit);
paint::Canvas paintGlow();
paint::Canvas paintGlow2();
paint::Canvas paintDot();
paint::Canvas paintRedWash();
paint::Canvas paintEnvMorning();
paint::Canvas paintEnvBlue();
paint::Canvas paintEnvBronze();
paint::Canvas paintRainbow();
paint::Canvas paintBlock();

}  // namespace pics

namespace pics {

paint::Canvas paintMorningSky(const Kit& kit);
paint::Canvas paintGrassFar();
paint::Canvas paintGrassMiddle(const Kit& kit);
paint::Canvas paintGrassNear();
paint::Canvas paintWater();
paint::Canvas paintDeepBlue();

}  // namespace pics

namespace pics {

paint::Canvas paintFrameSteel();
paint::Canvas paintFramePixel();
paint::Canvas paintStripes();
paint::Canvas paintSignature(const Kit& kit);

}  // namespace pics

namespace pics {

paint::Canvas paintCreatures(const Kit& kit);
paint::Canvas paintGirl(const Kit& kit);
paint::Canvas paintHand(const Kit& kit);

}  // namespace pics
