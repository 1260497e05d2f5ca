// platform/encoder_process.h — the encoder process of --video (ffmpeg) as each operating system
// runs it: started with a pipe to its standard input, fed, waited for or stopped; and the
// interrupt (Ctrl-C, closing the terminal or console, SIGTERM) that ends an export.
// One implementation per system: encoder_process_posix.cpp (posix_spawn, signals) and
// encoder_process_win32.cpp (CreateProcessW, a console control handler).
//
// Offers: EncoderProcess, startEncoderProcess, writeToEncoder, finishEncoderProcess,
//         stopEncoderProcess, encoderInterrupted, stderrIsTerminal.
// Needs:  nothing of the demo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct EncoderProcess;

// Installs the interrupt handler, then starts args[0] (looked up on the PATH; on Windows also
// beside the program) with args[1..] and a pipe to its standard input; its standard output
// and error are the demo's. The encoder does not get the terminal's Ctrl-C itself: the demo
// stops it. Null with *error when it cannot be started (the message says how to get it when
// it is missing); the handler is then removed again.
EncoderProcess* startEncoderProcess(const std::vector<std::string>& args, std::string* error);

// Writes all `size` bytes to the encoder's input. False with *error when the encoder has
// stopped reading or an interrupt arrived.
bool writeToEncoder(EncoderProcess* process, const uint8_t* data, size_t size,
                    std::string* error);

// Closes the input and waits for the encoder to end; an interrupt meanwhile stops it.
// True when it exited with code 0; otherwise *error says how it ended. Removes the
// interrupt handler and frees the process either way.
bool finishEncoderProcess(EncoderProcess* process, std::string* error);

// Stops the encoder at once, waits for it, removes the interrupt handler, frees the process.
void stopEncoderProcess(EncoderProcess* process);

// True once an interrupt arrived since the last startEncoderProcess.
bool encoderInterrupted();

// True when standard error is a terminal (a console on Windows), where progress is redrawn
// in place.
bool stderrIsTerminal();
