// platform/windows/encoder_process_win32.cpp — encoder_process.h on Windows: CreateProcessW with an
// anonymous pipe as the encoder's standard input, and a console control handler that turns
// Ctrl-C, Ctrl-Break and closing the console into an interrupt.
#include "platform/encoder_process.h"
#include "platform/paths.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<bool> gInterrupted{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            gInterrupted = true;
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process when this returns (or after 5 s): the export gets
            // that time to stop the encoder, remove the partial file and exit by itself.
            gInterrupted = true;
            Sleep(4500);
            return FALSE;
        default:
            return FALSE;
    }
}

void removeHandler() { SetConsoleCtrlHandler(onConsoleEvent, FALSE); }

// One argument quoted the way the C runtime's command-line parser splits it again.
void appendQuoted(std::wstring* line, const std::wstring& arg) {
    if (!line->empty()) *line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        *line += arg;
        return;
    }
    *line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        line->append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        *line += c;
    }
    line->append(2 * backslashes, L'\\');
    *line += L'"';
}

std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? utf8FromWide(std::wstring(text, n))
                                    : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

// An inheritable copy of one of the demo's standard handles, for the encoder; null when the
// demo has none (the encoder then has none either).
HANDLE inheritableStdHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

}  // namespace

struct EncoderProcess {
    HANDLE process = nullptr;
    HANDLE input = nullptr;   // the demo's end of the pipe
};

EncoderProcess* startEncoderProcess(const std::vector<std::string>& args, std::string* error) {
    // Only the encoder's end of the pipe is inheritable.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 20)) {
        *error = "cannot make a pipe: " + systemMessage(GetLastError());
        return nullptr;
    }
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);

    gInterrupted = false;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);

    std::wstring line;
    // The arguments are UTF-8, file names among them (platform/paths.h).
    for (const std::string& arg : args) appendQuoted(&line, wideFromUtf8(arg));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = inheritableStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = inheritableStdHandle(STD_ERROR_HANDLE);
    // A process group of its own keeps the console's Ctrl-C from the encoder: the demo stops
    // it itself. Without a console (started by a double click) it gets no window either.
    DWORD flags = CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
    if (!GetConsoleWindow()) flags |= CREATE_NO_WINDOW;
    PROCESS_INFORMATION info{};
    // With no application name the system looks for args[0] (".exe" added) beside the
    // program, in the working folder, the system folders and then on the PATH.
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags,
                                        nullptr, nullptr, &startup, &info);
    const DWORD startError = GetLastError();
    CloseHandle(readEnd);
    if (startup.hStdOutput) CloseHandle(startup.hStdOutput);
    if (startup.hStdError) CloseHandle(startup.hStdError);
    if (!started) {
        CloseHandle(writeEnd);
        removeHandler();
        if (startError == ERROR_FILE_NOT_FOUND || startError == ERROR_PATH_NOT_FOUND) {
            *error = "--video needs ffmpeg, and no ffmpeg.exe was found beside pixeldemo.exe or\n"
                     "on the PATH. Get a Windows build of FFmpeg (ffmpeg.org lists several),\n"
                     "and put its ffmpeg.exe beside pixeldemo.exe or in a folder on the PATH.";
        } else {
            *error = "cannot start ffmpeg: " + systemMessage(startError);
        }
        return nullptr;
    }
    CloseHandle(info.hThread);
    EncoderProcess* p = new EncoderProcess();
    p->process = info.hProcess;
    p->input = writeEnd;
    return p;
}

bool writeToEncoder(EncoderProcess* p, const uint8_t* data, size_t size, std::string* error) {
    while (size > 0) {
        if (gInterrupted) {
            *error = "interrupted";
            return false;
        }
        DWORD wrote = 0;
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!WriteFile(p->input, data, chunk, &wrote, nullptr)) {
            const DWORD code = GetLastError();
            *error = code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA
                         ? std::string("ffmpeg stopped before the end")
                         : "cannot write to ffmpeg: " + systemMessage(code);
            return false;
        }
        data += wrote;
        size -= wrote;
    }
    return true;
}

bool finishEncoderProcess(EncoderProcess* p, std::string* error) {
    CloseHandle(p->input);
    // Waits in steps, so an interrupt while the encoder finishes the file stops it.
    while (WaitForSingleObject(p->process, 50) == WAIT_TIMEOUT) {
        if (gInterrupted) TerminateProcess(p->process, 1);
    }
    DWORD code = 1;
    const bool known = GetExitCodeProcess(p->process, &code) != 0;
    CloseHandle(p->process);
    delete p;
    const bool interrupted = gInterrupted;
    removeHandler();
    if (interrupted) {
        *error = "interrupted";
        return false;
    }
    if (known && code == 0) return true;
    *error = known ? "ffmpeg failed (exit code " + std::to_string(code) + "); its messages are above"
                   : std::string("lost track of ffmpeg");
    return false;
}

void stopEncoderProcess(EncoderProcess* p) {
    CloseHandle(p->input);
    TerminateProcess(p->process, 1);
    WaitForSingleObject(p->process, INFINITE);
    CloseHandle(p->process);
    delete p;
    removeHandler();
}

bool encoderInterrupted() { return gInterrupted; }

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
