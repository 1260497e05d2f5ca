#include "app/version.h"

#include <SDL.h>
#include <mpg123.h>
#include <png.h>
#include <zlib.h>

#include "version_number.h"

namespace {

std::string sdlVersion(const SDL_version& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

// The library the program runs with (the Linux build links the system's SDL2, libpng and
// zlib) and the headers it was compiled with.
std::string linkedAndCompiled(const std::string& linked, const std::string& compiled) {
    return linked + " (compiled against " + compiled + ")";
}

}  // namespace

std::string versionText() {
    SDL_version compiledSdl, linkedSdl;
    SDL_VERSION(&compiledSdl);
    SDL_GetVersion(&linkedSdl);
    std::string text = "pixeldemo " DEMO_VERSION "\n";
    text += "SDL2 " + linkedAndCompiled(sdlVersion(linkedSdl), sdlVersion(compiledSdl)) + "\n";
    text += "libpng " + linkedAndCompiled(png_get_libpng_ver(nullptr), PNG_LIBPNG_VER_STRING) + "\n";
    text += "zlib " + linkedAndCompiled(zlibVersion(), ZLIB_VERSION) + "\n";
#if MPG123_API_VERSION >= 48
    text += std::string("libmpg123 ") + mpg123_distversion(nullptr, nullptr, nullptr);
#else
    // No version query before libmpg123 1.32: the version pkg-config gave the build.
    text += "libmpg123 " DEMO_MPG123_VERSION;
#endif
    text += " (API " + std::to_string(MPG123_API_VERSION) + ")\n";
    // kissfft has no version of its own to ask: the one pkg-config gave the build.
    text += "kissfft " DEMO_KISSFFT_VERSION "\n";
    return text;
}
