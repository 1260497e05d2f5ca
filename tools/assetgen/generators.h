// tools/assetgen/generators.h — the asset tool's parts. Each writes its files under
// ctx.outDir (the build's data/) and reports what it made.
#pragma once
#include <string>

struct GenContext {
    std::string outDir;     // e.g. build/data; subfolders pixeldyr/ and greets/ are created
    std::string sourceDir;  // tools/assetgen/sources: score, pixel-art grids, SVG
    bool verbose;
};

// Illustrations, backgrounds, overlays, textures, glows (loading.png, logo.png, ...).
void generatePictures(const GenContext& ctx);
// Pixel art: the creature sprite sets, pxl_s*, captions.
void generatePixelArt(const GenContext& ctx);
// Meshes: box2, sphere, thing, tunnell, simplebox, voxel logos and greeting words.
void generateMeshes(const GenContext& ctx);
// The soundtrack: data/pelotrix.mp3 from the score.
void generateMusic(const GenContext& ctx);
// data/contact.png: every picture on one labelled sheet.
void generateContactSheet(const GenContext& ctx);
