// platform/platform.h — the few facts about the running process that each operating system
// answers its own way. One implementation per system: platform_posix.cpp (Linux) and
// platform_win32.cpp (Windows).
//
// Offers: standardErrorSeen, executableFolder, heapInUse, residentKiB.
// Needs:  nothing of the demo.
#pragma once
#include <cstdint>
#include <string>

// False when what the program writes on standard error reaches no one: a Windows program
// started by a double click has no console, file or pipe for it. True elsewhere.
bool standardErrorSeen();

// The folder holding the running program's file (UTF-8); empty when the system cannot tell.
std::string executableFolder();

// Bytes the program holds on the heap now (under AddressSanitizer, the sanitizer's count).
uint64_t heapInUse();

// Resident memory of the process in kB; 0 where the system cannot tell.
long residentKiB();
