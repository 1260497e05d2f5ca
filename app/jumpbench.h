// app/jumpbench.h — the jump bench, one for the native program (--bench-jumps) and the page
// (?test=jumps-bench): jumps on live play's clock (60 frames a second), each timed from the
// call to the frame in `screen`.
//
// In order: the first jump of a run, before the walk ahead has kept any checkpoint, to the
// last second of every scene (the longest way into each); the walk ahead, timed; then jumps
// to every whole second of the timeline and to 18 frames after each (inside scene 4 the
// farthest frames from a kept picture, app/replay.h), in an order that goes back and forth. Beside the
// wall time, the processor time a jump took: on a machine shared with other work, the
// time it would take on an idle one (std::clock; where that counts wall time, as on
// Windows and in the page, the same figure).
//
// Needs: app/replay.h, scenes/scene_table.h.
#pragma once
#include "scenes/scene_table.h"

struct JumpBench;

// Starts the bench on `scenes`, loaded and with no frame made yet (it takes the replay's
// start checkpoint from them). The bench lives until the process ends.
JumpBench* startJumpBench(DemoScenes* scenes);
// Does the next piece of work: one timed jump, or a tenth of a second of the walk ahead.
// False once everything is done.
bool jumpBenchStep(JumpBench* bench);
// The figures, on standard output: the walk, the first jumps, then one line per scene and
// one for each set of jumps ("scene N: J jumps, mean X ms, worst Y ms (to T s); processor
// mean ..., worst ...; at most F frames drawn").
void printJumpBench(const JumpBench& bench);
