// The scenes' bound tables (kScene1Bounds ... kScene7Bounds, looked up by onSceneBound) are
// complete: every window a scene tests t against has its bounds listed, and nothing else
// is. The fixed clock moves its frames off these bounds (app/timeline.h), so a bound left
// out would let an export blink where live play does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    // The scenes live until the process ends, as in the demo.
    static DemoScenes* const scenes = loadDemoScenes();
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
namespace {

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The first comparison of the bare name t with <, <=, > or >= in code, or "" when there is
// none. Comments are skipped; members (x.t, p->t) and calls (t(...)) are not t.
std::string bareComparisonOfT(const std::string& source) {
    std::string code;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source.compare(i, 2, "//") == 0) {
            while (i < source.size() && source[i] != '\n') ++i;
        }
        if (i < source.size()) code += source[i];
    }
    const size_t n = code.size();
    for (size_t i = 0; i < n; ++i) {
        if (code[i] != 't') continue;
        if (i > 0 && (wordChar(code[i - 1]) || code[i - 1] == '.' || code[i - 1] == '>')) continue;
        if (i + 1 < n && (wordChar(code[i + 1]) || code[i + 1] == '.' || code[i + 1] == '(')) continue;
        size_t right = i + 1;
        while (right < n && std::isspace(static_cast<unsigned char>(code[right]))) ++right;
        size_t left = i;
        while (left > 0 && std::isspace(static_cast<unsigned char>(code[left - 1]))) --left;
        if (left > 0 && code[left - 1] == '=') --left;
        const bool after = right < n && (code[right] == '<' || code[right] == '>');
        const bool before = left > 0 && (code[left - 1] == '<' || code[left - 1] == '>');
        if (after || before) {
            const size_t from = before ? left - 1 : i;
            return code.substr(from, (after ? right + 1 : i + 1) - from);
        }
    }
    return "";
}

}  // namespace

TEST(SceneBounds, TheCheckFindsBareComparisons) {
    struct Case { const char* code; bool found; } cases[] = {
        {"if (t < 3.0f)", true}, {"if (2.0f <= t)", true}, {"x = t>1;", true}, {"a >= t;", true},
        {"inWindow(t, 1.0f, 2.0f)", false}, {"s.t < 1", false}, {"p->t > 1", false},
        {"float tt = at < 2;", false}, {"// t < 3\nreturn t;", false},
    };
    for (const Case& c : cases) EXPECT_EQ(!bareComparisonOfT(c.code).empty(), c.found) << c.code;
}

TEST(SceneBounds, ScenesTestWindowsOnlyThroughInWindow) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DEMO_SOURCE_DIR "/scenes")) {
        if (entry.path().extension() != ".cpp") continue;
        ++files;
        std::ifstream in(entry.path());
        const std::string found = bareComparisonOfT(std::string((std::istreambuf_iterator<char>(in)), {}));
        EXPECT_EQ(found, "") << entry.path().filename() << ": \"" << found << "\" compares t directly";
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
