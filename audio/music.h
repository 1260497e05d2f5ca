// audio/music.h — the music player: decoding, playback on the audio device, the playback
// position and the spectrum of what is heard now.
//
// Needs: libmpg123 (decoding), SDL2 audio (output), audio/spectrum.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Decodes a whole MP3 file to interleaved stereo 16-bit frames at 44100 Hz (other rates and
// channel counts are converted). Returns false with a readable reason on failure.
bool decodeMusicFile(const char* path, std::vector<int16_t>* stereo, std::string* error);
