// tools/assetgen/meshes.cpp — the demo's meshes: the boxes, the sphere, the twisting thing,
// the tunnel, the voxel creatures and the voxel greeting words.
//
// Each shape is sized for the camera that shows it:
//   box2       rounded cube, half-size 15, seen from 280 units in the box parade;
//   sphere     geodesic sphere of radius 45, fine enough for the ripple along its normals;
//   thing      torus-knot tube within radius 12 whose lobes swing between 2 and 11 units
//              from the centre, so a twist that lags with distance makes it writhe;
//   tunnell    open tube of radius 5 around +y from y = 6 to 250, seen from inside;
//   simplebox  cube with 8 shared corners, small enough to stay behind the greetings;
//   pixeldyr/  voxel logos in the x-z plane (pixel spells a word for a viewer looking
//              along +y, pxl and pxl2 are symmetric creatures from text grids);
//   greets/    voxel words laid out along -x, read by a viewer looking along -y, standing
//              above their origin (see below).
// The environment-mapped shapes share their vertices so the loader's averaged normals are
// smooth; the voxel models give every face its own corners so `blokk` fits each face once.
//
// The greetings scene clears to black and draws, against one depth buffer, its box from 8
// units away (scaled by 0.5), then from a second eye 6 units away a creature (scaled by
// 0.017, lowered 1) and a word (scaled by 0.01, lowered 1.5, textured black). The black
// word reads only where the box lies behind it, so the two are sized together:
//   - simplebox has half-size 2.8: face-on its front (8 - 1.4 = 6.6 units away) stays
//     behind the front of the creature (5.75) and of the word (5.95). A box of half-size 6
//     would come to 5 units and hide both behind its faces.
//   - a word's lowest voxel is 160 units above its origin (world z +0.1): the word then sits
//     over the middle of the box, just above the creature's top (world z +0.02 at most).
//     Centred in z it would hang below the box, black on black, and inside the creature.
//   - 8-unit voxels make the seven-letter words 312 units wide, about the box's width;
//     "you" gets 12-unit voxels.
// Rendered over the scene's 23 seconds, 82 % of a word's pixels then read against the box
// and 97 % of the creature's show; a centred word before a half-size 6 box gives 15 % and 8 %.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/assetgen/ebrwriter.h"
#include "tools/assetgen/generators.h"
#include "tools/assetgen/pixelfont.h"
#include "tools/assetgen/voxel.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct V3 { double x, y, z; };
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 unit(V3 a) { return a * (1.0 / std::sqrt(dot(a, a))); }

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "assetgen: meshes: %s\n", what.c_str());
    std::exit(1);
}

// Closed generated shapes must enclose positive volume; a negative one is wound inwards.
void windOutwards(EbrMesh* mesh) {
    if (ebrSignedVolume(*mesh) < 0) ebrFlipWinding(mesh);
}

// Texture coordinates from the direction of a point (for shapes drawn environment-mapped,
// where they only matter to tools that show the file plainly).
void sphericalUV(EbrMesh* mesh) {
    for (size_t i = 0; i + 4 < mesh->vertices.size(); i += 5) {
        const V3 d = unit({mesh->vertices[i], mesh->vertices[i + 1], mesh->vertices[i + 2]});
        mesh->vertices[i + 3] = float(0.5 + std::atan2(d.y, d.x) / (2 * kPi));
        mesh->vertices[i + 4] = float(0.5 + std::asin(std::fmax(-1.0, std::fmin(1.0, d.z))) / kPi);
    }
}

// A cube of half-size `half` whose edges and corners are rounded with `radius`. Each face
// is a grid: `band` segments across every rounded strip (evenly spaced in angle) and
// `middle` segments across the flat part. radius 0 with band 0 and middle 1 is a plain
// cube with 8 shared corners.
EbrMesh roundedBox(const std::string& name, double half, double radius, int band, int middle) {
    const double inner = half - radius;
    std::vector<double> ticks;  // coordinates along a face axis, -half .. half
    for (int k = band; k >= 1; --k) ticks.push_back(-(inner + radius * std::tan(kPi / 4 * k / band)));
    for (int k = 0; k <= middle; ++k) ticks.push_back(-inner + 2 * inner * k / middle);
    for (int k = 1; k <= band; ++k) ticks.push_back(inner + radius * std::tan(kPi / 4 * k / band));
    const int n = int(ticks.size());

    struct Face { V3 normal, right, up; };
    const Face faces[6] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
        {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    EbrMesh mesh;
    mesh.name = name;
    for (const Face& f : faces) {
        const int32_t first = ebrVertexCount(mesh);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                V3 p = f.normal * half + f.right * ticks[i] + f.up * ticks[j];
                if (radius > 0) {
                    const V3 q{std::fmax(-inner, std::fmin(inner, p.x)), std::fmax(-inner, std::fmin(inner, p.y)),
                               std::fmax(-inner, std::fmin(inner, p.z))};
                    p = q + unit(p - q) * radius;
                }
                ebrAddVertex(&mesh, float(p.x), float(p.y), float(p.z), float(i) / (n - 1), float(j) / (n - 1));
            }
        for (int j = 0; j + 1 < n; ++j)
            for (int i = 0; i + 1 < n; ++i) {
                const int32_t a = first + j * n + i;
                ebrAddQuad(&mesh, a, a + 1, a + n + 1, a + n);
            }
    }
    ebrWeld(&mesh, float(half) * 1e-4f);
    windOutwards(&mesh);
    return mesh;
}

// An icosahedron whose faces are split `frequency` times along each edge and pushed out to
// the sphere: 10 f^2 + 2 vertices spread almost evenly, with no poles.
EbrMesh geodesicSphere(const std::string& name, double radius, int frequency) {
    const double g = (1 + std::sqrt(5.0)) / 2;
    const V3 corners[12] = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                            {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    const int faces[20][3] = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11},
                              {1, 5, 9}, {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                              {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8}, {3, 8, 9},
                              {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    EbrMesh mesh;
    mesh.name = name;
    const int f = frequency;
    for (const auto& face : faces) {
        const V3 a = corners[face[0]], b = corners[face[1]], c = corners[face[2]];
        const int32_t first = ebrVertexCount(mesh);
        // Row i runs from a towards b, column j from there towards c; (i, j) with i + j <= f.
        std::vector<int32_t> rowStart(f + 2);
        int32_t next = first;
        for (int i = 0; i <= f; ++i) {
            rowStart[i] = next;
            for (int j = 0; j <= f - i; ++j) {
                const V3 p = unit(a + (b - a) * (double(i) / f) + (c - a) * (double(j) / f)) * radius;
                ebrAddVertex(&mesh, float(p.x), float(p.y), float(p.z), 0, 0);
                ++next;
            }
        }
        for (int i = 0; i < f; ++i)
            for (int j = 0; j < f - i; ++j) {
                const int32_t p = rowStart[i] + j, below = rowStart[i + 1] + j;
                ebrAddTriangle(&mesh, p, below, p + 1);
                if (j + 1 < f - i) ebrAddTriangle(&mesh, below, below + 1, p + 1);
            }
    }
    ebrWeld(&mesh, float(radius) * 1e-5f);
    windOutwards(&mesh);
    sphericalUV(&mesh);
    return mesh;
}

// A (p, q) torus knot laid around the y axis (so the camera on +y sees its whole star),
// swept with a round tube that is fat on the outer lobes and thin where the knot dives in
// close to the centre. Every vertex is shared: the tube is one closed surface.
EbrMesh torusKnot(const std::string& name, int p, int q, double bigR, double a, double tubeIn,
                  double tubeOut, int segments, int sides) {
    auto centre = [&](double t) {
        const double r = bigR + a * std::cos(q * t);
        return V3{r * std::cos(p * t), a * std::sin(q * t), r * std::sin(p * t)};
    };
    EbrMesh mesh;
    mesh.name = name;
    const double h = 1e-4;
    for (int s = 0; s < segments; ++s) {
        const double t = 2 * kPi * s / segments;
        const V3 c = centre(t);
        const V3 d1 = (centre(t + h) - centre(t - h)) * (0.5 / h);
        const V3 d2 = (centre(t + h) - c * 2 + centre(t - h)) * (1 / (h * h));
        const V3 tangent = unit(d1);
        const V3 normal = unit(d2 - tangent * dot(d2, tangent));  // Frenet frame: periodic in t
        const V3 binormal = cross(tangent, normal);
        const double outer = 0.5 + 0.5 * std::cos(q * t);  // 1 on the outer lobes
        const double tube = tubeIn + (tubeOut - tubeIn) * outer;
        for (int k = 0; k < sides; ++k) {
            const double phi = 2 * kPi * k / sides;
            const V3 v = c + (normal * std::cos(phi) + binormal * std::sin(phi)) * tube;
            ebrAddVertex(&mesh, float(v.x), float(v.y), float(v.z), float(s) / segments, float(k) / sides);
        }
    }
    for (int s = 0; s < segments; ++s)
        for (int k = 0; k < sides; ++k) {
            const int32_t a0 = s * sides + k, a1 = s * sides + (k + 1) % sides;
            const int32_t b0 = ((s + 1) % segments) * sides + k, b1 = ((s + 1) % segments) * sides + (k + 1) % sides;
            ebrAddQuad(&mesh, a0, b0, b1, a1);
        }
    windOutwards(&mesh);
    return mesh;
}

// The tunnel: an open tube of `radius` around the y axis from yStart to yEnd, wound to face
// its inside (where the camera is). u runs once around, v grows along +y at `vPerUnit`.
// The rings sit at distances from the eye (eyeY, after the scene's scale) that grow
// geometrically, so every segment spans the same share of depth: affine texturing then
// bends the pattern equally little near the mouth and far down the tube.
EbrMesh tunnel(const std::string& name, double radius, double yStart, double yEnd, double scale,
               double eyeY, int rings, int sides, double vPerUnit) {
    const double d0 = yStart * scale - eyeY, d1 = yEnd * scale - eyeY;
    EbrMesh mesh;
    mesh.name = name;
    for (int j = 0; j <= rings; ++j) {
        const double y = (eyeY + d0 * std::pow(d1 / d0, double(j) / rings)) / scale;
        for (int i = 0; i <= sides; ++i) {  // the seam column is repeated with u = 1
            const double a = 2 * kPi * i / sides;
            ebrAddVertex(&mesh, float(radius * std::cos(a)), float(y), float(radius * std::sin(a)),
                         float(i) / sides, float(y * vPerUnit));
        }
    }
    const int32_t stride = sides + 1;
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < sides; ++i) {
            const int32_t a = j * stride + i;
            // (a, a+1, a+stride) turns from +angle to +y: its normal points at the axis.
            ebrAddQuad(&mesh, a, a + 1, a + 1 + stride, a + stride);
        }
    return mesh;
}

// A line of text as voxels, one layer thick, in the x-z plane (top row highest z), centred
// on the origin. alongMinusX lays it out towards -x for a viewer looking along -y (screen
// right is -x); otherwise towards +x for a viewer looking along +y. The voxel size makes
// the word about `width` units wide, but never larger than maxVoxel.
EbrMesh voxelText(const std::string& name, const PixelFont& font, const char* text, double width,
                  double maxVoxel, bool alongMinusX) {
    const PixelBitmap bits = renderPixelText(font, text, 1);
    VoxelGrid grid = makeVoxelGrid(bits.width, 1, bits.height);
    for (int y = 0; y < bits.height; ++y)
        for (int x = 0; x < bits.width; ++x)
            if (pixelAt(bits, x, y))
                setVoxel(&grid, alongMinusX ? bits.width - 1 - x : x, 0, bits.height - 1 - y, true);
    int minX = bits.width, maxX = -1;
    for (int x = 0; x < bits.width; ++x)
        for (int y = 0; y < bits.height; ++y)
            if (pixelAt(bits, x, y)) { minX = std::min(minX, x); maxX = std::max(maxX, x); }
    if (maxX < 0) fail(std::string("no ink in the lettering of '") + text + "'");
    const double voxel = std::fmin(maxVoxel, width / (maxX - minX + 1));
    return voxelMesh(grid, float(voxel), name);
}

// Moves a mesh along z so that its lowest point is at `bottom`.
void standOn(EbrMesh* mesh, float bottom) {
    float lowest = 1e30f;
    for (size_t i = 2; i < mesh->vertices.size(); i += 5) lowest = std::min(lowest, mesh->vertices[i]);
    for (size_t i = 2; i < mesh->vertices.size(); i += 5) mesh->vertices[i] += bottom - lowest;
}

EbrMesh voxelCreature(const GenContext& ctx, const std::string& file, double voxel) {
    VoxelGrid grid;
    std::string error;
    if (!loadVoxelText(ctx.sourceDir + "/meshes/" + file, &grid, &error)) fail(error);
    if (!voxelMirrorSymmetric(grid))
        std::fprintf(stderr, "assetgen: meshes: warning: %s is not left-right symmetric\n", file.c_str());
    return voxelMesh(grid, float(voxel), file.substr(0, file.find('.')));
}

void save(const GenContext& ctx, const std::string& relative, const EbrMesh& mesh) {
    std::string error;
    if (!writeEbr(ctx.outDir + "/" + relative, {mesh}, &error)) fail(error);
    if (ctx.verbose)
        std::fprintf(stderr, "  %s: %d vertices, %d triangles, radius %.1f\n", relative.c_str(),
                     ebrVertexCount(mesh), ebrTriangleCount(mesh), ebrBoundingRadius(mesh));
}

}  // namespace

void generateMeshes(const GenContext& ctx) {
    save(ctx, "box2.ebr", roundedBox("box2", 15.0, 5.0, 2, 1));
    save(ctx, "simplebox.ebr", roundedBox("simplebox", 2.8, 0.0, 0, 1));
    save(ctx, "sphere.ebr", geodesicSphere("sphere", 45.0, 18));
    save(ctx, "thing.ebr", torusKnot("thing", 3, 5, 6.3, 4.4, 0.7, 1.2, 240, 10));
    // Scaled by 2 and seen from y = 10, y = 6 puts the mouth 2 units in front of the eye,
    // beyond the near plane at 1, and y = 250 ends it 490 units out, inside the far plane.
    save(ctx, "tunnell.ebr", tunnel("tunnell", 5.0, 6.0, 250.0, 2.0, 10.0, 72, 32, 1.0 / 6.0));

    save(ctx, "pixeldyr/pxl.ebr", voxelCreature(ctx, "pxl.txt", 10.0));
    save(ctx, "pixeldyr/pxl2.ebr", voxelCreature(ctx, "pxl2.txt", 10.0));

    PixelFont font;
    std::string error;
    if (!loadPixelFont((ctx.sourceDir + "/pixelart/font.txt").c_str(), &font, &error)) fail(error);
    save(ctx, "pixeldyr/pixel.ebr", voxelText("pixel", font, "PIXEL", 200.0, 10.0, false));
    const char* greets[] = {"quillan", "pennart", "drossel", "you", "tindral", "morwick", "valmora"};
    for (const char* word : greets) {
        std::string upper = word;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        EbrMesh mesh = voxelText(word, font, upper.c_str(), 312.0, 12.0, true);
        standOn(&mesh, 160.0f);
        save(ctx, std::string("greets/") + word + ".ebr", mesh);
    }
}
