// meshview — renders one .ebr model into a 640x480 PNG for content work.
//
//   meshview FILE.ebr --texture PNG [--envmap] [--yaw A] [--pitch B] [--zoom F]
//            [--letterbox] --out OUT.png
//
// The model is framed from its bounds (centred, its bounding sphere filling the height),
// turned by yaw about the vertical axis and then by pitch about the horizontal one (positive
// pitch tilts the top towards the viewer), and
// drawn with drawModel, the same path the scenes take, over a dark background. --zoom moves
// the camera closer so that the model crosses the clip edges; --letterbox draws into the
// scenes' letterbox viewport (0, 30, 640, 400) instead of the whole image.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "assets/image.h"
#include "assets/mesh.h"
#include "render3d/draw.h"
#include "render3d/renderer.h"

namespace {

constexpr uint32_t kBackground = 0xFF14161Cu;
constexpr float kFovDegrees = 45.0f;
constexpr float kDegreesToRadians = 3.14159265358979f / 180.0f;

struct Bounds {
    Vec3 center{0, 0, 0};
    float radius = 0;
    long vertices = 0;
    long triangles = 0;
};

Bounds measure(const Model& model) {
    Bounds b;
    Vec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    for (int32_t i = 0; i < model.meshCount; ++i) {
        const Mesh& m = *model.meshes[i];
        b.vertices += m.vertexCount;
        b.triangles += m.indexCount / 3;
        for (int32_t k = 0; k < m.vertexCount; ++k) {
            const Vertex& v = m.vertices[k];
            lo = Vec3{std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
            hi = Vec3{std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
        }
    }
    if (b.vertices == 0) return b;
    b.center = Vec3{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    for (int32_t i = 0; i < model.meshCount; ++i) {
        const Mesh& m = *model.meshes[i];
        for (int32_t k = 0; k < m.vertexCount; ++k) {
            const Vertex& v = m.vertices[k];
            const float dx = v.x - b.center.x, dy = v.y - b.center.y, dz = v.z - b.center.z;
            b.radius = std::max(b.radius, std::sqrt(dx * dx + dy * dy + dz * dz));
        }
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Renders one .ebr model through the demo's 3D renderer into a 640x480 PNG."};
    std::string meshPath, texturePath, outPath;
    bool envMap = false;
    float yaw = 30.0f, pitch = 20.0f, zoom = 1.0f;
    bool letterbox = false;
    app.add_option("FILE", meshPath, "the .ebr mesh file")->required()->check(CLI::ExistingFile);
    app.add_option("--texture", texturePath, "PNG texture (256x256 like the demo's)")
        ->required()
        ->check(CLI::ExistingFile);
    app.add_flag("--envmap", envMap, "texture coordinates from the eye-space normals");
    app.add_option("--yaw", yaw, "turn about the vertical axis, in degrees")->capture_default_str();
    app.add_option("--pitch", pitch, "tilt about the horizontal axis, in degrees (positive shows the top)")->capture_default_str();
    app.add_option("--zoom", zoom, "move the camera closer by this factor (above 1 the model is cut by the clip edges)")
        ->capture_default_str()
        ->check(CLI::Range(0.05f, 100.0f));
    app.add_flag("--letterbox", letterbox, "draw into the letterbox viewport (0, 30, 640, 400)");
    app.add_option("--out", outPath, "the PNG to write")->required();
    CLI11_PARSE(app, argc, argv);

    FILE* file = std::fopen(meshPath.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "meshview: cannot open %s\n", meshPath.c_str());
        return 1;
    }
    Model model{nullptr, 0};
    std::string error;
    if (!loadModel(file, &model, &error)) {
        std::fprintf(stderr, "meshview: %s: %s\n", meshPath.c_str(), error.c_str());
        return 1;
    }
    const Bounds bounds = measure(model);
    if (bounds.vertices == 0 || bounds.triangles == 0) {
        std::fprintf(stderr, "meshview: %s has nothing to draw (%ld vertices, %ld triangles)\n",
                     meshPath.c_str(), bounds.vertices, bounds.triangles);
        return 1;
    }

    // Exits with a message of its own if the file is not a usable PNG.
    Texture texture;
    loadTexture(&texture, texturePath.c_str());

    // Camera on +z looking at the origin; the bounding sphere just fits the vertical field
    // of view with a little margin.
    const float radius = bounds.radius > 0 ? bounds.radius : 1.0f;
    const float distance =
        1.08f * radius / std::sin(kFovDegrees * 0.5f * kDegreesToRadians) / zoom;
    Mat4 center = mat4Identity();
    center[12] = -bounds.center.x;
    center[13] = -bounds.center.y;
    center[14] = -bounds.center.z;
    Mat4 turnY, turnX, tmp;
    // Row-vector rotations turn the opposite way to the textbook sense; negate so that a
    // positive yaw turns the front to the right and a positive pitch shows the top.
    mat4RotateAxis(turnY, -yaw * kDegreesToRadians, Vec3{0, 1, 0});
    mat4RotateAxis(turnX, -pitch * kDegreesToRadians, Vec3{1, 0, 0});
    mat4Multiply(tmp, center, turnY);
    mat4Multiply(renderer.model, tmp, turnX);
    mat4LookAt(renderer.view, Vec3{0, 0, distance}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    // Near and far enclose the bounding sphere; a camera inside it keeps a small near plane.
    const float nearZ = std::max(distance - 1.1f * radius, 0.01f * radius);
    renderer.viewportX = 0;
    renderer.viewportY = letterbox ? 30 : 0;
    renderer.viewportWidth = screenWidth;
    renderer.viewportHeight = letterbox ? 400 : screenHeight;
    mat4Perspective(renderer.projection, kFovDegrees,
                    static_cast<float>(renderer.viewportWidth) / renderer.viewportHeight, nearZ,
                    distance + 1.1f * radius);

    std::fill(screen->pixels, screen->pixels + screen->width * screen->height, kBackground);
    clearDepth(&renderer, screen->width * screen->height);
    renderer.texture = &texture;
    renderer.envMap = envMap;
    const auto start = std::chrono::steady_clock::now();
    drawModel(&renderer, &model);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    if (!writePng(outPath.c_str(), *screen, false, &error)) {
        std::fprintf(stderr, "meshview: cannot write %s: %s\n", outPath.c_str(), error.c_str());
        return 1;
    }
    std::printf("meshview: %s -> %s (%d meshes, %ld vertices, %ld triangles, radius %.3g, drawn in %.2f ms)\n",
                meshPath.c_str(), outPath.c_str(), model.meshCount, bounds.vertices,
                bounds.triangles, static_cast<double>(radius), ms);
    clearModel(&model);
    for (int32_t level = 0; level <= texture.maxLevel; ++level) freeImage(texture.levels[level]);
    delete[] texture.levels;
    return 0;
}
