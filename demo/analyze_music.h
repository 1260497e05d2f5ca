// demo/analyze_music.h — `--analyze-music OUT.png`: how the music drives the pictures.
#pragma once
#include <string>

// Decodes the music, measures the spectrum at 60 frames a second, prints the per-scene
// figures and writes the plot to outPng. Returns the process exit code.
int runMusicAnalysis(const std::string& musicPath, const std::string& outPng);
