// For the tests that look at a box on the screen: waits for a visible top-level window of the
// given title, then prints its title and the text of every control in it, one a line, in UTF-8.
//
//   window_text.exe TITLE [SECONDS]   exit code 0, or 1 when no such window came in SECONDS (30)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void printLine(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
    std::fwrite(utf8.c_str(), 1, std::strlen(utf8.c_str()), stdout);
    std::fputc('\n', stdout);
}

BOOL CALLBACK printControl(HWND control, LPARAM) {
    wchar_t text[4096];
    if (GetWindowTextW(control, text, 4096) > 0) printLine(text);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const int seconds = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 30;
    HWND window = nullptr;
    for (int i = 0; i < seconds * 10 && !window; ++i) {
        window = FindWindowW(nullptr, argv[1]);
        if (window && !IsWindowVisible(window)) window = nullptr;   // not shown yet
        if (!window) Sleep(100);
    }
    if (!window) return 1;
    printLine(argv[1]);
    EnumChildWindows(window, printControl, 0);
    return 0;
}
