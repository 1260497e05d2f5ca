// What a Windows program declares about itself, read the way Windows reads it: the version
// information, the manifest, and the icon group with each of its pictures loaded as an icon.
//
//   exe_info.exe PROGRAM.exe
//
// Prints, one a line: "file version A.B.C.D", "<name>: <value>" for the version strings,
// "icon W BITS loads|fails" per picture of the first icon group, then "manifest:" and the
// manifest's text. Exit code 1 when the file cannot be read as a program.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

#pragma pack(push, 2)
struct GroupEntry {   // GRPICONDIRENTRY
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

BOOL CALLBACK firstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<LPWSTR*>(found) = name;
    return FALSE;
}

void printIcons(HMODULE module) {
    LPWSTR group = nullptr;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, firstName,
                       reinterpret_cast<LONG_PTR>(&group));
    HRSRC info = group ? FindResourceW(module, group, MAKEINTRESOURCEW(14)) : nullptr;
    const BYTE* dir = info ? static_cast<const BYTE*>(LockResource(LoadResource(module, info))) : nullptr;
    if (!dir) return;
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    for (WORD i = 0; i < count; ++i) {
        const GroupEntry* entry = reinterpret_cast<const GroupEntry*>(dir + 6) + i;
        const int size = entry->width ? entry->width : 256;
        HRSRC picture = FindResourceW(module, MAKEINTRESOURCEW(entry->id), MAKEINTRESOURCEW(3) /* RT_ICON */);
        BYTE* bytes = picture ? static_cast<BYTE*>(LockResource(LoadResource(module, picture))) : nullptr;
        HICON icon = bytes ? CreateIconFromResourceEx(bytes, SizeofResource(module, picture), TRUE,
                                                      0x00030000, size, size, 0)
                           : nullptr;
        std::printf("icon %d %d %s\n", size, entry->bits, icon ? "loads" : "fails");
        if (icon) DestroyIcon(icon);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<BYTE> version(size);
    if (size && GetFileVersionInfoW(argv[1], 0, size, version.data())) {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
            std::printf("file version %u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                        unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                        unsigned{LOWORD(fixed->dwFileVersionLS)});
        for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"FileDescription", L"FileVersion"}) {
            wchar_t* value = nullptr;
            const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
            if (VerQueryValueW(version.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
                std::printf("%s: %s\n", utf8(name).c_str(), utf8(value).c_str());
        }
    }
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return 1;
    printIcons(module);
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    if (manifest) {
        const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
        std::printf("manifest:\n%.*s\n", static_cast<int>(SizeofResource(module, manifest)), text);
    }
    FreeLibrary(module);
    return 0;
}
