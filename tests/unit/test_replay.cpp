// Exact jumps (app/replay.h): a replay to frame n leaves the very picture and state a
// straight run from the start leaves there, on the 60 frames a second clock of live play
// and on the golden frames' 10 frames a second.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/framehash.h"
#include "app/replay.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "assets/report.h"
#include "audio/music.h"
#include "gfx2d/blit.h"
#include "render3d/renderer.h"
#include "tests/unit/golden_file.h"

namespace {

// The scenes and the music, and a replay of each clock made before any frame, while the
// process holds the state a straight run starts from.
struct World {
    DemoScenes* scenes;
    Replay at60;
    Replay at10;
};

World& world() {
    static World* w = [] {
        World* made = new World();
        installDemoAssetReporter();
        if (!loadMusic(kMusicPath)) ADD_FAILURE() << musicError();
        made->scenes = loadDemoScenes();
        initReplay(&made->at60, made->scenes, 60);
        initReplay(&made->at10, made->scenes, 10);
        return made;
    }();
    return *w;
}

// Frame n of the fixed clock, drawn, as the frame loop makes it (stepFrame).
void makeFrame(DemoScenes* scenes, int64_t n, int fps) {
    float spectrum[kSpectrumCapacity];
    const float t = fixedClockTime(n, fps);
    getMusicSpectrumAt(musicSecondsToBytes(t), spectrum);
    renderDemoScenes(scenes, t, fixedClockSceneTime(t), spectrum);
}

}  // namespace

TEST(Replay, GridFrameIsTheLastAtOrBeforeTheTime) {
    struct Case {
        double seconds;
        int fps;
        int64_t frame;
    } cases[] = {
        {0.0, 60, 0},    {-3.0, 60, 0},   {0.0166, 60, 0},  {1.0 / 60, 60, 1},
        {12.0, 60, 720}, {72.4, 60, 4344}, {72.45, 60, 4347}, {2.5, 10, 25},
        {2.49, 10, 24},  {149.0, 60, 8940},
    };
    for (const Case& c : cases) {
        const int64_t n = gridFrameAt(c.seconds, c.fps);
        EXPECT_EQ(n, c.frame) << c.seconds << " s at " << c.fps;
        EXPECT_LE(fixedClockTime(n, c.fps), std::max(static_cast<float>(c.seconds), 0.0f));
        EXPECT_GT(fixedClockTime(n + 1, c.fps), static_cast<float>(c.seconds));
    }
}

// Replays at 10 frames a second land on the stored golden frames, in an order that goes
// back and forth, each from whatever the one before left.
TEST(Replay, GoldenFramesAfterJumps) {
    World& w = world();
    std::vector<int64_t> frames;
    const std::vector<uint64_t> stored = readGoldenFile(&frames);
    ASSERT_FALSE(stored.empty());
    std::vector<size_t> order(stored.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = (i * 7) % order.size();
    for (size_t i : order) {
        replayTo(&w.at10, frames[i]);
        EXPECT_EQ(frameHash(*screen), stored[i]) << "frame " << frames[i];
    }
}

// Every scene but 4 makes its whole picture afresh: at frames sampled across them (every
// 37th of the 60 frames a second clock), drawn over a scrambled picture and over the
// straight run's, a frame comes out the same. The replay draws only the target frame there.
TEST(Replay, NoSceneButFourReadsThePictureBefore) {
    World& w = world();
    std::vector<uint32_t> saved(static_cast<size_t>(screenWidth) * screenHeight);
    int sampled = 0;
    for (int64_t n = 1; n < w.at60.lastFrame; n += 37) {
        const int scene = sceneAt(fixedClockTime(n, 60));
        if (scene == 0 || kSceneKeepsPicture[scene - 1]) continue;
        replayTo(&w.at60, n - 1);
        const TimelineState before = saveTimelineState(w.scenes);
        std::copy(screen->pixels, screen->pixels + saved.size(), saved.begin());
        for (size_t i = 0; i < saved.size(); ++i) screen->pixels[i] = static_cast<uint32_t>(i * 2654435761u);
        makeFrame(w.scenes, n, 60);
        const uint64_t over = frameHash(*screen);
        restoreTimelineState(w.scenes, before);
        std::copy(saved.begin(), saved.end(), screen->pixels);
        makeFrame(w.scenes, n, 60);
        EXPECT_EQ(frameHash(*screen), over) << "scene " << scene << " frame " << n
                                            << " depends on the picture before it";
        ++sampled;
    }
    EXPECT_GT(sampled, 180);
}

// One straight run at 60 frames a second, live play's clock, against jumps to a dozen
// times in scenes 1 to 5 (the golden frames' jumps above reach every scene): scene 3's
// beat-driven spin, scene 4's trails from its start to its end, and the frames exactly on
// a window's bound (12 s, 72.4 s), which keep the picture before them, and one on a bound
// inside scene 5 (80 s), drawn an instant later.
TEST(Replay, JumpsAt60MatchAStraightRun) {
    World& w = world();
    Replay& r = w.at60;
    const double times[] = {0.0,   5.55, 12.0, 18.3, 30.0, 47.99, 48.01,
                            55.55, 63.3, 71.9, 72.4, 80.0};
    std::map<int64_t, uint64_t> straight;
    for (double t : times) straight[gridFrameAt(t, 60)] = 0;
    const int64_t last = straight.rbegin()->first;

    replayTo(&r, -1);   // as a fresh process starts
    for (int64_t n = 0; n <= last; ++n) {
        makeFrame(w.scenes, n, 60);
        auto at = straight.find(n);
        if (at != straight.end()) at->second = frameHash(*screen);
    }

    // Forward, backward, to the same frame twice, and after frames made on another clock.
    std::vector<int64_t> order;
    for (const auto& [n, hash] : straight) order.push_back(n);
    std::vector<int64_t> backwards(order.rbegin(), order.rend());
    order.insert(order.end(), backwards.begin(), backwards.end());
    order.push_back(order.front());
    for (int64_t n : order) {
        const ReplayCost cost = replayTo(&r, n);
        EXPECT_EQ(frameHash(*screen), straight[n]) << "frame " << n << " from " << cost.start;
        // A few frames on the music clock's own times: the next jump cannot start here.
        for (int i = 1; i <= 3; ++i) makeFrame(w.scenes, n * 3 + i, 180);
    }

    // With every checkpoint taken ahead of need: the same frames, scene 4's from its kept
    // pictures.
    while (prepareReplay(&r, 0.5)) {
    }
    EXPECT_GT(replayPictureBytes(r), 0u);
    for (int64_t n : order) {
        const ReplayCost cost = replayTo(&r, n);
        EXPECT_EQ(frameHash(*screen), straight[n]) << "frame " << n << " (prepared)";
        EXPECT_LT(cost.drawn, replayPictureEvery(60)) << "frame " << n;
    }
}
