// bands/bands.cpp — the pool of drawing threads and its fork and join.
//
// One fork is one generation. The forking thread writes the job, moves the generation on
// and wakes the workers that sleep; then every thread, the forking one included, claims
// the fork's bands one at a time (an atomic counter that carries the generation, so a
// worker that wakes late can never claim a band of a later fork) and draws them, until
// none is left; the forking thread then waits for the bands still being drawn. A worker
// the system has not scheduled yet thus delays nothing: its band goes to a thread that is
// running. Which thread draws a band changes nothing in the picture.
// Between forks a worker spins while a frame is being drawn (keepWorkersAwake: waking a
// sleeping thread takes tens of microseconds, often more than the band it would draw) and
// for a short while after, then sleeps on a condition variable until the next frame or
// fork; the forking thread waits for the last band the same way. Nothing is allocated after the threads are
// started.
#include "bands/bands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sched.h>
#endif
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <pthread.h>
#include <signal.h>
#define BANDS_POSIX_SIGNALS 1
#endif

namespace {

// How long a waiting thread spins before it sleeps: longer than the gaps between the heavy
// operations of one frame, far shorter than the gap between two frames of live play.
constexpr auto kSpinTime = std::chrono::microseconds(50);

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

// Spins until ready(), or until kSpinTime has passed while `awake` is off; the clock is
// read every 64 rounds.
template <class Ready, class Awake>
bool spinUntil(Ready ready, Awake awake) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (ready()) return true;
            relax();
        }
        if (!awake() && std::chrono::steady_clock::now() - start > kSpinTime) return ready();
    }
}

struct Pool {
    std::mutex mutex;
    std::condition_variable wake;    // workers sleep here between forks
    std::condition_variable done;    // the forking thread sleeps here for the last band
    // The generation in the high 32 bits, the next band to claim in the low ones.
    std::atomic<uint64_t> claims{0};
    std::atomic<int> finished{0};    // bands of the current fork drawn
    std::atomic<bool> stopping{false};
    std::atomic<bool> awake{false};  // a frame is being drawn: waiting threads spin, never sleep
    // Whether `awake` keeps the workers spinning: only while every drawing thread can have a
    // core of its own. With more threads than cores, threads spinning through a frame would
    // take the cores from the ones with work to do, so then they sleep between forks.
    bool spinThroughFrames = false;
    int sleepers = 0;                // workers asleep on `wake` (under mutex)
    bool joinerAsleep = false;       // the forking thread is asleep on `done` (under mutex)
    uint32_t generation = 0;         // the forking thread's count
    // The current fork, written before its generation starts and read only by a thread that
    // has claimed one of its bands, so never while it changes.
    BandJob job = nullptr;
    void* context = nullptr;
    RowBand rows{0, 0};
    RowBand split{0, 0};
    int threads = 1;                 // also the bands of every fork; fixed while workers run
    std::vector<std::thread> workers;

    ~Pool() { stop(); }
    void stop();
    void start(int n);
    void startGeneration();
    bool spinning() const { return spinThroughFrames && awake.load(std::memory_order_acquire); }
};

Pool pool;
// Written only by the forking thread (one at a time: the pool has one current fork).
ForkTimes times{0, 0.0, 0.0};
// Set while this thread runs a band: an operation started there runs whole on it.
thread_local bool inBand = false;

// Band `index` of `count`: rows.begin, then the even split points of `split`, then rows.end.
int32_t splitPoint(RowBand rows, RowBand split, int index, int count) {
    if (index == 0) return rows.begin;
    if (index == count) return rows.end;
    const int32_t begin = std::min(std::max(split.begin, rows.begin), rows.end);
    const int32_t end = std::min(std::max(split.end, begin), rows.end);
    const int64_t length = static_cast<int64_t>(end) - begin;
    return static_cast<int32_t>(begin + length * index / count);
}

RowBand bandOf(RowBand rows, RowBand split, int index, int count) {
    return RowBand{splitPoint(rows, split, index, count), splitPoint(rows, split, index + 1, count)};
}

// Claims the bands of generation `generation` one by one and draws them, until none is
// left or a later fork has begun.
void drawBands(Pool* p, uint32_t generation) {
    const int count = p->threads;
    for (;;) {
        uint64_t c = p->claims.load(std::memory_order_acquire);
        do {
            if (static_cast<uint32_t>(c >> 32) != generation || static_cast<int>(c & 0xFFFFFFFFu) >= count)
                return;
        } while (!p->claims.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel,
                                                   std::memory_order_acquire));
        const RowBand band = bandOf(p->rows, p->split, static_cast<int>(c & 0xFFFFFFFFu), count);
        if (band.end > band.begin) {
            inBand = true;
            p->job(p->context, band);
            inBand = false;
        }
        if (p->finished.fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
            std::lock_guard<std::mutex> lock(p->mutex);
            if (p->joinerAsleep) p->done.notify_one();
        }
    }
}

void workerMain(Pool* p, uint32_t seen) {
    for (;;) {
        auto moved = [p, seen] {
            return static_cast<uint32_t>(p->claims.load(std::memory_order_acquire) >> 32) != seen;
        };
        if (!spinUntil(moved, [p] { return p->spinning(); })) {
            std::unique_lock<std::mutex> lock(p->mutex);
            ++p->sleepers;
            p->wake.wait(lock, [p, &moved] { return moved() || p->spinning(); });
            --p->sleepers;
            // Woken for a frame's drawing, before its first fork: spin for it.
            if (!moved()) continue;
        }
        seen = static_cast<uint32_t>(p->claims.load(std::memory_order_acquire) >> 32);
        if (p->stopping.load(std::memory_order_acquire)) return;
        drawBands(p, seen);
    }
}

// Opens the next generation's bands and wakes the workers that sleep.
void Pool::startGeneration() {
    finished.store(0, std::memory_order_relaxed);
    ++generation;
    claims.store(static_cast<uint64_t>(generation) << 32, std::memory_order_release);
    std::lock_guard<std::mutex> lock(mutex);
    if (sleepers > 0) wake.notify_all();
}

void Pool::stop() {
    if (workers.empty()) return;
    stopping.store(true, std::memory_order_release);
    startGeneration();
    for (std::thread& worker : workers) worker.join();
    workers.clear();
    stopping.store(false, std::memory_order_relaxed);
    awake.store(false, std::memory_order_relaxed);
    threads = 1;
}

void Pool::start(int n) {
    threads = n;
    spinThroughFrames = n <= usableCores();
    workers.reserve(static_cast<size_t>(n - 1));
#ifdef BANDS_POSIX_SIGNALS
    // The workers start with every asynchronous signal blocked (a thread inherits the mask
    // of the one that makes it): a stop signal then interrupts the frame loop's own thread,
    // whichever blocking call it is in, and is never taken by a drawing thread.
    sigset_t blocked, previous;
    sigfillset(&blocked);
    for (int sync : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
        sigdelset(&blocked, sync);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
#endif
    for (int i = 1; i < n; ++i) workers.emplace_back(workerMain, this, generation);
#ifdef BANDS_POSIX_SIGNALS
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
#endif
}

}  // namespace

int drawingThreads() { return pool.threads; }

void setDrawingThreads(int n) {
    n = std::min(std::max(n, 1), kMaxDrawingThreads);
    if (n == pool.threads) return;
    pool.stop();
    if (n > 1) pool.start(n);
}

int usableCores() {
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
#elif defined(_WIN32)
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        int count = 0;
        for (; process; process &= process - 1) ++count;
        return count;
    }
#endif
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

int defaultDrawingThreads() { return std::min(usableCores(), 8); }

void runBands(RowBand rows, RowBand split, BandJob job, void* context) {
    Pool& p = pool;
    if (p.threads == 1 || inBand) {
        job(context, rows);
        return;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point forked = Clock::now();
    p.job = job;
    p.context = context;
    p.rows = rows;
    p.split = split;
    p.startGeneration();
    drawBands(&p, p.generation);
    const Clock::time_point ownDone = Clock::now();
    auto finished = [] { return pool.finished.load(std::memory_order_acquire) == pool.threads; };
    if (!spinUntil(finished, [] { return pool.spinning(); })) {
        std::unique_lock<std::mutex> lock(p.mutex);
        p.joinerAsleep = true;
        p.done.wait(lock, finished);
        p.joinerAsleep = false;
    }
    const Clock::time_point joined = Clock::now();
    times.forks += 1;
    times.seconds += std::chrono::duration<double>(joined - forked).count();
    times.joinWaitSeconds += std::chrono::duration<double>(joined - ownDone).count();
}

ForkTimes forkTimes() { return times; }

bool keepWorkersAwake(bool on) {
    Pool& p = pool;
    const bool was = p.awake.load(std::memory_order_relaxed);
    if (p.threads == 1 || was == on) return was;
    p.awake.store(on, std::memory_order_release);
    if (!on) return was;
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.sleepers > 0) p.wake.notify_all();
    return was;
}
