// tools/assetgen/voxel.cpp — voxel text grids and their meshes.
#include "tools/assetgen/voxel.h"

#include <algorithm>
#include <fstream>
#include <sstream>

VoxelGrid makeVoxelGrid(int sizeX, int sizeY, int sizeZ) {
    VoxelGrid grid;
    grid.sizeX = std::max(0, sizeX);
    grid.sizeY = std::max(0, sizeY);
    grid.sizeZ = std::max(0, sizeZ);
    grid.cells.assign(size_t(grid.sizeX) * grid.sizeY * grid.sizeZ, 0);
    return grid;
}

bool voxelAt(const VoxelGrid& grid, int x, int y, int z) {
    if (x < 0 || y < 0 || z < 0 || x >= grid.sizeX || y >= grid.sizeY || z >= grid.sizeZ) return false;
    return grid.cells[(size_t(z) * grid.sizeY + y) * grid.sizeX + x] != 0;
}

void setVoxel(VoxelGrid* grid, int x, int y, int z, bool solid) {
    if (x < 0 || y < 0 || z < 0 || x >= grid->sizeX || y >= grid->sizeY || z >= grid->sizeZ) return;
    grid->cells[(size_t(z) * grid->sizeY + y) * grid->sizeX + x] = solid ? 1 : 0;
}

bool parseVoxelText(const std::string& text, VoxelGrid* grid, std::string* error) {
    std::vector<std::vector<int>> rows;  // thickness per cell, 0 = empty
    std::istringstream in(text);
    std::string line;
    int lineNo = 0, width = 0, layers = 1;
    while (std::getline(in, line)) {
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (!line.empty() && line[0] == ';') continue;
        if (line.empty()) {
            if (!rows.empty()) rows.push_back({});  // a blank line inside the picture is an empty row
            continue;
        }
        std::vector<int> row;
        for (char c : line) {
            int thickness;
            if (c == '.' || c == ' ') thickness = 0;
            else if (c == '#') thickness = 1;
            else if (c == '3' || c == '5' || c == '7' || c == '9') thickness = c - '0';
            else {
                if (error)
                    *error = "line " + std::to_string(lineNo) + ": unexpected character '" +
                             std::string(1, c) + "' (use '.', '#' or 3, 5, 7, 9)";
                return false;
            }
            row.push_back(thickness);
            layers = std::max(layers, thickness);
        }
        width = std::max(width, int(row.size()));
        rows.push_back(row);
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    if (rows.empty() || width == 0) {
        if (error) *error = "no voxel rows";
        return false;
    }
    const int height = int(rows.size());
    VoxelGrid parsed = makeVoxelGrid(width, layers, height);
    const int middle = layers / 2;
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < int(rows[r].size()); ++x) {
            const int half = rows[r][x] / 2;
            if (rows[r][x] == 0) continue;
            for (int y = middle - half; y <= middle + half; ++y) setVoxel(&parsed, x, y, height - 1 - r, true);
        }
    *grid = std::move(parsed);
    return true;
}

bool loadVoxelText(const std::string& path, VoxelGrid* grid, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!parseVoxelText(text.str(), grid, error)) {
        if (error) *error = path + ": " + *error;
        return false;
    }
    return true;
}

namespace {

struct Bounds { int minX, maxX, minY, maxY, minZ, maxZ; bool empty; };

Bounds solidBounds(const VoxelGrid& grid) {
    Bounds b{grid.sizeX, -1, grid.sizeY, -1, grid.sizeZ, -1, true};
    for (int z = 0; z < grid.sizeZ; ++z)
        for (int y = 0; y < grid.sizeY; ++y)
            for (int x = 0; x < grid.sizeX; ++x)
                if (voxelAt(grid, x, y, z)) {
                    b.minX = std::min(b.minX, x); b.maxX = std::max(b.maxX, x);
                    b.minY = std::min(b.minY, y); b.maxY = std::max(b.maxY, y);
                    b.minZ = std::min(b.minZ, z); b.maxZ = std::max(b.maxZ, z);
                    b.empty = false;
                }
    return b;
}

// One face direction: the outward normal and the face's own right and up axes, chosen so
// that right x up = normal (counter-clockwise seen from outside) and a texture reads
// unmirrored from outside; on the four side faces up is +z.
struct FaceAxes { int n[3]; int right[3]; int up[3]; };
constexpr FaceAxes kFaces[6] = {
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},   // front, seen by a viewer looking along +y
    {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},   // back
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},    // top
    {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},  // bottom
};

}  // namespace

bool voxelMirrorSymmetric(const VoxelGrid& grid) {
    const Bounds b = solidBounds(grid);
    if (b.empty) return true;
    for (int z = 0; z < grid.sizeZ; ++z)
        for (int y = 0; y < grid.sizeY; ++y)
            for (int x = b.minX; x <= b.maxX; ++x)
                if (voxelAt(grid, x, y, z) != voxelAt(grid, b.minX + b.maxX - x, y, z)) return false;
    return true;
}

EbrMesh voxelMesh(const VoxelGrid& grid, float voxelSize, const std::string& name) {
    EbrMesh mesh;
    mesh.name = name;
    const Bounds b = solidBounds(grid);
    if (b.empty) return mesh;
    // Centre of the solid voxels, in voxel units.
    const float cx = 0.5f * float(b.minX + b.maxX + 1);
    const float cy = 0.5f * float(b.minY + b.maxY + 1);
    const float cz = 0.5f * float(b.minZ + b.maxZ + 1);
    const float h = 0.5f * voxelSize;
    for (int z = b.minZ; z <= b.maxZ; ++z)
        for (int y = b.minY; y <= b.maxY; ++y)
            for (int x = b.minX; x <= b.maxX; ++x) {
                if (!voxelAt(grid, x, y, z)) continue;
                const float centre[3] = {(x + 0.5f - cx) * voxelSize, (y + 0.5f - cy) * voxelSize,
                                         (z + 0.5f - cz) * voxelSize};
                for (const FaceAxes& f : kFaces) {
                    if (voxelAt(grid, x + f.n[0], y + f.n[1], z + f.n[2])) continue;  // hidden
                    int32_t corner[4];
                    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                    for (int k = 0; k < 4; ++k) {
                        const float su = uv[k][0] * 2 - 1, sv = uv[k][1] * 2 - 1;
                        float p[3];
                        for (int a = 0; a < 3; ++a)
                            p[a] = centre[a] + h * (f.n[a] + su * f.right[a] + sv * f.up[a]);
                        corner[k] = ebrAddVertex(&mesh, p[0], p[1], p[2], uv[k][0], uv[k][1]);
                    }
                    ebrAddQuad(&mesh, corner[0], corner[1], corner[2], corner[3]);
                }
            }
    return mesh;
}
