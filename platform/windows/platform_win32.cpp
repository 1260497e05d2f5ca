// platform/windows/platform_win32.cpp — platform.h on Windows: the module file name, the C runtime's
// heap and the working set; and the console the program writes to, if any.
#include "platform/platform.h"
#include "platform/paths.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>

#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// The demo is a GUI-subsystem program, so a double click opens no console window. Started
// from a console (cmd, PowerShell) it writes its lines there all the same: it attaches to the
// console of the program that started it and points stdout and stderr at it. A stream that
// the caller redirected to a file or a pipe is left as it is. Done during static
// initialisation, before main prints anything.
bool usable(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

struct ParentConsole {
    bool errorSeen = false;   // standard error reaches a console, a file or a pipe
    UINT consoleCodePage = 0;  // the console's own output code page, given back at exit

    ParentConsole() {
        const bool out = usable(STD_OUTPUT_HANDLE), err = usable(STD_ERROR_HANDLE);
        errorSeen = err;
        if (!(out && err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
            if (!out && std::freopen("CONOUT$", "w", stdout)) std::setvbuf(stdout, nullptr, _IOLBF, 4096);
            if (!err && std::freopen("CONOUT$", "w", stderr)) {
                std::setvbuf(stderr, nullptr, _IONBF, 0);
                errorSeen = true;
            }
        }
        // The lines are UTF-8 (file names in them): the console shows them so while the demo
        // runs. (A file or a pipe gets the bytes as they are.)
        consoleCodePage = GetConsoleOutputCP();
        if (consoleCodePage == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) consoleCodePage = 0;
    }
    ~ParentConsole() {
        if (consoleCodePage) SetConsoleOutputCP(consoleCodePage);
    }
};

const ParentConsole parentConsole;

}  // namespace

bool standardErrorSeen() { return parentConsole.errorSeen; }

std::string executableFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (got == 0) return std::string();
        if (got < name.size()) {
            name.resize(got);
            break;
        }
        name.resize(name.size() * 2);   // cut short: try a longer buffer
    }
    return pathText(std::filesystem::path(name).parent_path());
}

// The bytes in use in the C runtime's heap, where malloc and operator new take their blocks.
uint64_t heapInUse() {
    const HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    if (!heap || !HeapLock(heap)) return 0;
    uint64_t used = 0;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
    }
    HeapUnlock(heap);
    return used;
}

long residentKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<long>(counters.WorkingSetSize / 1024);
}
