// app/version.h — what --version prints: the demo's version and the versions of the
// libraries in it.
//
// Needs: SDL2, libpng, zlib, libmpg123 (their version queries); the build's
//        generated/version_number.h.
#pragma once
#include <string>

// "pixeldemo 1.0.0", then one line a library: SDL2, libpng and zlib as linked and as
// compiled against, libmpg123 (with its API version) and kissfft as built.
std::string versionText();
