#include "platform/paths.h"

#include <fcntl.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <io.h>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32

// Through the system's converters, which replace what is not UTF-8 (or UTF-16) with U+FFFD
// where libstdc++'s u8path and u8string would throw.
fs::path filePath(const std::string& utf8) { return fs::path(wideFromUtf8(utf8)); }

std::string pathText(const fs::path& path) { return utf8FromWide(path.native()); }

std::string utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

FILE* openFile(const std::string& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(filePath(path).c_str(), wideMode.c_str());
}

int createNewFile(const std::string& path) {
    // Binary, or the C runtime turns every 0x0A byte into 0x0D 0x0A.
    return _wopen(filePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_NOINHERIT,
                  0666);
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (!wide) {
        args.assign(argv, argv + argc);
        return args;
    }
    for (int i = 0; i < count; ++i) args.push_back(utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

#else

fs::path filePath(const std::string& utf8) { return fs::path(utf8); }

std::string pathText(const fs::path& path) { return path.native(); }

FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

int createNewFile(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

#endif
