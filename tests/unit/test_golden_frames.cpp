// Golden frames: fingerprints of frames at fixed times across all seven scenes, rendered on
// the fixed clock exactly as --capture --fps 10 renders them, compared with the stored ones
// in tests/unit/golden_frames.txt. Every blit kernel set this processor runs and both raster
// paths must give exactly those frames, drawn by 1, 2, 3 and 7 threads (bands/bands.h):
// the bands then start in every part of the screen, inside triangles, fades and blits.
//
// After an intended change of the pictures (new content, a changed scene), refresh the
// stored fingerprints from the build folder with
//     PIXELDEMO_GOLDEN_UPDATE=1 ./test_golden_frames --gtest_filter='*FastPaths*/1'
// and look at the frames that changed (pixeldemo --capture ... --fps 10) before committing.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "assets/report.h"
#include "audio/music.h"
#include "bands/bands.h"
#include "app/framehash.h"
#include "app/frameloop.h"
#include "app/startup.h"
#include "gfx2d/blitrows.h"
#include "render3d/raster.h"
#include "render3d/renderer.h"
#include "scenes/scene3_sphere.h"
#include "tests/unit/golden_file.h"

namespace {

constexpr int kFps = 10;

// Frame numbers n (t = n / 10): four or five moments of every scene, the fades, flashes,
// caption shimmers and the beat-driven camera among them.
const int64_t kGoldenFrames[] = {
    15,   50,   65,   80,   110,                 // 1 logo intro
    130,  165,  200,  240,                       // 2 box parade
    260,  306,  330,  367,  420,  475,           // 3 rippling sphere
    490,  550,  620,  700,                       // 4 bronze twist
    740,  800,  880,  945,                       // 5 rolling tunnel
    965,  1030, 1100, 1205,                      // 6 greetings
    1230, 1300, 1380, 1450,                      // 7 light trails
};
constexpr size_t kGoldenCount = sizeof kGoldenFrames / sizeof kGoldenFrames[0];

struct Collector {
    std::vector<uint64_t> hashes;
    size_t next = 0;
};

bool collect(void* context, const FrameInfo& frame) {
    Collector* c = static_cast<Collector*>(context);
    if (c->next < kGoldenCount && frame.number == kGoldenFrames[c->next]) {
        c->hashes.push_back(frameHash(*frame.image));
        ++c->next;
    }
    return c->next < kGoldenCount;
}

// The renderer's settings as the process starts; scenes leave theirs behind (scene 2 draws
// with the viewport and clipping it finds), so every run starts from these again.
// Taken at the first run, before any scene has drawn. Not at static initialisation: this
// file's initialisers may run before the renderer's constructor (another file's), and
// would then keep a renderer of zeros, clipping off and no viewport, that no real run has.
const RendererSettings& startSettings() {
    static const RendererSettings settings = saveRendererSettings(renderer);
    return settings;
}

// The scenes and the music, loaded once for all the runs.
DemoScenes* demoScenes() {
    static DemoScenes* scenes = [] {
        installDemoAssetReporter();
        if (!loadMusic(kMusicPath)) ADD_FAILURE() << musicError();
        return loadDemoScenes();
    }();
    return scenes;
}

// Renders the timeline from its start as a fresh --capture does and returns the
// fingerprints of the golden frames.
std::vector<uint64_t> renderGoldenFrames(const BlitRowKernels* kernels,
                                         TriangleRasterizer rasterizer) {
    const RendererSettings& start = startSettings();
    const BlitRowKernels* savedKernels = blitRows;
    const TriangleRasterizer savedRasterizer = triangleRasterizer;
    blitRows = kernels;
    triangleRasterizer = rasterizer;

    static FrameLoop loop;
    loop.scenes = demoScenes();
    // What a fresh process starts with: a black screen, no previous frame, the renderer's
    // first settings, the sphere's spin at rest.
    restoreRendererSettings(&renderer, start);
    std::fill(screen->pixels, screen->pixels + screenWidth * screenHeight, 0xFF000000u);
    loop.scenes->previousTime = 0.0f;
    scene3Spin = SpinState{0.0f, 1.0f, 0.0f};
    Collector collector;
    loop.clock = fixedClock(kFps, 1);
    loop.frames = 0;
    loop.sink = {&collector, collect};
    runFrameLoop(&loop);

    blitRows = savedKernels;
    triangleRasterizer = savedRasterizer;
    return collector.hashes;
}

void writeStored(const std::vector<uint64_t>& hashes) {
    std::ofstream out(kGoldenPath);
    out << "# Fingerprints (app/framehash.h) of frames n of the fixed clock at 10 frames a\n"
           "# second, t = n / 10, rendered from the start as `pixeldemo --capture DIR --fps 10`\n"
           "# renders them. Written by tests/unit/test_golden_frames.cpp with PIXELDEMO_GOLDEN_UPDATE=1.\n"
           "# n  t  fingerprint\n";
    for (size_t i = 0; i < hashes.size(); ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "%" PRId64 " %.1f %016" PRIx64 "\n", kGoldenFrames[i],
                      static_cast<double>(kGoldenFrames[i]) / kFps, hashes[i]);
        out << line;
    }
}

std::string describe(const std::vector<uint64_t>& got, const std::vector<uint64_t>& want) {
    std::string text;
    for (size_t i = 0; i < kGoldenCount; ++i) {
        if (i < got.size() && i < want.size() && got[i] == want[i]) continue;
        char line[120];
        std::snprintf(line, sizeof line, "  frame %" PRId64 " (t = %.1f s, scene %d) differs\n",
                      kGoldenFrames[i], static_cast<double>(kGoldenFrames[i]) / kFps,
                      sceneAt(static_cast<float>(kGoldenFrames[i]) / kFps));
        text += line;
    }
    return text;
}

}  // namespace

// The golden moments lie inside the scenes' windows, every scene among them.
TEST(GoldenFrames, EveryScenesWindowIsSampled) {
    int perScene[kSceneCount + 1] = {};
    for (int64_t n : kGoldenFrames) perScene[sceneAt(fixedClockTime(n, kFps))] += 1;
    EXPECT_EQ(perScene[0], 0);
    for (int scene = 1; scene <= kSceneCount; ++scene) EXPECT_GE(perScene[scene], 4) << scene;
}

// The frames drawn by this many threads (the parameter): 1 is the program without workers.
class GoldenFramesDrawnBy : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { setDrawingThreads(GetParam()); }
    void TearDown() override { setDrawingThreads(1); }
};

// The fastest paths of this processor make exactly the stored frames.
TEST_P(GoldenFramesDrawnBy, FastPathsMakeTheStoredFrames) {
    const std::vector<uint64_t> got = renderGoldenFrames(bestBlitRowKernels(), rasterizeTriangle);
    ASSERT_EQ(got.size(), kGoldenCount);
    if (std::getenv("PIXELDEMO_GOLDEN_UPDATE") && GetParam() == 1) {
        writeStored(got);
        GTEST_SKIP() << "wrote " << kGoldenPath;
    }
    const std::vector<uint64_t> stored = readGoldenFile();
    ASSERT_EQ(stored.size(), kGoldenCount) << "no fingerprints in " << kGoldenPath;
    EXPECT_EQ(got, stored) << describe(got, stored);
}

// The plain paths: reference blend kernels and the rasteriser's plain walk, then every
// other kernel set with the fast walk.
TEST_P(GoldenFramesDrawnBy, EveryKernelSetAndRasterPathMakesTheStoredFrames) {
    const std::vector<uint64_t> stored = readGoldenFile();
    ASSERT_EQ(stored.size(), kGoldenCount) << "no fingerprints in " << kGoldenPath;
    const std::vector<uint64_t> plain = renderGoldenFrames(&blitRowsReference, rasterizeTriangleAnySize);
    EXPECT_EQ(plain, stored) << "reference blits, plain raster walk:\n" << describe(plain, stored);
    int count = 0;
    const BlitRowKernels* const* sets = blitRowKernelSets(&count);
    for (int i = 0; i < count; ++i) {
        if (sets[i] == bestBlitRowKernels()) continue;   // the test above
        const std::vector<uint64_t> got = renderGoldenFrames(sets[i], rasterizeTriangle);
        EXPECT_EQ(got, stored) << sets[i]->name << " blits:\n" << describe(got, stored);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, GoldenFramesDrawnBy, ::testing::Values(1, 2, 3, 7),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param);
                         });
