#include "exporters/capture.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "gfx2d/tinyfont.h"

struct FrameWriter {
    struct Job {
        int buffer;
        std::string path;
    };
    std::vector<Image*> buffers;
    std::vector<int> freeBuffers;
    std::deque<Job> jobs;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    bool failed = false;
    std::string error;
    std::vector<std::thread> threads;
};

namespace {

void writerThread(FrameWriter* w) {
    std::unique_lock<std::mutex> lock(w->mutex);
    for (;;) {
        w->changed.wait(lock, [w] { return w->stopping || !w->jobs.empty(); });
        if (w->jobs.empty()) return;   // stopping and drained
        FrameWriter::Job job = std::move(w->jobs.front());
        w->jobs.pop_front();
        const bool skip = w->failed;
        lock.unlock();
        std::string error;
        const bool ok = skip || writePng(job.path.c_str(), *w->buffers[job.buffer], false,
                                         PngCompression::fast, &error);
        lock.lock();
        if (!ok && !w->failed) {
            w->failed = true;
            w->error = error.empty() ? "cannot write " + job.path : error;
        }
        w->freeBuffers.push_back(job.buffer);
        w->changed.notify_all();
    }
}

}  // namespace

FrameWriter* startFrameWriter(int width, int height, int buffers) {
    FrameWriter* w = new FrameWriter();
    for (int i = 0; i < std::max(1, buffers); ++i) {
        w->buffers.push_back(newImage(width, height));
        w->freeBuffers.push_back(i);
    }
    // One encoder per core, but no more than there are buffers to encode; the frames are
    // independent files, so they may finish in any order.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t encoders = std::min<size_t>(cores, w->buffers.size());
    for (size_t i = 0; i < encoders; ++i) w->threads.emplace_back(writerThread, w);
    return w;
}

bool queueFrame(FrameWriter* w, const Image& frame, const std::string& path,
                std::string* error) {
    if (frame.width != w->buffers[0]->width || frame.height != w->buffers[0]->height) {
        *error = "frame size differs from the writer's";
        return false;
    }
    std::unique_lock<std::mutex> lock(w->mutex);
    w->changed.wait(lock, [w] { return w->failed || !w->freeBuffers.empty(); });
    if (w->failed) {
        *error = w->error;
        return false;
    }
    const int index = w->freeBuffers.back();
    w->freeBuffers.pop_back();
    lock.unlock();
    // The buffer is ours alone until the job is queued.
    Image* buffer = w->buffers[index];
    std::memcpy(buffer->pixels, frame.pixels,
                static_cast<size_t>(buffer->width) * buffer->height * sizeof(uint32_t));
    lock.lock();
    w->jobs.push_back({index, path});
    w->changed.notify_all();
    return true;
}

bool finishFrameWriter(FrameWriter* w, std::string* error) {
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        w->stopping = true;
    }
    w->changed.notify_all();
    for (std::thread& thread : w->threads) thread.join();
    const bool ok = !w->failed;
    if (!ok) *error = w->error;
    for (Image* image : w->buffers) freeImage(image);
    delete w;
    return ok;
}

std::string captureFramePath(const std::string& dir, int64_t n) {
    char name[64];
    std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(n));
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// --- Contact sheet ----------------------------------------------------------------------

namespace {
constexpr uint32_t kSheetBackground = 0xFF202020;
constexpr uint32_t kLabelColor = 0xFFFFFFFF;
constexpr int kGap = 2;
}  // namespace

ContactSheet* newContactSheet(int64_t frames, int32_t frameWidth, int32_t frameHeight) {
    if (frames < 1 || frameWidth < 1 || frameHeight < 1) return nullptr;
    static const int kDivisors[] = {4, 8, 10, 16, 20};
    for (int divisor : kDivisors) {
        const int32_t tw = std::max(1, frameWidth / divisor);
        const int32_t th = std::max(1, frameHeight / divisor);
        const int32_t scale = tw >= 120 ? 2 : 1;
        const int32_t cellW = tw + kGap;
        const int32_t cellH = th + kTinyGlyphHeight * scale + 3 * kGap;
        // Roughly square sheets: as many columns as rows.
        const int64_t columns = std::max<int64_t>(
            1, static_cast<int64_t>(std::ceil(std::sqrt(static_cast<double>(frames) * cellH / cellW))));
        const int64_t rows = (frames + columns - 1) / columns;
        const int64_t width = columns * cellW + kGap;
        const int64_t height = rows * cellH + kGap;
        if (width * height > kMaxSheetPixels || width > 0x7FFFFFFF || height > 0x7FFFFFFF) continue;
        ContactSheet* sheet = new ContactSheet();
        sheet->image = newImage(static_cast<int32_t>(width), static_cast<int32_t>(height));
        std::fill(sheet->image->pixels, sheet->image->pixels + width * height, kSheetBackground);
        sheet->thumbWidth = tw;
        sheet->thumbHeight = th;
        sheet->cellWidth = cellW;
        sheet->cellHeight = cellH;
        sheet->columns = static_cast<int32_t>(columns);
        sheet->labelScale = scale;
        sheet->capacity = frames;
        sheet->count = 0;
        return sheet;
    }
    return nullptr;
}

void addToContactSheet(ContactSheet* sheet, const Image& frame, float t) {
    if (sheet->count >= sheet->capacity) return;
    const int64_t index = sheet->count++;
    const int32_t x0 = kGap + static_cast<int32_t>(index % sheet->columns) * sheet->cellWidth;
    const int32_t y0 = kGap + static_cast<int32_t>(index / sheet->columns) * sheet->cellHeight;
    Image* out = sheet->image;
    const int32_t tw = sheet->thumbWidth, th = sheet->thumbHeight;
    // Box filter: each thumbnail pixel averages the frame pixels that fall into it.
    for (int32_t ty = 0; ty < th; ++ty) {
        const int32_t sy0 = static_cast<int32_t>(int64_t{ty} * frame.height / th);
        const int32_t sy1 = std::max(sy0 + 1, static_cast<int32_t>(int64_t{ty + 1} * frame.height / th));
        uint32_t* dst = out->pixels + static_cast<size_t>(y0 + ty) * out->width + x0;
        for (int32_t tx = 0; tx < tw; ++tx) {
            const int32_t sx0 = static_cast<int32_t>(int64_t{tx} * frame.width / tw);
            const int32_t sx1 = std::max(sx0 + 1, static_cast<int32_t>(int64_t{tx + 1} * frame.width / tw));
            uint32_t r = 0, g = 0, b = 0, n = 0;
            for (int32_t sy = sy0; sy < sy1; ++sy) {
                const uint32_t* src = frame.pixels + static_cast<size_t>(sy) * frame.width;
                for (int32_t sx = sx0; sx < sx1; ++sx) {
                    r += (src[sx] >> 16) & 0xFF;
                    g += (src[sx] >> 8) & 0xFF;
                    b += src[sx] & 0xFF;
                    ++n;
                }
            }
            dst[tx] = 0xFF000000u | ((r / n) << 16) | ((g / n) << 8) | (b / n);
        }
    }
    char label[32];
    std::snprintf(label, sizeof label, "t=%.2f", static_cast<double>(t));
    drawTinyText(out, x0, y0 + th + kGap, label, kLabelColor, sheet->labelScale);
}

void freeContactSheet(ContactSheet* sheet) {
    if (!sheet) return;
    freeImage(sheet->image);
    delete sheet;
}
