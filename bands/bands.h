// bands/bands.h — the drawing threads. A heavy drawing operation (a blit over many rows, a
// mesh, a fade, the wave distortion) splits the rows it writes into one band per drawing
// thread, runs every band at once and returns when all of them are done: a fork and a join
// inside the one call, so the caller sees the operation whole, as before. The calling
// thread draws band 0 itself; workers 1 .. n-1 wait for the next fork between operations.
//
// The bands of one operation are disjoint runs of the destination's rows, so every pixel is
// written by exactly one thread, and within a band in the order the operation writes it.
// Each operation makes a band's rows exactly what it would make them in one pass over all
// rows (nothing is scaled by the number of bands), so the pictures are the same for any
// number of threads; the golden-frame test renders them with 1, 2, 3 and 7.
//
// Offers: RowBand, kEveryRow, kMaxDrawingThreads, drawingThreads, setDrawingThreads,
//         usableCores, defaultDrawingThreads, keepWorkersAwake, forEachBand, ForkTimes,
//         forkTimes.
// Needs:  the C++ threads; on POSIX systems the workers block every asynchronous signal,
//         so a stop signal always reaches the thread that runs the frame loop.
#pragma once
#include <cstdint>
#include <limits>
#include <type_traits>

// Rows begin .. end-1.
struct RowBand {
    int32_t begin;
    int32_t end;
};
constexpr RowBand kEveryRow{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};

constexpr int kMaxDrawingThreads = 16;

// Threads that draw, the calling thread included: 1 (no worker: everything on the calling
// thread, as a single-threaded program) until setDrawingThreads says otherwise.
int drawingThreads();

// Ends the workers there are and starts n - 1 new ones (n is clamped to 1 .. 16). Called at
// start-up and by tests, never while a fork runs; no thread is made anywhere else.
void setDrawingThreads(int n);

// Processor cores this process may run on (its affinity mask where the system has one).
int usableCores();
// usableCores(), at most 8.
int defaultDrawingThreads();

// On while a frame is being drawn: the workers are woken at once (while the frame's first
// operations run on the calling thread) and spin between its forks instead of sleeping, so
// each fork finds them running. Off again after the frame: they sleep once a short spin
// finds no fork, and use no processor time between frames. With more drawing threads than
// the cores the process may use, the setting is kept but the workers sleep between forks
// as ever (spinning, they would take the cores from the threads with work to do). Nothing
// changes in the pictures. Returns the setting it replaces.
bool keepWorkersAwake(bool on);

// Operations smaller than this many pixels run on the calling thread alone: a fork and a
// join cost more than sharing them saves.
constexpr int64_t kForkMinPixels = 4 * 1024;

using BandJob = void (*)(void* context, RowBand band);
// Runs job(context, band) once for each of drawingThreads() bands of `rows` (the calling
// thread takes the first) and returns when every band is done. The bands split the rows of
// `split` (within `rows`) evenly, the first reaching up to rows.begin and the last down to
// rows.end, so together they are exactly `rows`. Empty bands are skipped.
void runBands(RowBand rows, RowBand split, BandJob job, void* context);

// f(band) for the bands of `rows` split where `split` says (an operation whose work lies in
// some of its rows: a mesh); `pixels` estimates the operation's work. With one drawing
// thread or below kForkMinPixels, f(rows) runs on the calling thread alone, and so does an
// operation started inside a band (the band's own job, on its thread).
template <class F>
void forEachBand(RowBand rows, RowBand split, int64_t pixels, F&& f) {
    if (rows.end <= rows.begin) return;
    if (pixels < kForkMinPixels || drawingThreads() == 1) {
        f(rows);
        return;
    }
    using Fn = typename std::remove_reference<F>::type;
    runBands(rows, split, [](void* context, RowBand band) { (*static_cast<Fn*>(context))(band); },
             const_cast<void*>(static_cast<const void*>(&f)));
}

// The same with the rows split evenly.
template <class F>
void forEachBand(RowBand rows, int64_t pixels, F&& f) {
    forEachBand(rows, rows, pixels, static_cast<F&&>(f));
}

// What moving or transforming one of a mesh's vertices costs, in pixels: the same split
// serves items that are not rows, such as the vertices 0 .. n-1 of a mesh each made from
// its own inputs alone (forEachBand(RowBand{0, n}, n * kVertexWork, f)).
constexpr int64_t kVertexWork = 16;

// The forks made since the process started and what they cost the forking thread (for
// the bench's figures): the time from each fork to its join, and the part of it spent
// waiting at the join for bands other threads were still drawing.
struct ForkTimes {
    int64_t forks;
    double seconds;
    double joinWaitSeconds;
};
ForkTimes forkTimes();
