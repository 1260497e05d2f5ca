// audio/music.h — the music player: decoding, playback on the audio device, the playback
// position and the spectrum of what is heard now.
//
// Needs: libmpg123 (decoding), SDL2 audio (output), audio/fft.h.
//
// There is one player per process. The whole file is decoded up front to 44.1 kHz stereo
// 16-bit, so positions are exact. Positions are byte counts of that PCM stream: 4 bytes a
// frame, 176400 bytes a second.
//
// The clock never stalls. With an audio device the position is the audible one, advancing
// smoothly between the device's callbacks and never going backwards while playing; past the
// end of the music the device plays silence and the position keeps counting. Without a
// device, or without music, the position runs on a silent clock (time since playMusic)
// and the spectrum still comes from the decoded music, or is zero when there is none.
//
// A device that stops calling back for a few buffers (unplugged, the sound server gone)
// does not stop the clock: the position goes on from where it was on the silent clock, and
// when callbacks come again the music carries on from the clock's position, in step with
// the pictures. getMusicPosition also looks after the device: one that SDL reports removed
// (SDL_AUDIODEVICEREMOVED) is closed, and while nothing is heard the default device is
// opened anew when SDL reports one added (SDL_AUDIODEVICEADDED), or every second while
// there is none. SDL's device events are seen through an event watch (SDL_AddEventWatch):
// nobody needs to hand them over, but SDL's event subsystem must be running (the display
// starts it with the video) for SDL to send them.
//
// The player's functions are called from the main thread only; the device's callback runs
// on SDL's audio thread and shares the play position under the device lock.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMusicRate = 44100;
// The MP3 decoder of libmpg123 used everywhere, so that every platform hears, and every
// frame sees, exactly the same samples.
constexpr const char* kMusicDecoder = "generic";
constexpr int kMusicBytesPerFrame = 4;
constexpr int kMusicBytesPerSecond = kMusicRate * kMusicBytesPerFrame;   // 176400

// Decodes a whole MP3 file to interleaved stereo 16-bit frames at 44100 Hz (other rates and
// channel counts are converted). Returns false with a readable reason on failure.
bool decodeMusicFile(const char* path, std::vector<int16_t>* stereo, std::string* error);

// The byte position of `seconds` of music: seconds * 176400 truncated toward zero, as an
// unsigned 32-bit count. Negative or not-a-number seconds give 0; past 2^32 - 1 it stays
// at the largest count.
uint32_t musicSecondsToBytes(double seconds);
// Bytes / 176400, rounded to float.
float musicBytesToSeconds(uint64_t bytes);

// Opens the default audio device for 44100 Hz stereo 16-bit output. False when there is
// no device; the player then keeps time on the silent clock.
bool initMusicOutput();
// Decodes the file into the player, replacing what it held. False with the reason in
// musicError() when the file cannot be read or decoded.
bool loadMusic(const char* path);
// Starts playback (and the clock). False when nothing can be heard: no music loaded or no
// output device. Either way the position advances from now on.
bool playMusic();
// Moves playback to `bytes` (rounded down to a whole frame).
void setMusicPosition(uint64_t bytes);
// Stops the sound and the clock where they are: the position stands still until
// playMusic starts both again from there. Nothing happens when not playing.
void pauseMusic();
// True between playMusic and pauseMusic (or closeMusic).
bool musicPlaying();
// How loud the music is heard, 0 (silent) to 1 (as decoded; the start). The clock and the
// spectrum, and with them the frames, do not depend on it.
void setMusicVolume(float volume);
float musicVolume();
// What the device is handed: each sample times the volume (0 to 1), rounded toward zero.
void scaleSamples(int16_t* samples, int64_t count, float volume);
// The playback position in bytes: where the listener is now. Called once a frame; it also
// switches to the silent clock when the device has stalled and gets a new device when the
// old one is gone (see above).
uint64_t getMusicPosition();
// True while the music is heard: playing, and the position follows a device that calls
// back. False on the silent clock (no device or no music, not started, a stalled device).
bool musicAudible();
// Fills kSpectrumBins magnitudes of what is heard at the position getMusicPosition last
// returned (the frame loop reads the position first, then the spectrum).
void getMusicSpectrum(float* out);
// Fills kSpectrumBins magnitudes of the decoded music around a byte position (the FFT
// window is centred on it; zero when no music is loaded). Used by the headless modes with
// their fixed clock.
void getMusicSpectrumAt(uint64_t bytes, float* out);
// Stops the device and forgets the music, the volume back at 1. The next loadMusic /
// playMusic start afresh.
void closeMusic();

// The SDL audio device the music plays on (0: none).
uint32_t musicOutputDevice();
// For tests: pauses or resumes the device, which stops or restarts its callbacks the way a
// stalled device does.
void pauseMusicOutputForTest(bool paused);

// The decoded music (interleaved L/R), empty when none is loaded.
const std::vector<int16_t>& musicSamples();
// Why the last failing call failed.
const char* musicError();
