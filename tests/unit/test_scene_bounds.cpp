// The scenes' bound tables (kScene1Bounds ... kScene7Bounds, looked up by onSceneBound) are
// complete: every window a scene tests t against has its bounds listed, and nothing else
// is. The fixed clock moves its frames off these bounds (app/timeline.h), so a bound left
// out would let an export blink where live play does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/startup.h"
#include "scenes/scene_table.h"
#include "scenes/window.h"

namespace {

std::set<float>* probed = nullptr;

void recordWindow(float start, float end) {
    probed->insert(start);
    probed->insert(end);
}

}  // namespace

// Each scene draws at the midpoint between every two neighbouring times of its table and
// window, so every branch the table implies runs; every window tested on the way tells
// its bounds. The bounds told must be exactly the table.
TEST(SceneBounds, EveryWindowTheScenesTestIsInTheirTable) {
    installDemoAssetReporter();
    DemoScenes* scenes = loadDemoScenes();
    const float spectrum[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < kSceneCount; ++i) {
        const SceneWindow window = kScenes[i].window;
        const SceneBounds& own = kSceneBounds[i];
        const std::set<float> table(own.bounds, own.bounds + own.count);
        std::set<float> times = table;
        times.insert(window.start);
        times.insert(window.end);
        std::set<float> seen;
        probed = &seen;
        windowProbe = recordWindow;
        for (auto it = times.begin(); std::next(it) != times.end(); ++it) {
            const float t = (*it + *std::next(it)) / 2.0f;
            if (insideWindow(window, t)) kScenes[i].render(scenes->states[i], SceneFrame{t, spectrum, 0.02f});
        }
        windowProbe = nullptr;
        for (float b : seen) EXPECT_TRUE(table.count(b)) << "scene " << i + 1 << " tests a window bound " << b << " missing from its table";
        for (float b : table) EXPECT_TRUE(seen.count(b)) << "scene " << i + 1 << " lists " << b << ", which none of its windows uses";
        EXPECT_TRUE(std::is_sorted(own.bounds, own.bounds + own.count)) << "scene " << i + 1;
    }
}

// A window test written without inWindow would escape the probe above: the scenes never
// compare t with < or > themselves.
TEST(SceneBounds, ScenesTestWindowsOnlyThroughInWindow) {
    const std::regex comment("//[^\n]*");
    const std::regex bare("(^|[^\\w.>])t\\s*[<>]|[<>]=?\\s*t($|[^\\w.(])");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DEMO_SOURCE_DIR "/scenes")) {
        if (entry.path().extension() != ".cpp") continue;
        ++files;
        std::ifstream in(entry.path());
        const std::string code = std::regex_replace(
            std::string((std::istreambuf_iterator<char>(in)), {}), comment, "");
        std::smatch match;
        EXPECT_FALSE(std::regex_search(code, match, bare))
            << entry.path().filename() << ": \"" << match.str() << "\" compares t directly";
    }
    EXPECT_GE(files, 7);
}

// onSceneBound knows each scene's own bounds, exactly those floats.
TEST(SceneBounds, OnSceneBoundIsExactlyTheScenesListedFloats) {
    struct Case { int scene; float t; } cases[] = {
        {1, 6.1f}, {2, 24.0f}, {3, 35.08f}, {4, 72.4f}, {5, 96.0f}, {6, 101.1f}, {7, 146.0f},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(onSceneBound(c.scene, c.t)) << c.t;
        EXPECT_FALSE(onSceneBound(c.scene, std::nextafter(c.t, 1e9f))) << c.t;
        EXPECT_FALSE(onSceneBound(c.scene, std::nextafter(c.t, -1e9f))) << c.t;
        EXPECT_FALSE(onSceneBound(c.scene % 7 + 1, c.t)) << "another scene's bound " << c.t;
    }
    EXPECT_FALSE(onSceneBound(0, 6.1f));
    EXPECT_FALSE(onSceneBound(1, 6.25f));
}
