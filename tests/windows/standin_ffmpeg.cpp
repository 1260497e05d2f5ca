// A stand-in for ffmpeg.exe in the Windows video tests: copies what arrives on standard input,
// unencoded, into the file named by its last argument and exits with code 0. Every input
// named after -i must be a file it can open, as ffmpeg would insist (pipe:0 and lavfi's
// sources aside); otherwise it exits with code 4. Arguments and file names are taken as
// Windows passes them, in UTF-16, so names beyond ASCII arrive whole. STANDIN_FFMPEG makes
// it fail like a real encoder can, leaving a partial file and exiting with code 1: "early"
// gives up after 2 MB (the demo is still writing), "late" after reading everything.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"-i") != 0 || std::wcscmp(argv[i + 1], L"pipe:0") == 0) continue;
        if (i >= 2 && std::wcscmp(argv[i - 1], L"lavfi") == 0) continue;
        FILE* input = _wfopen(argv[i + 1], L"rb");
        if (!input) {
            std::fwprintf(stderr, L"stand-in ffmpeg: cannot open the input %ls\n", argv[i + 1]);
            return 4;
        }
        std::fclose(input);
    }
    _setmode(_fileno(stdin), _O_BINARY);
    const char* mode = std::getenv("STANDIN_FFMPEG");
    const bool early = mode && std::strcmp(mode, "early") == 0;
    const bool late = mode && std::strcmp(mode, "late") == 0;
    FILE* out = _wfopen(argv[argc - 1], L"wb");
    if (!out) return 3;
    static char buffer[1 << 16];
    size_t total = 0, got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        std::fwrite(buffer, 1, got, out);
        total += got;
        if (early && total >= 2000000) break;
    }
    std::fclose(out);
    if (early || late) {
        std::fprintf(stderr, "stand-in ffmpeg: giving up\n");
        return 1;
    }
    return 0;
}
