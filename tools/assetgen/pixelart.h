// tools/assetgen/pixelart.h — the reader of the pixel-art grid files and the drawing of
// one pose, shared by the pixel-art part (data/pixeldyr/) and the pictures.
//
// Offers: SpriteSet / Pose (a parsed grid file), readSpriteGrids (any grid file),
//         parseSpriteSet (a creature set of data/pixeldyr/, with its size rules),
//         poseCells (a pose as unscaled colour cells, outline applied), renderPose (the
//         pose as the picture written to data/pixeldyr/).
// Needs:  assets/image.h (Image).
//
// Grid files (sources/pixelart/sprites_*.txt, sources/pictures/creatures.txt): a header of
// directives, then one grid per pose.
//
//     ; comment
//     scale 5              whole factor every grid pixel is scaled by (1..16)
//     outline k            optional: paint key k around the shape (4-neighbour, in grid pixels)
//     background #000000   optional: opaque background instead of transparency (RGB output)
//     glow 3 60            optional, with a background: soft halo of radius 3 output pixels,
//                          added at 60 % (for sprites that are drawn additively)
//     key . none           palette legend: one character, then none or #RRGGBB[AA]
//     key k #0b1030
//     [00]                 a pose: its name (for sprite sets, the file stem it is written to)
//     ..kkkk..             grid rows, all of one width; a blank line ends the pose
//
// Every mistake ends the tool with a message naming the file and line: a broken source is a
// broken build, not something to skip.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "assets/image.h"

struct Pose {
    std::string name;
    int line;                       // of the [name] header
    std::vector<std::string> rows;  // grid rows, top first, all of one width
};

struct SpriteSet {
    int scale = 1;
    char outline = 0;               // 0: none
    bool hasBackground = false;
    uint32_t background = 0;        // 0xFFRRGGBB
    int glowRadius = 0;
    int glowPercent = 0;
    std::map<char, uint32_t> palette;  // key -> 0xAARRGGBB (none is 0)
    std::vector<Pose> poses;
};

// Reads a grid file: the directives, the palette and every pose, checking what every grid
// needs (known keys, even rows, at least one pose, an outline key in the palette).
SpriteSet readSpriteGrids(const std::string& path);
// readSpriteGrids plus the rules of a creature set under data/pixeldyr/: every pose of one
// size (the scenes flicker between them at one place) and at most 150 x 150 once scaled.
SpriteSet parseSpriteSet(const std::string& path);

// A pose as colour cells, one per grid pixel, before scaling.
struct PoseCells {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;     // width * height, 0xAARRGGBB, top row first
};
// With an outline, the grid grows by one cell on each side and every empty cell that touches
// the shape (4-neighbour) takes the outline key's colour.
PoseCells poseCells(const SpriteSet& set, const Pose& pose);

// The pose as written to data/pixeldyr/: poseCells scaled by whole blocks, over the
// background (opaque, with the glow) when the set has one. Free with freeImage.
Image* renderPose(const SpriteSet& set, const Pose& pose);
