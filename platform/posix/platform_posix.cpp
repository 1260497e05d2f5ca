// platform/posix/platform_posix.cpp — platform.h on Linux: /proc and glibc's allocator statistics.
#include "platform/platform.h"
#include "platform/paths.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#if defined(__SANITIZE_ADDRESS__)
#define DEMO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DEMO_ASAN 1
#endif
#endif
#ifdef DEMO_ASAN
// The sanitizer runtime's count of live heap bytes (gcc ships no header declaring it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

bool standardErrorSeen() { return true; }

std::string executableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : pathText(exe.parent_path());
}

uint64_t heapInUse() {
#ifdef DEMO_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// From /proc/self/statm. Plain read(): stdio would keep a little heap of its own after the
// first call and blur the memory check.
long residentKiB() {
    char text[128] = {};
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    long pages = 0, resident = 0;
    if (got <= 0 || std::sscanf(text, "%ld %ld", &pages, &resident) != 2) return 0;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
