// exporters/capture.h — what --capture writes: the frames as PNG files (encoded on a second
// thread while the main thread renders on) and the contact sheet of thumbnails.
//
// Needs: assets/image.h (Image, writePng), gfx2d/tinyfont.h.
#pragma once
#include <cstdint>
#include <string>

#include "assets/image.h"

// --- Frame writer -----------------------------------------------------------------------
// A fixed set of frame buffers, allocated at the start, so the loop allocates nothing.
// queueFrame copies the frame (of the writer's size) into a free buffer (waiting for one when
// the encoders are behind) and returns at once; encoder threads, one per core (at most one
// per buffer), write the frames with writePng as RGB with PngCompression::fast.
struct FrameWriter;

FrameWriter* startFrameWriter(int width, int height, int buffers);
// False once any earlier write failed; *error then says why and nothing more is queued.
bool queueFrame(FrameWriter* writer, const Image& frame, const std::string& path,
                std::string* error);
// Waits for the queued frames, stops the thread and frees everything. False when a write
// failed, with the first reason in *error.
bool finishFrameWriter(FrameWriter* writer, std::string* error);

// The path of frame n in dir: dir/frame_NNNNNN.png (six digits, more when n needs them).
std::string captureFramePath(const std::string& dir, int64_t n);

// --- Contact sheet ----------------------------------------------------------------------
// A grid of thumbnails in the order they are added, each labelled "t=12.35" under it.
// The thumbnail size is the largest of 1/4, 1/8, 1/10, 1/16 or 1/20 of the frame that keeps
// the sheet within kMaxSheetPixels.
constexpr int64_t kMaxSheetPixels = int64_t{64} << 20;

struct ContactSheet {
    Image* image;
    int32_t thumbWidth;
    int32_t thumbHeight;
    int32_t cellWidth;
    int32_t cellHeight;
    int32_t columns;
    int32_t labelScale;
    int64_t capacity;   // thumbnails it has room for
    int64_t count;      // thumbnails added so far
};

// A sheet with room for `frames` thumbnails of frameWidth x frameHeight frames; null when
// even the smallest thumbnails would exceed kMaxSheetPixels (or frames < 1).
ContactSheet* newContactSheet(int64_t frames, int32_t frameWidth, int32_t frameHeight);
// Adds the next thumbnail (box-filtered) and its label. Ignored when the sheet is full.
void addToContactSheet(ContactSheet* sheet, const Image& frame, float t);
void freeContactSheet(ContactSheet* sheet);
