// platform/paths.h — file names as the demo holds them: UTF-8 strings on every system.
//
// On Windows the C runtime's narrow file functions and std::filesystem's narrow strings
// speak the ANSI code page (or, in libstdc++'s case, read each byte as one character), so
// "Mes Démos" or "デモ" would arrive mangled or as "??". Every file name the demo takes from
// the user or the system goes through these, which use the wide API there; elsewhere they
// are the plain calls.
//
// Offers: filePath, pathText, openFile, createNewFile, utf8Arguments; on Windows also
//         utf8FromWide and wideFromUtf8.
// Needs:  nothing of the demo.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A UTF-8 file name as a std::filesystem::path, and a path as UTF-8.
std::filesystem::path filePath(const std::string& utf8);
std::string pathText(const std::filesystem::path& path);

// std::fopen for a UTF-8 file name.
FILE* openFile(const std::string& path, const char* mode);

// Creates the file for writing, binary, failing when it exists (O_EXCL), and not inherited
// by processes the demo starts. A file descriptor, or -1 with errno set.
int createNewFile(const std::string& path);

// The program's arguments in UTF-8: on Windows read again from the wide command line (the
// C runtime's argv holds them in the ANSI code page), elsewhere argv as it is.
std::vector<std::string> utf8Arguments(int argc, char** argv);

#ifdef _WIN32
// UTF-8 and the UTF-16 of the wide API.
std::string utf8FromWide(const std::wstring& wide);
std::wstring wideFromUtf8(const std::string& utf8);
#endif
