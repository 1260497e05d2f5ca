#include "app/jumpbench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/replay.h"
#include "app/timeline.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFps = 60;
constexpr int kSeconds = static_cast<int>(kEndTime);   // jumps to 0 .. 149 s

struct Row {
    int jumps = 0;
    double total = 0.0, worst = 0.0;
    double totalCpu = 0.0, worstCpu = 0.0;
    double worstAt = 0.0;   // the music time jumped to
    int64_t mostDrawn = 0;
};

void timedJump(Replay* replay, int64_t frame, Row* a, Row* b) {
    const Clock::time_point begin = Clock::now();
    const std::clock_t cpuBegin = std::clock();
    const ReplayCost cost = replayTo(replay, frame);
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    const double cpu = static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
    for (Row* row : {a, b}) {
        if (!row) continue;
        row->jumps += 1;
        row->total += wall;
        row->totalCpu += cpu;
        row->worstCpu = std::max(row->worstCpu, cpu);
        if (wall >= row->worst) {
            row->worst = wall;
            row->worstAt = fixedClockTime(frame, kFps);
        }
        row->mostDrawn = std::max(row->mostDrawn, cost.drawn);
    }
}

void printRow(const char* name, const Row& row) {
    if (row.jumps == 0) return;
    std::printf("%s: %d jumps, mean %.2f ms, worst %.2f ms (to %.2f s); processor mean %.2f ms, "
                "worst %.2f ms; at most %lld frames drawn\n",
                name, row.jumps, row.total / row.jumps * 1000.0, row.worst * 1000.0, row.worstAt,
                row.totalCpu / row.jumps * 1000.0, row.worstCpu * 1000.0,
                static_cast<long long>(row.mostDrawn));
}

}  // namespace

struct JumpBench {
    Replay replay;
    Replay fresh;          // the replay as it starts: the start's checkpoint only
    int firstJumps = 0;    // scenes whose first jump is done
    bool walked = false;
    double walkSeconds = 0.0;
    int jumps = 0;         // of the 2 * (kSeconds + 1) jumps after the walk
    Row first, rows[kSceneCount + 1], whole, later;
};

JumpBench* startJumpBench(DemoScenes* scenes) {
    JumpBench* bench = new JumpBench();
    initReplay(&bench->replay, scenes, kFps);
    bench->fresh = bench->replay;
    bench->fresh.walk.picture = nullptr;   // the walk is the bench's own replay's
    return bench;
}

bool jumpBenchStep(JumpBench* b) {
    if (b->firstJumps < kSceneCount) {
        Replay first = b->fresh;
        const int scene = ++b->firstJumps;
        const int second = static_cast<int>(std::ceil(kScenes[scene - 1].window.end)) - 1;
        timedJump(&first, gridFrameAt(second, kFps), &b->first, nullptr);
        return true;
    }
    if (!b->walked) {
        const Clock::time_point begin = Clock::now();
        b->walked = !prepareReplay(&b->replay, 0.1);
        b->walkSeconds += std::chrono::duration<double>(Clock::now() - begin).count();
        return true;
    }
    if (b->jumps >= 2 * (kSeconds + 1)) return false;
    const int pass = b->jumps / (kSeconds + 1);
    const int second = (b->jumps % (kSeconds + 1)) * 67 % (kSeconds + 1);   // 67, 150 coprime
    // The second pass: the frame before the next kept picture's, inside scene 4 the
    // farthest from a kept picture (whole seconds are kept pictures' frames there).
    const int64_t later = replayPictureEvery(kFps) - 2;
    const int64_t frame = std::min(gridFrameAt(second, kFps) + later * pass, b->replay.lastFrame);
    timedJump(&b->replay, frame, &b->rows[sceneAt(fixedClockTime(frame, kFps))],
              pass ? &b->later : &b->whole);
    ++b->jumps;
    return b->jumps < 2 * (kSeconds + 1);
}

void printJumpBench(const JumpBench& b) {
    size_t pictures = 0;
    for (const Checkpoint& c : b.replay.checkpoints) pictures += c.picture.empty() ? 0 : 1;
    std::printf("walk ahead: %.3f s; %zu checkpoints, %zu with pictures (%.1f MB)\n", b.walkSeconds,
                b.replay.checkpoints.size(), pictures,
                static_cast<double>(replayPictureBytes(b.replay)) / 1048576.0);
    printRow("first jump into each scene, before the walk", b.first);
    for (int scene = 0; scene <= kSceneCount; ++scene) {
        char name[16];
        std::snprintf(name, sizeof name, scene ? "scene %d" : "no scene", scene);
        printRow(name, b.rows[scene]);
    }
    printRow("to every second", b.whole);
    char later[40];
    std::snprintf(later, sizeof later, "%lld frames later", static_cast<long long>(replayPictureEvery(kFps) - 2));
    printRow(later, b.later);
    std::fflush(stdout);
}
