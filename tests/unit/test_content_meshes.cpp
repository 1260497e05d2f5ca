// The meshes the asset tool writes into data/: every file a scene loads, read back with a
// small reader of this test's own and checked against the camera that shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tools/assetgen/pixelfont.h"

namespace {

struct FileMesh {
    std::vector<float> vertices;  // x, y, z, u, v per vertex, as stored
    std::vector<int32_t> indices;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    float x(int32_t i) const { return vertices[5 * i]; }
    float y(int32_t i) const { return vertices[5 * i + 1]; }
    float z(int32_t i) const { return vertices[5 * i + 2]; }
    float u(int32_t i) const { return vertices[5 * i + 3]; }
    float v(int32_t i) const { return vertices[5 * i + 4]; }
};

// Reads every mesh block of an .ebr file; false with a reason on any short or odd field.
bool readEbr(const std::string& path, std::vector<FileMesh>* meshes, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
    size_t at = 0;
    auto word = [&](uint32_t* out) {
        if (bytes.size() - at < 4) return false;
        *out = uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
        at += 4;
        return true;
    };
    auto count = [&](int32_t* out, const char* what) {
        uint32_t w;
        if (!word(&w)) return *error = std::string("file ends before ") + what, false;
        *out = int32_t(w);
        if (*out < 0 || *out > 10000000) return *error = std::string("absurd ") + what, false;
        return true;
    };
    int32_t meshCount, nameLength;
    if (!count(&meshCount, "the mesh count")) return false;
    for (int32_t m = 0; m < meshCount; ++m) {
        FileMesh mesh;
        if (!count(&mesh.vertexCount, "a vertex count") || !count(&mesh.triangleCount, "a triangle count") ||
            !count(&nameLength, "a name length"))
            return false;
        if (bytes.size() - at < size_t(nameLength)) return *error = "file ends inside a name", false;
        at += nameLength;
        for (int32_t i = 0; i < 5 * mesh.vertexCount; ++i) {
            uint32_t w;
            if (!word(&w)) return *error = "file ends inside the vertices", false;
            float value;
            std::memcpy(&value, &w, 4);
            mesh.vertices.push_back(value);
        }
        for (int32_t i = 0; i < 3 * mesh.triangleCount; ++i) {
            uint32_t w;
            if (!word(&w)) return *error = "file ends inside the triangles", false;
            mesh.indices.push_back(int32_t(w));
        }
        meshes->push_back(std::move(mesh));
    }
    if (at != bytes.size()) return *error = std::to_string(bytes.size() - at) + " bytes after the last mesh", false;
    return true;
}

struct Vec { double x, y, z; };
Vec sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec position(const FileMesh& m, int32_t i) { return {m.x(i), m.y(i), m.z(i)}; }
Vec faceNormal(const FileMesh& m, size_t t) {
    const Vec a = position(m, m.indices[t]);
    return cross(sub(position(m, m.indices[t + 1]), a), sub(position(m, m.indices[t + 2]), a));
}

// Vertex ids after merging equal positions (welded == false keeps the file's own indices,
// which is what the loader's normal averaging sees).
std::vector<int32_t> vertexIds(const FileMesh& m, bool welded) {
    std::vector<int32_t> ids(m.vertexCount);
    std::map<std::tuple<long, long, long>, int32_t> seen;
    for (int32_t i = 0; i < m.vertexCount; ++i) {
        if (!welded) { ids[i] = i; continue; }
        const auto key = std::make_tuple(std::lround(m.x(i) * 1000), std::lround(m.y(i) * 1000), std::lround(m.z(i) * 1000));
        ids[i] = seen.emplace(key, int32_t(seen.size())).first->second;
    }
    return ids;
}

// Directed edges a->b that have no matching b->a: none on a closed surface wound one way.
std::vector<std::pair<int32_t, int32_t>> unmatchedEdges(const FileMesh& m, const std::vector<int32_t>& ids) {
    std::map<std::pair<int32_t, int32_t>, int> balance;
    for (size_t t = 0; t + 2 < m.indices.size(); t += 3)
        for (int k = 0; k < 3; ++k) {
            const int32_t a = ids[m.indices[t + k]], b = ids[m.indices[t + (k + 1) % 3]];
            if (a < b) ++balance[{a, b}]; else --balance[{b, a}];
        }
    std::vector<std::pair<int32_t, int32_t>> open;
    for (const auto& [edge, n] : balance)
        if (n != 0) open.push_back(edge);
    return open;
}

double signedVolume(const FileMesh& m) {
    double volume = 0;
    for (size_t t = 0; t + 2 < m.indices.size(); t += 3)
        volume += dot(position(m, m.indices[t]), cross(position(m, m.indices[t + 1]), position(m, m.indices[t + 2]))) / 6;
    return volume;
}

enum class Kind {
    Smooth,   // closed with shared vertices: the environment map follows averaged normals
    Voxels,   // closed cubes, four corners per face carrying the whole texture once
    Tunnel,   // open tube around +y seen from inside
};

struct MeshCase {
    const char* path;
    Kind kind;
    int minVertices, maxVertices;
    float minRadius, maxRadius;  // distance of the farthest vertex from the origin
    float minWidth, maxWidth;    // extent along x (voxel models only)
    bool centredZ;               // voxel models: the greeting words stand above their origin
};

// Radii follow the cameras: box2 half-size 15 (corner at most 15 sqrt 3), sphere 45,
// thing within 12, simplebox half-size 6. pxl and pxl2 start 3 units from scene 5's eye at
// scale 0.03, so beyond 100 units they would reach behind it; pixel starts 5 units away.
// simplebox and the words are sized against each other (see the greetings test below).
const MeshCase kMeshes[] = {
    {"box2.ebr", Kind::Smooth, 26, 20000, 15.0f, 26.0f, 0, 0, true},
    {"sphere.ebr", Kind::Smooth, 2000, 20000, 43.0f, 47.0f, 0, 0, true},
    {"thing.ebr", Kind::Smooth, 500, 20000, 8.0f, 12.0f, 0, 0, true},
    {"simplebox.ebr", Kind::Smooth, 8, 2000, 2.0f, 10.4f, 0, 0, true},
    {"tunnell.ebr", Kind::Tunnel, 200, 20000, 200.0f, 300.0f, 0, 0, true},
    {"pixeldyr/pixel.ebr", Kind::Voxels, 100, 20000, 60.0f, 160.0f, 150, 250, true},
    {"pixeldyr/pxl.ebr", Kind::Voxels, 100, 20000, 60.0f, 95.0f, 150, 250, true},
    {"pixeldyr/pxl2.ebr", Kind::Voxels, 100, 20000, 60.0f, 95.0f, 150, 250, true},
    {"greets/quillan.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 300, 450, false},
    {"greets/pennart.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 300, 450, false},
    {"greets/drossel.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 300, 450, false},
    {"greets/you.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 150, 450, false},
    {"greets/tindral.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 300, 450, false},
    {"greets/morwick.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 300, 450, false},
    {"greets/valmora.ebr", Kind::Voxels, 100, 20000, 150.0f, 300.0f, 300, 450, false},
};

FileMesh loadOnlyMesh(const std::string& relative) {
    std::vector<FileMesh> meshes;
    std::string error;
    EXPECT_TRUE(readEbr(std::string(DEMO_DATA_DIR) + "/" + relative, &meshes, &error)) << error;
    EXPECT_EQ(meshes.size(), 1u);  // the scenes twist and ripple the first mesh only
    return meshes.empty() ? FileMesh{} : meshes[0];
}

void checkTunnel(const FileMesh& m) {
    float minY = 1e30f, maxY = -1e30f;
    for (int32_t i = 0; i < m.vertexCount; ++i) {
        minY = std::min(minY, m.y(i));
        maxY = std::max(maxY, m.y(i));
        EXPECT_NEAR(std::hypot(m.x(i), m.z(i)), 5.0, 1.0) << "vertex " << i << " off the tube";
    }
    // Scaled by 2 and seen from y = 10 with near plane 1 and far plane 1000.
    EXPECT_GT(2 * minY - 10, 1.0f) << "the mouth reaches the near plane";
    EXPECT_LT(2 * maxY - 10, 1000.0f);
    EXPECT_LT(minY, 10.0f) << "the tunnel should start close to the eye";
    // Open only at its two ends; its faces look at the axis.
    const std::vector<int32_t> ids = vertexIds(m, true);
    std::vector<float> yOf(m.vertexCount);
    for (int32_t i = 0; i < m.vertexCount; ++i) yOf[ids[i]] = m.y(i);
    for (const auto& [a, b] : unmatchedEdges(m, ids)) {
        const bool atEnd = (yOf[a] == minY && yOf[b] == minY) || (yOf[a] == maxY && yOf[b] == maxY);
        EXPECT_TRUE(atEnd) << "hole between y = " << yOf[a] << " and " << yOf[b];
    }
    for (size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const Vec p = position(m, m.indices[t]);
        ASSERT_LT(dot(faceNormal(m, t), {p.x, 0, p.z}), 0) << "triangle " << t / 3 << " faces outwards";
    }
    // Rings crowd together near the mouth, where the pattern is largest on screen.
    std::vector<float> rings;
    for (int32_t i = 0; i < m.vertexCount; ++i) rings.push_back(m.y(i));
    std::sort(rings.begin(), rings.end());
    rings.erase(std::unique(rings.begin(), rings.end()), rings.end());
    ASSERT_GE(rings.size(), 8u);
    EXPECT_LT(rings[1] - rings[0], 0.5f * (rings.back() - rings[rings.size() - 2]));
}

void checkVoxelFaces(const FileMesh& m) {
    for (size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        SCOPED_TRACE("triangle " + std::to_string(t / 3));
        const int32_t a = m.indices[t], b = m.indices[t + 1], c = m.indices[t + 2];
        for (int32_t i : {a, b, c}) {
            ASSERT_TRUE(m.u(i) == 0 || m.u(i) == 1) << m.u(i);
            ASSERT_TRUE(m.v(i) == 0 || m.v(i) == 1) << m.v(i);
        }
        // Counter-clockwise in texture space too: the texture is not mirrored from outside.
        const double uvArea = (m.u(b) - m.u(a)) * (m.v(c) - m.v(a)) - (m.u(c) - m.u(a)) * (m.v(b) - m.v(a));
        ASSERT_GT(uvArea, 0);
        // On the side faces v grows upwards (+z), so the texture stands upright.
        const Vec n = faceNormal(m, t);
        if (std::fabs(n.z) < 1e-6 * std::sqrt(dot(n, n)))
            for (int32_t i : {a, b, c})
                for (int32_t j : {a, b, c})
                    if (m.z(i) > m.z(j) + 1e-4f) {
                        ASSERT_GT(m.v(i), m.v(j));
                    }
    }
}

TEST(ContentMeshes, EveryMeshTheScenesLoadIsWellFormedAndFitsItsCamera) {
    for (const MeshCase& c : kMeshes) {
        SCOPED_TRACE(c.path);
        const FileMesh m = loadOnlyMesh(c.path);
        ASSERT_GE(m.vertexCount, c.minVertices);
        ASSERT_LE(m.vertexCount, c.maxVertices);
        ASSERT_GE(m.triangleCount, 4);
        for (float f : m.vertices) ASSERT_TRUE(std::isfinite(f));
        for (int32_t i : m.indices) ASSERT_TRUE(i >= 0 && i < m.vertexCount) << i;
        for (size_t t = 0; t + 2 < m.indices.size(); t += 3)
            ASSERT_GT(dot(faceNormal(m, t), faceNormal(m, t)), 0) << "degenerate triangle " << t / 3;

        double radius = 0, nearest = 1e30;
        float minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f, minZ = 1e30f, maxZ = -1e30f;
        for (int32_t i = 0; i < m.vertexCount; ++i) {
            const double r = std::sqrt(dot(position(m, i), position(m, i)));
            radius = std::max(radius, r);
            nearest = std::min(nearest, r);
            minX = std::min(minX, m.x(i)); maxX = std::max(maxX, m.x(i));
            minY = std::min(minY, m.y(i)); maxY = std::max(maxY, m.y(i));
            minZ = std::min(minZ, m.z(i)); maxZ = std::max(maxZ, m.z(i));
        }
        EXPECT_GE(radius, c.minRadius);
        EXPECT_LE(radius, c.maxRadius);

        switch (c.kind) {
        case Kind::Smooth:
            EXPECT_TRUE(unmatchedEdges(m, vertexIds(m, false)).empty()) << "open, inconsistently wound or not sharing vertices";
            EXPECT_GT(signedVolume(m), 0) << "wound inside out";
            if (std::string(c.path) == "thing.ebr") {
                EXPECT_LT(nearest, 0.5 * radius) << "the twist lags with distance: it needs near and far parts";
            }
            break;
        case Kind::Voxels:
            EXPECT_TRUE(unmatchedEdges(m, vertexIds(m, true)).empty()) << "open or inconsistently wound";
            EXPECT_GT(signedVolume(m), 0) << "wound inside out";
            checkVoxelFaces(m);
            EXPECT_GE(maxX - minX, c.minWidth);
            EXPECT_LE(maxX - minX, c.maxWidth);
            EXPECT_LT(maxY - minY, 0.25f * (maxX - minX)) << "should lie in the x-z plane";
            // Centred, so the twist and the swing turn about the middle.
            EXPECT_NEAR(minX + maxX, 0, 1e-3);
            EXPECT_NEAR(minY + maxY, 0, 1e-3);
            if (c.centredZ) {
                EXPECT_NEAR(minZ + maxZ, 0, 1e-3);
            }
            break;
        case Kind::Tunnel:
            checkTunnel(m);
            break;
        }
    }
}

struct Extent { float minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f, minZ = 1e30f, maxZ = -1e30f; };
Extent extent(const FileMesh& m) {
    Extent e;
    for (int32_t i = 0; i < m.vertexCount; ++i) {
        e.minX = std::min(e.minX, m.x(i)); e.maxX = std::max(e.maxX, m.x(i));
        e.minY = std::min(e.minY, m.y(i)); e.maxY = std::max(e.maxY, m.y(i));
        e.minZ = std::min(e.minZ, m.z(i)); e.maxZ = std::max(e.maxZ, m.z(i));
    }
    return e;
}

// The greetings scene clears to black, draws simplebox from 8 units (scale 0.5), then from
// a second eye 6 units from the origin a creature (scale 0.017, lowered 1) and a word
// (scale 0.01, lowered 1.5, textured black), all against one depth buffer, both eyes on +y
// looking along -y with the same depth range. The black word only reads where the box is
// behind it, and neither the box nor the creature may cover it.
TEST(ContentMeshes, GreetingsReadAgainstTheBoxAboveTheirCreature) {
    const Extent box = extent(loadOnlyMesh("simplebox.ebr"));
    const float half = 0.5f * box.maxY;                      // world half-size, face-on
    const float boxFront = 8 - half;                          // its nearest face, face-on
    const float boxTop = half / boxFront;                     // its top edge, as a slope from the eye
    float creatureTop = -1e30f;
    for (const char* path : {"pixeldyr/pxl.ebr", "pixeldyr/pxl2.ebr"}) {
        SCOPED_TRACE(path);
        const Extent e = extent(loadOnlyMesh(path));
        EXPECT_GT(boxFront, 6 - 0.017f * e.maxY) << "the box would cover the creature";
        creatureTop = std::max(creatureTop, -1 + 0.017f * e.maxZ);
    }
    for (const char* word : {"quillan", "pennart", "drossel", "you", "tindral", "morwick", "valmora"}) {
        SCOPED_TRACE(word);
        const Extent e = extent(loadOnlyMesh(std::string("greets/") + word + ".ebr"));
        EXPECT_GT(boxFront, 6 - 0.01f * e.maxY) << "the box would cover the word";
        EXPECT_GT(-1.5f + 0.01f * e.minZ, creatureTop) << "the creature would cover the word";
        EXPECT_LT((-1.5f + 0.01f * e.maxZ) / 6, boxTop) << "the word would stick out above the box, black on black";
    }
}

// The cells a viewer sees of a voxel model standing in the x-z plane, as rows of '#' and
// '.', top row first; screenRightIsPlusX says which way the viewer's right points.
std::string frontView(const FileMesh& m, bool screenRightIsPlusX) {
    // Every face along y, by the corners of its square seen from the viewer's side.
    struct Square { double left, right, top; };
    std::vector<Square> squares;
    for (size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const Vec n = faceNormal(m, t);
        if (std::fabs(n.x) + std::fabs(n.z) > 1e-6 * std::fabs(n.y)) continue;
        Square s{1e30, -1e30, -1e30};
        for (int k = 0; k < 3; ++k) {
            const int32_t i = m.indices[t + k];
            const double x = screenRightIsPlusX ? m.x(i) : -m.x(i);
            s.left = std::min(s.left, x);
            s.right = std::max(s.right, x);
            s.top = std::max(s.top, double(m.z(i)));
        }
        squares.push_back(s);
    }
    if (squares.empty()) return {};
    double size = 0, left = 1e30, top = -1e30;
    for (const Square& s : squares) {
        size = std::max(size, s.right - s.left);
        left = std::min(left, s.left);
        top = std::max(top, s.top);
    }
    std::set<std::pair<long, long>> cells;  // (row, column) in voxels from the top left
    long rows = 0, columns = 0;
    for (const Square& s : squares) {
        const long row = std::lround((top - s.top) / size), column = std::lround((s.left - left) / size);
        cells.insert({row, column});
        rows = std::max(rows, row + 1);
        columns = std::max(columns, column + 1);
    }
    std::string text;
    for (long row = 0; row < rows; ++row) {
        for (long column = 0; column < columns; ++column) text += cells.count({row, column}) ? '#' : '.';
        text += '\n';
    }
    return text;
}

// The word as the pixel font sets it, cropped to its ink.
std::string lettering(const char* text) {
    PixelFont font;
    std::string error;
    EXPECT_TRUE(loadPixelFont(DEMO_SOURCE_DIR "/tools/assetgen/sources/pixelart/font.txt", &font, &error)) << error;
    const PixelBitmap b = renderPixelText(font, text, 1);
    int minX = b.width, maxX = -1, minY = b.height, maxY = -1;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            if (pixelAt(b, x, y)) {
                minX = std::min(minX, x); maxX = std::max(maxX, x);
                minY = std::min(minY, y); maxY = std::max(maxY, y);
            }
    std::string rows;
    for (int y = minY; y <= maxY; ++y) {
        for (int x = minX; x <= maxX; ++x) rows += pixelAt(b, x, y) ? '#' : '.';
        rows += '\n';
    }
    return rows;
}

TEST(ContentMeshes, WordsReadCorrectlyFromTheirCameras) {
    struct Word { const char* path; const char* text; bool screenRightIsPlusX; };
    const Word words[] = {
        {"pixeldyr/pixel.ebr", "PIXEL", true},  // scene 5 looks along +y
        {"greets/quillan.ebr", "QUILLAN", false},  // scene 6 looks along -y
        {"greets/pennart.ebr", "PENNART", false},
        {"greets/drossel.ebr", "DROSSEL", false},
        {"greets/you.ebr", "YOU", false},
        {"greets/tindral.ebr", "TINDRAL", false},
        {"greets/morwick.ebr", "MORWICK", false},
        {"greets/valmora.ebr", "VALMORA", false},
    };
    for (const Word& w : words) {
        SCOPED_TRACE(w.path);
        EXPECT_EQ(frontView(loadOnlyMesh(w.path), w.screenRightIsPlusX), lettering(w.text));
    }
}

TEST(ContentMeshes, CreaturesLookTheSameMirrored) {
    for (const char* path : {"pixeldyr/pxl.ebr", "pixeldyr/pxl2.ebr"}) {
        SCOPED_TRACE(path);
        const FileMesh m = loadOnlyMesh(path);
        const std::string view = frontView(m, true);
        ASSERT_FALSE(view.empty());
        EXPECT_EQ(view, frontView(m, false));
    }
}

}  // namespace
