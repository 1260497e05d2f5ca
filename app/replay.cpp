#include "app/replay.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "app/timeline.h"
#include "audio/music.h"
#include "bands/bands.h"
#include "render3d/renderer.h"

namespace {

// How often the walk keeps the state, and inside scene 4 the picture too: a jump there
// draws at most a third of a second of frames (20 at 60 frames a second, about 40 ms
// natively), for about 330 kB a picture.
constexpr double kStateEverySeconds = 1.0;
constexpr double kPictureEverySeconds = 1.0 / 3.0;

int64_t everyFrames(double seconds, int fps) {
    return std::max<int64_t>(1, std::llround(seconds * fps));
}

// What the replay weighs its ways to a frame by, in hundredths of a drawn frame: a frame
// made with drawing suspended costs about a hundredth of a drawn one, unpacking a kept
// picture about one and a half.
constexpr int64_t kDrawCost = 100;
constexpr int64_t kAdvanceCost = 1;
constexpr int64_t kUnpackCost = 150;

constexpr size_t kPictureBytes = static_cast<size_t>(screenWidth) * screenHeight * 4;

std::vector<uint8_t> packPicture(const Image& image) {
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(kPictureBytes)));
    uLongf used = static_cast<uLongf>(out.size());
    if (compress2(out.data(), &used, reinterpret_cast<const Bytef*>(image.pixels),
                  static_cast<uLong>(kPictureBytes), 1) != Z_OK) {
        return {};
    }
    out.resize(used);
    out.shrink_to_fit();
    return out;
}

bool unpackPicture(const std::vector<uint8_t>& packed, Image* image) {
    uLongf size = static_cast<uLongf>(kPictureBytes);
    return uncompress(reinterpret_cast<Bytef*>(image->pixels), &size, packed.data(),
                      static_cast<uLong>(packed.size())) == Z_OK &&
           size == kPictureBytes;
}

std::vector<Checkpoint>::iterator checkpointAt(Replay* r, int64_t frame) {
    return std::lower_bound(r->checkpoints.begin(), r->checkpoints.end(), frame,
                            [](const Checkpoint& c, int64_t f) { return c.frame < f; });
}

// Before frame k is made: keeps the state when one is due there, and the picture when
// k's scene keeps it, one is due and `exact` says the picture is the straight run's.
void keepCheckpoint(Replay* r, int64_t k, bool exact) {
    if (!r->keepCheckpoints) return;
    const bool stateDue = k % everyFrames(kStateEverySeconds, r->fps) == 0;
    const bool pictureDue = exact && k % replayPictureEvery(r->fps) == 0 &&
                            frameDraws(k, r->fps) && frameReadsPicture(k, r->fps);
    if (!stateDue && !pictureDue) return;
    auto at = checkpointAt(r, k);
    if (at != r->checkpoints.end() && at->frame == k) {
        if (pictureDue && at->picture.empty()) at->picture = packPicture(*screen);
        return;
    }
    Checkpoint c;
    c.frame = k;
    c.state = saveTimelineState(r->scenes);
    if (pictureDue) c.picture = packPicture(*screen);
    r->checkpoints.insert(at, std::move(c));
}

// Makes frame k of the fixed clock as the frame loop does (drawn at fixedClockSceneTime),
// drawing or not.
void makeFrame(Replay* r, int64_t k, bool draw) {
    const float t = fixedClockTime(k, r->fps);
    getMusicSpectrumAt(musicSecondsToBytes(t), r->spectrum);
    const float drawAt = fixedClockSceneTime(t);
    if (draw) {
        renderDemoScenes(r->scenes, t, drawAt, r->spectrum);
    } else {
        SuspendDrawing suspended;
        renderDemoScenes(r->scenes, t, drawAt, r->spectrum);
    }
}

// Whether the picture after frame k is the straight run's, given whether the one before
// was and whether frame k was drawn.
bool exactAfter(const Replay* r, int64_t k, bool exactBefore, bool drawn) {
    if (drawn) return exactBefore || !frameReadsPicture(k, r->fps);
    return exactBefore && !frameDraws(k, r->fps);
}

}  // namespace

int64_t replayPictureEvery(int fps) { return everyFrames(kPictureEverySeconds, fps); }

int64_t gridFrameAt(double seconds, int fps) {
    if (!(seconds > 0.0) || fps <= 0) return 0;
    // Music time is a float: the frame times are compared with the time as a float.
    const float t = static_cast<float>(seconds);
    int64_t n = static_cast<int64_t>(std::floor(seconds * fps));
    while (n > 0 && fixedClockTime(n, fps) > t) --n;
    while (fixedClockTime(n + 1, fps) <= t) ++n;
    return n;
}

bool frameDraws(int64_t n, int fps) { return sceneAt(fixedClockTime(n, fps)) != 0; }

bool frameReadsPicture(int64_t n, int fps) {
    const int scene = sceneAt(fixedClockTime(n, fps));
    return scene == 0 || kSceneKeepsPicture[scene - 1];
}

void initReplay(Replay* r, DemoScenes* scenes, int fps) {
    releaseReplay(r);
    r->scenes = scenes;
    r->fps = fps;
    r->lastFrame = gridFrameAt(kEndTime, fps) + 1;   // the first frame past the end
    Checkpoint start;
    start.frame = 0;
    start.state = saveTimelineState(scenes);
    start.picture = packPicture(*screen);
    r->checkpoints.push_back(std::move(start));
    r->shownFrame = -1;
    r->madeThen = scenes->generation;
    r->walk = Replay::Walk{};
    r->walk.state = r->checkpoints[0].state;
    r->walk.picture = newImage(screenWidth, screenHeight);
    std::memcpy(r->walk.picture->pixels, screen->pixels, kPictureBytes);
}

namespace {

ReplayCost replayFrames(Replay* r, int64_t n) {
    n = std::min(std::max<int64_t>(n, -1), r->lastFrame);
    // m: the newest frame up to n that draws; fresh: the newest up to m that makes its
    // picture afresh (-1: none, the picture goes back to the one before frame 0).
    int64_t m = n;
    while (m >= 0 && !frameDraws(m, r->fps)) --m;
    int64_t fresh = m;
    while (fresh >= 0 && frameReadsPicture(fresh, r->fps)) --fresh;
    const int64_t drawnAfterFresh = std::max<int64_t>(m - std::max<int64_t>(fresh, 0) + 1, 0);

    // The ways in: from a state (made without drawing up to fresh, drawn from there) or
    // from an exact picture after fresh (drawn all the way). The state shown now counts
    // as both while nothing else has been made since the last replay.
    struct Way {
        int64_t start = -1;
        const Checkpoint* from = nullptr;   // null: the state shown now
        bool picture = false;
        int64_t cost = INT64_MAX;
    } best;
    auto consider = [&](int64_t start, const Checkpoint* from, bool picture, int64_t cost) {
        if (cost < best.cost || (cost == best.cost && start > best.start)) {
            best = Way{start, from, picture, cost};
        }
    };
    auto pictureCost = [&](int64_t start) {
        const int64_t drawn = std::max<int64_t>(m - start + 1, 0);
        return drawn * kDrawCost + (n + 1 - start - drawn) * kAdvanceCost;
    };
    auto stateCost = [&](int64_t start) {
        return (fresh - start) * kAdvanceCost + drawnAfterFresh * kDrawCost + (n - m) * kAdvanceCost;
    };
    const bool shownValid = r->shownFrame >= -1 && r->madeThen == r->scenes->generation;
    if (shownValid && r->shownFrame + 1 <= n + 1) {
        const int64_t start = r->shownFrame + 1;
        if (start > fresh) consider(start, nullptr, true, pictureCost(start));
        else consider(start, nullptr, false, stateCost(start));
    }
    for (const Checkpoint& c : r->checkpoints) {
        if (c.frame > n + 1) break;
        if (!c.picture.empty() && c.frame > fresh) consider(c.frame, &c, true, kUnpackCost + pictureCost(c.frame));
        if (c.frame <= fresh) consider(c.frame, &c, false, stateCost(c.frame));
    }

    ReplayCost cost;
    cost.start = best.start;
    cost.fromPicture = best.picture;
    if (best.from) {
        restoreTimelineState(r->scenes, best.from->state);
        if (best.picture && !unpackPicture(best.from->picture, screen)) {
            // Cannot happen with a picture this process packed; start over from frame 0.
            restoreTimelineState(r->scenes, r->checkpoints[0].state);
            unpackPicture(r->checkpoints[0].picture, screen);
            best.start = 0;
        }
    }
    bool exact = best.picture;
    for (int64_t k = best.start; k <= n; ++k) {
        keepCheckpoint(r, k, exact);
        const bool draw = best.picture || k >= fresh;
        makeFrame(r, k, draw);
        exact = exactAfter(r, k, exact, draw);
        if (draw && k <= m) ++cost.drawn;
        else ++cost.advanced;
    }
    r->shownFrame = n;
    r->madeThen = r->scenes->generation;
    return cost;
}

}  // namespace

ReplayCost replayTo(Replay* r, int64_t n) {
    // A jump draws frames back to back: the drawing threads spin between them, as while a
    // frame of the frame loop is drawn (bands/bands.h), and are left as they were found.
    const bool wasAwake = keepWorkersAwake(true);
    const ReplayCost cost = replayFrames(r, n);
    keepWorkersAwake(wasAwake);
    return cost;
}

bool prepareReplay(Replay* r, double seconds) {
    Replay::Walk& w = r->walk;
    if (w.done || !r->scenes) return false;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));

    // The walk's own state and picture in, the shown ones kept aside.
    const TimelineState shown = saveTimelineState(r->scenes);
    Image* const shownScreen = screen;
    const int64_t made = r->scenes->generation;
    restoreTimelineState(r->scenes, w.state);
    screen = w.picture;
    do {
        const int64_t k = w.next;
        keepCheckpoint(r, k, w.exact);
        // Drawn where a later picture depends on this one, or this one on the one before.
        const bool draw = frameReadsPicture(k, r->fps) ||
                          (k < r->lastFrame && frameReadsPicture(k + 1, r->fps));
        makeFrame(r, k, draw);
        w.exact = exactAfter(r, k, w.exact, draw);
        ++w.next;
    } while (w.next <= r->lastFrame && Clock::now() < deadline);
    w.state = saveTimelineState(r->scenes);
    restoreTimelineState(r->scenes, shown);
    screen = shownScreen;
    r->scenes->generation = made;

    if (w.next > r->lastFrame) {
        w.done = true;
        freeImage(w.picture);
        w.picture = nullptr;
    }
    return !w.done;
}

ReplayCost skipToFrame(DemoScenes* scenes, int fps, int64_t first) {
    if (first <= 0) return ReplayCost{};
    Replay replay;
    initReplay(&replay, scenes, fps);
    replay.keepCheckpoints = false;
    const ReplayCost cost = replayTo(&replay, first - 1);
    releaseReplay(&replay);
    return cost;
}

size_t replayPictureBytes(const Replay& r) {
    size_t bytes = 0;
    for (const Checkpoint& c : r.checkpoints) bytes += c.picture.size();
    return bytes;
}

void releaseReplay(Replay* r) {
    r->checkpoints.clear();
    r->checkpoints.shrink_to_fit();
    freeImage(r->walk.picture);
    r->walk = Replay::Walk{};
    r->shownFrame = -1;
    r->madeThen = -1;
}
