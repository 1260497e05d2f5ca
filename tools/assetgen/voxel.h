// tools/assetgen/voxel.h — voxel models: the pixel logos and the greeting words.
//
// Offers: VoxelGrid, voxelAt/setVoxel, parseVoxelText/loadVoxelText (editable text grids),
//         voxelMirrorSymmetric, voxelMesh (the exposed faces as an EbrMesh).
// Needs:  tools/assetgen/ebrwriter.h.
//
// Axes: x runs right, z up and y into the picture, as seen by a viewer looking along +y.
//
// Text grid format (tools/assetgen/sources/meshes/*.txt):
//
//     ; comment
//     ..#....#..     <- rows from the top (highest z) down; columns left (lowest x) to right
//     ...####...
//     ..#5##5#..
//
// '.' or ' ' is empty, '#' a voxel one layer thick, an odd digit 3, 5, 7 or 9 a column that
// many layers thick. Every column is centred on the middle layer, so thicker parts bulge
// out on both sides. Rows may differ in length (missing cells are empty); a blank line between
// rows is an empty row.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/ebrwriter.h"

struct VoxelGrid {
    int sizeX = 0, sizeY = 0, sizeZ = 0;
    std::vector<uint8_t> cells;  // cells[(z * sizeY + y) * sizeX + x], 1 = solid
};

VoxelGrid makeVoxelGrid(int sizeX, int sizeY, int sizeZ);
// False outside the grid.
bool voxelAt(const VoxelGrid& grid, int x, int y, int z);
// Ignored outside the grid.
void setVoxel(VoxelGrid* grid, int x, int y, int z, bool solid);

// Parses a text grid as above. On failure returns false with the line and reason in
// *error and leaves *grid untouched.
bool parseVoxelText(const std::string& text, VoxelGrid* grid, std::string* error);
// Reads and parses the file at `path`; an unreadable file is a failure as well.
bool loadVoxelText(const std::string& path, VoxelGrid* grid, std::string* error);

// True when the solid voxels are symmetric about the middle of their x extent.
bool voxelMirrorSymmetric(const VoxelGrid& grid);

// One cube of edge `voxelSize` per solid voxel, of which only the faces next to an empty
// cell are emitted, each as its own four vertices with u, v running 0..1 across it (so a
// texture shows once per face, upright on the side faces). The model is centred on the
// middle of the solid voxels' bounding box and wound outwards. An empty grid gives an
// empty mesh.
EbrMesh voxelMesh(const VoxelGrid& grid, float voxelSize, const std::string& name);
