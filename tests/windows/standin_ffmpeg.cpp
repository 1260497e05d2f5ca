// A stand-in for ffmpeg.exe in the Windows video test: copies what arrives on standard input,
// unencoded, into the file named by its last argument and exits with code 0. STANDIN_FFMPEG
// makes it fail like a real encoder can, leaving a partial file and exiting with code 1:
// "early" gives up after 2 MB (the demo is still writing), "late" after reading everything.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    _setmode(_fileno(stdin), _O_BINARY);
    const char* mode = std::getenv("STANDIN_FFMPEG");
    const bool early = mode && std::strcmp(mode, "early") == 0;
    const bool late = mode && std::strcmp(mode, "late") == 0;
    FILE* out = std::fopen(argv[argc - 1], "wb");
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
