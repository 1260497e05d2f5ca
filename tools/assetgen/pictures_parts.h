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
    std::map<std::string, paint::Sprite> creatures;
};

// Reads sources/pictures/font.txt and creatures.txt (ends the tool if one is broken).
Kit loadKit(const GenContext& ctx);
// The creature sprite of that name; ends the tool with a message if the grid file lacks it.
const paint::Sprite& sprite(const Kit& kit, const char* name);
// Adds a soft round light (falloff (1 - d^2)^2) of radius r around (cx, cy).
void addGlow(paint::Canvas& c, float cx, float cy, float r, paint::Rgba col, float strength);

}  // namespace pics
