// platform/posix/encoder_process_posix.cpp — encoder_process.h on Linux: posix_spawn with a pipe, and
// SIGINT, SIGTERM and SIGHUP caught while an export runs.
#include "platform/encoder_process.h"

#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

// The stop signals are the demo's (platform/signals.h): once the encoder runs they only record
// themselves, and the export stops cleanly.
bool interrupted() { return stopSignal() != 0; }


}  // namespace

struct EncoderProcess {
    pid_t pid = -1;
    int pipe = -1;
    struct sigaction previousPipe;
};

namespace {

void restoreSignals(EncoderProcess* p) {
    sigaction(SIGPIPE, &p->previousPipe, nullptr);
}

// Waits for the encoder; a signal that interrupts the wait stops it.
int waitEncoder(EncoderProcess* p) {
    int status = 0;
    while (waitpid(p->pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
        if (interrupted()) kill(p->pid, SIGKILL);
    }
    p->pid = -1;
    return status;
}

}  // namespace

EncoderProcess* startEncoderProcess(const std::vector<std::string>& args, std::string* error) {
    EncoderProcess* p = new EncoderProcess();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        delete p;
        return nullptr;
    }

    // From here a stop signal only records itself, so no moment is left where it would end
    // the demo and leave the encoder finishing a partial file on its own.
    setSignalsPolled(true);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &p->previousPipe);

    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: a Ctrl-C in the terminal reaches the demo only, which then stops
    // the encoder and removes the partial file. SIGPIPE, ignored here, is default again there.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawnp(&p->pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        restoreSignals(p);
        if (rc == ENOENT) {
            *error = "--video needs ffmpeg, which is not on the PATH. Install it with\n"
                     "  sudo apt-get install ffmpeg\n"
                     "(./run.sh --video ... installs it when run as root)";
        } else {
            *error = std::string("cannot start ffmpeg: ") + std::strerror(rc);
        }
        delete p;
        return nullptr;
    }
    p->pipe = fds[1];
    return p;
}

bool writeToEncoder(EncoderProcess* p, const uint8_t* data, size_t size, std::string* error) {
    while (size > 0) {
        if (interrupted()) {
            *error = "interrupted";
            return false;
        }
        const ssize_t wrote = write(p->pipe, data, size);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            *error = errno == EPIPE ? std::string("ffmpeg stopped before the end")
                                    : std::string("cannot write to ffmpeg: ") + std::strerror(errno);
            return false;
        }
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}

bool finishEncoderProcess(EncoderProcess* p, std::string* error) {
    close(p->pipe);
    const int status = waitEncoder(p);
    restoreSignals(p);
    delete p;
    if (interrupted()) {
        *error = "interrupted";
        return false;
    }
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (status >= 0 && WIFSIGNALED(status)) {
        *error = "ffmpeg was stopped by signal " + std::to_string(WTERMSIG(status));
    } else if (status >= 0 && WIFEXITED(status)) {
        *error = "ffmpeg failed (exit code " + std::to_string(WEXITSTATUS(status)) +
                 "); its messages are above";
    } else {
        *error = "lost track of ffmpeg";
    }
    return false;
}

void stopEncoderProcess(EncoderProcess* p) {
    close(p->pipe);
    kill(p->pid, SIGKILL);
    waitEncoder(p);
    restoreSignals(p);
    delete p;
}

bool encoderInterrupted() { return interrupted(); }

bool stderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }
