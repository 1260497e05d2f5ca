// render3d/renderer.cpp — the global 3D state, constructed before main and torn down at
// process exit. It owns the screen image, the depth buffer and the transformed-vertex
// buffer; nothing else in the 3D side allocates.
#include "render3d/renderer.h"

#include <algorithm>

#include "bands/bands.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// The screen image the renderer created. A scene may leave `screen` pointing elsewhere;
// teardown frees only this one.
Image* ownedScreen = nullptr;
}  // namespace

Renderer::Renderer()
    : transformedVertices(new float[static_cast<size_t>(kTransformedVertexSlots) * 9]),
      triangleReach(new TriangleReach[kTriangleReachSlots]),
      model(mat4Identity()),
      view(mat4Identity()),
      projection(mat4Identity()),
      screen(nullptr),
      texture(nullptr),
      depthBuffer(new float[static_cast<size_t>(screenWidth) * screenHeight]),
      envMap(false),
      clipping(true),
      mipmapping(true),
      mipBias(0.0f),
      viewportX(0),
      viewportY(0),
      viewportWidth(screenWidth),
      viewportHeight(screenHeight),
      clipPlanes{} {
    // Allocated here rather than through newImage so that construction needs nothing else
    // to be initialised first. The pixels start black.
    ownedScreen = new Image{new uint32_t[static_cast<size_t>(screenWidth) * screenHeight](),
                            screenWidth, screenHeight};
    screen = ownedScreen;
}

Renderer::~Renderer() {
    delete[] transformedVertices;
    delete[] triangleReach;
    delete[] depthBuffer;
    if (ownedScreen) {
        delete[] ownedScreen->pixels;
        delete ownedScreen;
    }
    if (screen == ownedScreen) screen = nullptr;
    ownedScreen = nullptr;
    transformedVertices = nullptr;
    depthBuffer = nullptr;
}

Renderer renderer;
Image*& screen = renderer.screen;

void clearDepth(Renderer* r, int32_t count) {
    if (drawingSuspended()) return;
    const int32_t n = std::min(std::max(count, 0), screenWidth * screenHeight);
    // The entries shared out among the drawing threads, a run each.
    forEachBand(RowBand{0, n}, n, [r](RowBand run) {
        float* depth = r->depthBuffer + run.begin;
        const int32_t length = run.end - run.begin;
        int32_t i = 0;
#ifdef __SSE2__
        // Four values a store: a plain fill of floats stays one store per value at -O2, and
        // the 3D scenes clear the whole buffer every frame.
        const __m128 one = _mm_set1_ps(1.0f);
        for (; i + 16 <= length; i += 16) {
            _mm_storeu_ps(depth + i, one);
            _mm_storeu_ps(depth + i + 4, one);
            _mm_storeu_ps(depth + i + 8, one);
            _mm_storeu_ps(depth + i + 12, one);
        }
#endif
        std::fill(depth + i, depth + length, 1.0f);
    });
}

namespace {

// The one list of the settings, for both directions: Renderer and RendererSettings name
// their fields alike.
template <class To, class From>
void copySettings(To& to, const From& from) {
    to.model = from.model;
    to.view = from.view;
    to.projection = from.projection;
    to.screen = from.screen;
    to.texture = from.texture;
    to.envMap = from.envMap;
    to.clipping = from.clipping;
    to.mipmapping = from.mipmapping;
    to.mipBias = from.mipBias;
    to.viewportX = from.viewportX;
    to.viewportY = from.viewportY;
    to.viewportWidth = from.viewportWidth;
    to.viewportHeight = from.viewportHeight;
    for (int i = 0; i < 6; ++i) to.clipPlanes[i] = from.clipPlanes[i];
}

}  // namespace

RendererSettings saveRendererSettings(const Renderer& r) {
    RendererSettings s;
    copySettings(s, r);
    return s;
}

void restoreRendererSettings(Renderer* r, const RendererSettings& settings) {
    copySettings(*r, settings);
}

void setLetterbox(Renderer* r) {
    r->viewportX = 0;
    r->viewportY = 30;
    r->viewportWidth = screenWidth;
    r->viewportHeight = 400;
}
