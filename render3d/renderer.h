// render3d/renderer.h — the one global 3D state the scenes write field by field, and the
// screen every frame is drawn into.
//
// Offers: screenWidth, screenHeight (from assets/image.h), Renderer, the global `renderer`, the global `screen`
//         (a reference to renderer.screen), RendererSettings with save/restore,
//         clearDepth, setLetterbox.
// Needs:  assets/image.h, render3d/math3d.h.
//
// Per-frame protocol of a scene that draws 3D: optionally point `screen` at an image of
// its own; clear the depth of that image's width*height entries to 1.0; set the viewport,
// matrices, texture and switches; call drawMesh/drawModel; restore `screen`.
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "assets/mesh.h"
#include "render3d/math3d.h"

// One slot for every vertex of the largest mesh the loader accepts.
constexpr int32_t kTransformedVertexSlots = kMaxMeshVertices;

struct Plane { float nx, ny, nz, d; };

// With more than one drawing thread, the rows each triangle of a mesh reaches (the top and
// bottom corner rows plus a half), found once and read by every band; a mesh with more
// triangles than this goes without.
struct TriangleReach {
    float top;
    float bottom;
};
constexpr int32_t kTriangleReachSlots = 1 << 17;

struct Renderer {
    float* transformedVertices;   // kTransformedVertexSlots slots of 9 floats (Vertex layout)
    TriangleReach* triangleReach; // kTriangleReachSlots entries
    Mat4 model;
    Mat4 view;
    Mat4 projection;
    Image* screen;                // the screenWidth x screenHeight image presented every frame
    Texture* texture;
    float* depthBuffer;           // screenWidth * screenHeight floats, y*width + x
    bool envMap;
    bool clipping;
    bool mipmapping;
    float mipBias;
    int32_t viewportX;
    int32_t viewportY;
    int32_t viewportWidth;
    int32_t viewportHeight;
    Plane clipPlanes[6];

    Renderer();    // allocates the buffers and the screen image; identity matrices
    ~Renderer();   // frees them at process exit
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
};

// The fields a scene sets (all but the buffers), as a record of their own: what puts the
// renderer back as it was found (a test's scope, a run started afresh).
struct RendererSettings {
    Mat4 model;
    Mat4 view;
    Mat4 projection;
    Image* screen;
    Texture* texture;
    bool envMap;
    bool clipping;
    bool mipmapping;
    float mipBias;
    int32_t viewportX;
    int32_t viewportY;
    int32_t viewportWidth;
    int32_t viewportHeight;
    Plane clipPlanes[6];
};
RendererSettings saveRendererSettings(const Renderer& r);
void restoreRendererSettings(Renderer* r, const RendererSettings& settings);

extern Renderer renderer;
// The image all drawing goes to; the same pointer as renderer.screen.
extern Image*& screen;

// Sets depth entries 0 .. count-1 to 1.0 (nothing while drawing is suspended).
void clearDepth(Renderer* r, int32_t count);

// The letterboxed view of the 3D scenes: the projection maps onto the 640x400 band of rows
// 30 to 429. Sets the viewport only; the scene clears screen and depth where it needs to.
void setLetterbox(Renderer* r);
