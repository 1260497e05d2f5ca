#include "demo/analyze_music.h"

#include <cstdio>

int runMusicAnalysis(const std::string& /*musicPath*/, const std::string& /*outPng*/) {
    std::fprintf(stderr, "--analyze-music is not available yet\n");
    return 1;
}
