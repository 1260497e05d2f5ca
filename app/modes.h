// app/modes.h — the ways the demo runs. Each builds the frame loop of app/frameloop.h
// from a clock and a sink, runs it and returns the exit code.
//
//   live     the display and the sound device, on the music clock (no option)
//   capture  PNG frames and a contact sheet, on the fixed clock (--capture)
//   video    frames and music piped to ffmpeg, on the fixed clock (--video)
//   bench    timing of every scene and the heap, on the fixed clock (--bench); timing of
//            jumps to every second of the timeline (--bench-jumps)
//   flashes  the flashes of every second measured, on the fixed clock (--analyze-flashes)
//
// With --gentle every mode shows its frames through the limiter of app/gentle.h.
#pragma once
#include "app/options.h"

int runLive(const DemoOptions& options);
int runCapture(const DemoOptions& options);
int runVideo(const DemoOptions& options);
int runBench(const DemoOptions& options);
int runFlashAnalysis(const DemoOptions& options);
int runBenchJumps(const DemoOptions& options);
