// platform/signals.h — one rule for SIGINT, SIGTERM and SIGHUP in every mode: the run stops
// and the program ends with exit code 128 + the signal's number (130, 143, 129), as a
// shell reports a program the signal ended.
//
// While a frame loop polls (setSignalsPolled(true)), a signal only records itself: the loop
// finishes its frame and the mode cleans up before it returns signalExitCode() (live play
// gives the display back, --capture waits for its whole frames and leaves no partial file,
// --video stops ffmpeg and removes OUT.part). Anywhere else — start-up, a message box
// waiting for its OK — the signal ends the process at once with that code.
//
// Needs: the C library's signal handling; SDL is told to leave these signals alone.
#pragma once

void installStopSignals();
void setSignalsPolled(bool polled);
// The first stop signal received, 0 while none has arrived.
int stopSignal();
// 128 + the signal's number.
int signalExitCode(int signal);
// "SIGINT", "SIGTERM", "SIGHUP" or "signal N".
const char* signalName(int signal);
