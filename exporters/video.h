// exporters/video.h — what --video writes: the frames of the fixed clock piped to ffmpeg as raw
// RGB and encoded, with the music, into one MP4 file (H.264 and AAC).
//
// The picture is doubled to 1280x960 with nearest-neighbour scaling, so every demo pixel is
// a 2x2 block: players then have nothing to smooth, and the 4:2:0 colour subsampling of
// H.264 lands exactly one colour sample on each demo pixel (no colour bleeding between
// neighbours, while the file still plays everywhere). Colours are converted and tagged as
// BT.709, which players assume for a picture of this size.
//
// ffmpeg writes OUT.part; only a finished encode is renamed to OUT. A failure or an
// interrupt (SIGINT, SIGTERM or SIGHUP; Ctrl-C or closing the console on Windows) stops
// ffmpeg and removes OUT.part.
//
// Needs: ffmpeg on the PATH (Debian's package; on Windows an ffmpeg.exe on the PATH or beside
// the program), platform/encoder_process.h, assets/image.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assets/image.h"

struct VideoSettings {
    std::string outPath;     // the finished file, e.g. "demo.mp4"
    std::string musicPath;   // the soundtrack; empty or unreadable: a silent track
    int fps = 60;
    int width = screenWidth;    // size of the frames handed to writeVideoFrame
    int height = screenHeight;
    double audioStart = 0.0; // music time of the first frame in the file
    double duration = 0.0;   // seconds of picture and sound: frames / fps
};

// The ffmpeg command line (argv[0] = "ffmpeg") that reads raw rgb24 frames on its standard
// input and writes partPath.
std::vector<std::string> videoEncoderArgs(const VideoSettings& settings,
                                          const std::string& partPath);

struct VideoEncoder;

// Starts ffmpeg in a process group of its own (so a Ctrl-C in the terminal reaches only
// the demo, which then stops ffmpeg itself) and installs the interrupt handler.
// Null with *error when ffmpeg cannot be started (the message says how to install it) or
// the output folder does not exist.
VideoEncoder* startVideo(const VideoSettings& settings, std::string* error);

// Converts the frame to rgb24 (into a buffer made by startVideo) and writes it to ffmpeg.
// False when ffmpeg has stopped or an interrupting signal arrived (*error says which).
bool writeVideoFrame(VideoEncoder* encoder, const Image& frame, std::string* error);

// True once an interrupt (SIGINT, SIGTERM or SIGHUP; on Windows Ctrl-C, Ctrl-Break or
// closing the console) arrived since startVideo.
bool videoInterrupted();

// Closes the pipe, waits for ffmpeg and renames OUT.part to OUT. False with *error when
// ffmpeg failed or a signal arrived meanwhile (ffmpeg is then stopped); OUT.part is then
// removed. Frees the encoder either way.
bool finishVideo(VideoEncoder* encoder, std::string* error);

// Stops ffmpeg, removes OUT.part and frees the encoder.
void abortVideo(VideoEncoder* encoder);

// Progress on stderr: a bar redrawn in place on a terminal, a line every 10 % otherwise.
// done = frames of the file written so far (0 while the frames before it render), of total;
// t = music time of the frame just rendered; final: the last call, which ends the line.
void showVideoProgress(int64_t done, int64_t total, float t, bool final);
