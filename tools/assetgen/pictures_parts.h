// tools/assetgen/pictures_parts.h — what the picture painters share.
//
// Offers: Kit (the loaded sources: pixel font, creature sprites), loadKit, sprite lookups,
//         addGlow, and one painter per picture (pictures_*.cpp).
// Needs:  paint.h, pixelart.h and pixelfont.h (to read the sources).
#pragma once
#include <map>
#include <string>

#include "tools/assetgen/generators.h"
#include "tools/assetgen/paint.h"

namespace pics {

struct Kit {
    const GenContext* ctx = nullptr;
    PixelFont font;                                  // sources/pixelart/font.txt
    std::map<std::string, paint::Sprite> creatures;  // sources/pictures/creatures.txt
    std::map<std::string, paint::Sprite> cast;       // the scenes' creatures, by pose name
};

// Reads the pixel font, sources/pictures/creatures.txt and the scenes' creature sets from
// sources/pixelart/sprites_*.txt (ends the tool if one is broken). The scenes' creatures
// come with their outline, as the sprite files under data/pixeldyr/ have it.
Kit loadKit(const GenContext& ctx);
// The creature sprite of that name; ends the tool with a message if the grid file lacks it.
const paint::Sprite& sprite(const Kit& kit, const char* name);
// One pose of the scenes' creatures by its file stem ("00", "a3", "b10", ...).
const paint::Sprite& castPose(const Kit& kit, const char* pose);
// Adds a soft round light (falloff (1 - d^2)^2) of radius r around (cx, cy).
void addGlow(paint::Canvas& c, float cx, float cy, float r, paint::Rgba col, float strength);

// Painters, one per picture; pictures.cpp says which file each becomes.
// pictures_light.cpp: the logo and the pictures made of light.
paint::Canvas paintLogo(const Kit& kit);
paint::Canvas paintGlow();
paint::Canvas paintGlow2();
paint::Canvas paintDot();
paint::Canvas paintRedWash();
// pictures_textures.cpp: environment maps and the voxel block, 256x256.
paint::Canvas paintEnvMorning();
paint::Canvas paintEnvBlue();
paint::Canvas paintEnvBronze();
paint::Canvas paintRainbow();
paint::Canvas paintBlock();
// pictures_land.cpp: scene 2's sky, grass strips and water; scene 3's backdrop.
paint::Canvas paintMorningSky(const Kit& kit);
paint::Canvas paintGrassFar();
paint::Canvas paintGrassMiddle(const Kit& kit);
paint::Canvas paintGrassNear();
paint::Canvas paintWater();
paint::Canvas paintDeepBlue();
// pictures_overlays.cpp: the full-screen overlays.
paint::Canvas paintFrameSteel();
paint::Canvas paintFramePixel();
paint::Canvas paintStripes();
paint::Canvas paintSignature(const Kit& kit);
// pictures_night.cpp: scene 7's pictures.
paint::Canvas paintCreatures(const Kit& kit);
paint::Canvas paintGirl(const Kit& kit);
paint::Canvas paintHand(const Kit& kit);

}  // namespace pics
