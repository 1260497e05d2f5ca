#include "platform/signals.h"

#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t gStop = 0;
volatile std::sig_atomic_t gPolled = 0;

#ifdef __linux__
// On Linux a message box is a helper process (zenity) that SDL waits for: it must not stay
// on the screen once the demo has gone. Only async-signal-safe calls here.
void endChildren() {
    char path[64] = "/proc/self/task/";
    size_t n = 16;
    char digits[24];
    int count = 0;
    for (long pid = static_cast<long>(getpid()); pid > 0 && count < 20; pid /= 10)
        digits[count++] = static_cast<char>('0' + pid % 10);
    while (count > 0) path[n++] = digits[--count];
    for (const char* tail = "/children"; *tail; ++tail) path[n++] = *tail;
    path[n] = '\0';
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char text[512];
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    long child = 0;
    for (ssize_t i = 0; i < got; ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            child = child * 10 + (text[i] - '0');
        } else if (child > 0) {
            kill(static_cast<pid_t>(child), SIGTERM);
            child = 0;
        }
    }
    if (child > 0) kill(static_cast<pid_t>(child), SIGTERM);
}
#else
void endChildren() {}
#endif

void onStopSignal(int signal) {
    if (!gStop) gStop = signal;
    if (!gPolled) {
        endChildren();
        std::_Exit(128 + signal);
    }
}

#ifdef SIGHUP
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
const int kStopSignals[] = {SIGINT, SIGTERM};
#endif

}  // namespace

void installStopSignals() {
    // SDL would otherwise turn SIGINT and SIGTERM into a quit event of its own.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    for (int signal : kStopSignals) {
#ifdef _WIN32
        std::signal(signal, onStopSignal);
#else
        // No SA_RESTART: a blocked write or wait returns, so the loop can stop.
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(signal, &action, nullptr);
#endif
    }
}

void setSignalsPolled(bool polled) { gPolled = polled ? 1 : 0; }

int stopSignal() { return gStop; }

int signalExitCode(int signal) { return 128 + signal; }

const char* signalName(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
#ifdef SIGHUP
        case SIGHUP: return "SIGHUP";
#endif
    }
    static char text[24];
    std::snprintf(text, sizeof text, "signal %d", signal);
    return text;
}
