// Decoding with libmpg123, playback through an SDL audio device, and the music clock.
#include "audio/music.h"

#include <SDL.h>
#include <mpg123.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

#include "audio/fft.h"
#include "platform/paths.h"

namespace {

// A demo track is minutes long; anything decoding to more than this is refused rather than
// filling memory.
constexpr int64_t kMaxMusicFrames = int64_t{kMusicRate} * 60 * 30;

struct Mpg123Handle {
    mpg123_handle* handle = nullptr;
    ~Mpg123Handle() {
        if (handle) mpg123_delete(handle);
    }
};

struct AudioStream {
    SDL_AudioStream* stream = nullptr;
    ~AudioStream() {
        if (stream) SDL_FreeAudioStream(stream);
    }
};

// Appends what an SDL audio stream has ready to `out`.
bool drainStream(SDL_AudioStream* stream, std::vector<int16_t>* out) {
    int16_t buffer[8192];
    for (;;) {
        const int got = SDL_AudioStreamGet(stream, buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) return true;
        out->insert(out->end(), buffer, buffer + got / 2);
    }
}

}  // namespace

bool decodeMusicFile(const char* path, std::vector<int16_t>* stereo, std::string* error) {
    stereo->clear();
    FILE* probe = openFile(path, "rb");
    if (!probe) {
        // The Windows C runtime will not open a folder at all (EACCES): say what it is, as
        // below for the folder that Linux opens.
        const int openErrno = errno;
        std::error_code ec;
        const int reason = std::filesystem::is_directory(filePath(path), ec) ? EISDIR : openErrno;
        *error = std::string("cannot open ") + path + ": " + std::strerror(reason);
        return false;
    }
    // The decoder words these two as "Error reading the stream"; say what it is.
    struct stat info;
    const bool known = fstat(fileno(probe), &info) == 0;
    std::fclose(probe);
    if (known && S_ISDIR(info.st_mode)) {
        *error = std::string("cannot open ") + path + ": " + std::strerror(EISDIR);
        return false;
    }
    if (known && S_ISREG(info.st_mode) && info.st_size == 0) {
        *error = std::string(path) + " is empty";
        return false;
    }

#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int err = MPG123_OK;
    Mpg123Handle mh;
    // One decoder on every platform: libmpg123 would otherwise pick one for the processor
    // (SSE, AVX, ...), and their samples differ in the last bits, enough to move a spectrum
    // value across a scene's threshold. "generic" is the one every build of it has.
    mh.handle = mpg123_new(kMusicDecoder, &err);
    if (!mh.handle) {
        *error = std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(err);
        return false;
    }
    mpg123_param(mh.handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // Stereo 16-bit at the file's own rate; mono is spread to both channels by the decoder.
    if (mpg123_open_fixed(mh.handle, path, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) {
        *error = std::string("cannot decode ") + path + ": " + mpg123_strerror(mh.handle);
        // What the decoder calls a read error here is a file too short to hold any audio.
        if (mpg123_errcode(mh.handle) == MPG123_ERR_READER) *error += " (not MP3 audio, or cut short)";
        return false;
    }

    long rate = 0;
    int channels = 0, encoding = 0;
    AudioStream resampler;   // only when the file's rate is not 44100 Hz
    std::vector<unsigned char> chunk(65536);
    bool ok = true;
    for (;;) {
        size_t done = 0;
        const int rc = mpg123_read(mh.handle, chunk.data(), chunk.size(), &done);
        if (rc == MPG123_NEW_FORMAT || rate == 0) {
            long newRate = 0;
            mpg123_getformat(mh.handle, &newRate, &channels, &encoding);
            if (channels != 2 || encoding != MPG123_ENC_SIGNED_16 || newRate <= 0) {
                *error = std::string("unexpected decoder output format in ") + path;
                ok = false;
                break;
            }
            if (newRate != rate) {
                if (resampler.stream) {
                    SDL_AudioStreamFlush(resampler.stream);
                    drainStream(resampler.stream, stereo);
                    SDL_FreeAudioStream(resampler.stream);
                    resampler.stream = nullptr;
                }
                rate = newRate;
                if (rate != kMusicRate) {
                    resampler.stream = SDL_NewAudioStream(AUDIO_S16SYS, 2, static_cast<int>(rate),
                                                          AUDIO_S16SYS, 2, kMusicRate);
                    if (!resampler.stream) {
                        *error = std::string("cannot convert the music's sample rate: ") +
                                 SDL_GetError();
                        ok = false;
                        break;
                    }
                }
            }
        }
        if (done > 0) {
            if (resampler.stream) {
                if (SDL_AudioStreamPut(resampler.stream, chunk.data(), static_cast<int>(done)) != 0 ||
                    !drainStream(resampler.stream, stereo)) {
                    *error = std::string("cannot convert the music's sample rate: ") + SDL_GetError();
                    ok = false;
                    break;
                }
            } else {
                const int16_t* s = reinterpret_cast<const int16_t*>(chunk.data());
                stereo->insert(stereo->end(), s, s + done / 2);
            }
            if (static_cast<int64_t>(stereo->size() / 2) > kMaxMusicFrames) {
                *error = std::string(path) + " is longer than 30 minutes";
                ok = false;
                break;
            }
        }
        if (rc == MPG123_DONE) break;
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
            *error = std::string("cannot decode ") + path + ": " + mpg123_strerror(mh.handle);
            ok = false;
            break;
        }
    }
    if (ok && resampler.stream) {
        SDL_AudioStreamFlush(resampler.stream);
        drainStream(resampler.stream, stereo);
    }
    if (ok && stereo->size() < 2) {
        *error = std::string("no MPEG audio found in ") + path;
        ok = false;
    }
    if (!ok) {
        stereo->clear();
        return false;
    }
    stereo->resize(stereo->size() & ~size_t{1});   // whole frames only
    return true;
}

uint32_t musicSecondsToBytes(double seconds) {
    if (!(seconds > 0.0)) return 0;
    const double bytes = std::trunc(seconds * kMusicBytesPerSecond);
    if (bytes >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(bytes);
}

float musicBytesToSeconds(uint64_t bytes) {
    return static_cast<float>(static_cast<double>(bytes) / kMusicBytesPerSecond);
}

// ---------------------------------------------------------------------------------------
// The player.

namespace {

struct Player {
    std::vector<int16_t> samples;
    int64_t frameCount = 0;
    SDL_AudioDeviceID device = 0;
    bool audioStarted = false;
    bool playing = false;
    std::string error;

    // Written by the audio callback and by the main thread, under the device lock while a
    // device is open.
    int64_t deviceBufferFrames = 0;
    int64_t writeFrame = 0;      // next frame the callback hands to the device
    int64_t anchorFrame = 0;     // writeFrame when the last callback began
    uint64_t anchorTicks = 0;    // performance counter at that moment
    // The silent clock: silentBaseFrame plus the time since silentBaseTicks. It is the
    // position whenever nothing is heard: no device, no music, or a device that stopped
    // calling back (onSilentClock). The first callback after such a stall carries on from
    // the silent clock, so the music comes back in step with the pictures.
    bool onSilentClock = false;
    int64_t silentBaseFrame = 0;
    uint64_t silentBaseTicks = 0;
    float volume = 1.0f;

    // Main thread only.
    int64_t lastFrame = 0;       // the position last returned
    bool outputWanted = false;   // a device was opened: when it goes, get one back
    uint64_t lastOpenTry = 0;

    // Set by SDL's device events, from whichever thread sends them.
    std::atomic<uint32_t> removedDevice{0};
    std::atomic<bool> deviceAdded{false};
};

// Allocated once and never freed: the audio thread may still run while the process exits.
Player& player() {
    static Player* p = new Player();
    return *p;
}

bool audible() {
    const Player& p = player();
    return p.device != 0 && p.frameCount > 0;
}

double ticksToSeconds(uint64_t ticks) {
    return static_cast<double>(ticks) / static_cast<double>(SDL_GetPerformanceFrequency());
}

// Without a callback for this long the device counts as stalled: a few buffers, and never
// less than a tenth of a second, so that a late callback is not taken for a stall.
double stallSeconds() {
    return std::max(0.1, 4.0 * static_cast<double>(player().deviceBufferFrames) / kMusicRate);
}

// While no device is back, a new one is tried this often (and at once on a device event).
constexpr double kReopenSeconds = 1.0;

int64_t silentFrameAt(uint64_t now) {
    const Player& p = player();
    const double since = now > p.silentBaseTicks ? ticksToSeconds(now - p.silentBaseTicks) : 0.0;
    return p.silentBaseFrame + static_cast<int64_t>(since * kMusicRate);
}

// The silent clock from `frame` on, starting now.
void startSilentClock(int64_t frame, uint64_t now) {
    Player& p = player();
    p.silentBaseFrame = frame;
    p.silentBaseTicks = now;
}

void audioCallback(void* /*userdata*/, Uint8* stream, int len) {
    Player& p = player();
    const uint64_t now = SDL_GetPerformanceCounter();
    if (p.onSilentClock) {
        // Back after a stall, or a new device: what is handed over now is heard one buffer
        // from now, where the silent clock will be by then.
        p.writeFrame = silentFrameAt(now) + p.deviceBufferFrames;
        p.onSilentClock = false;
    }
    p.anchorFrame = p.writeFrame;
    p.anchorTicks = now;
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    const int64_t frames = len / kMusicBytesPerFrame;
    int64_t copied = 0;
    if (p.writeFrame >= 0 && p.writeFrame < p.frameCount) {
        copied = std::min(frames, p.frameCount - p.writeFrame);
        std::memcpy(out, p.samples.data() + 2 * p.writeFrame,
                    static_cast<size_t>(copied) * kMusicBytesPerFrame);
    }
    if (p.volume < 1.0f) scaleSamples(out, 2 * copied, p.volume);
    // Past the end the device plays silence and the clock goes on.
    std::memset(out + 2 * copied, 0, static_cast<size_t>(frames - copied) * kMusicBytesPerFrame);
    p.writeFrame += frames;
}

// Notes SDL's output device events for the main thread. Called by SDL as each event is
// queued, on any thread: only the two atomics are touched.
int watchDeviceEvents(void* /*userdata*/, SDL_Event* event) {
    Player& p = player();
    if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture) {
        p.removedDevice.store(event->adevice.which);
    } else if (event->type == SDL_AUDIODEVICEADDED && !event->adevice.iscapture) {
        p.deviceAdded.store(true);
    }
    return 1;
}

void setAnchor(int64_t frame) {
    Player& p = player();
    const uint64_t now = SDL_GetPerformanceCounter();
    p.lastFrame = frame;
    if (p.device) SDL_LockAudioDevice(p.device);
    startSilentClock(frame, now);
    // A stalled device stays on the silent clock, which now runs from `frame`.
    p.writeFrame = frame;
    p.anchorFrame = frame;
    p.anchorTicks = now;
    if (p.device) SDL_UnlockAudioDevice(p.device);
}

// Opens the default output device, paused. 0 when there is none (the reason in p.error).
SDL_AudioDeviceID openOutput(int64_t* bufferFrames) {
    Player& p = player();
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = kMusicRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = audioCallback;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts if the hardware wants another format.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device) {
        p.error = std::string("cannot open the audio device: ") + SDL_GetError();
        return 0;
    }
    *bufferFrames = have.samples;
    return device;
}

// The device is gone: the position carries on from where it was on the silent clock.
void dropDevice(uint64_t now) {
    Player& p = player();
    SDL_LockAudioDevice(p.device);
    if (!p.onSilentClock) startSilentClock(p.lastFrame, now);
    SDL_UnlockAudioDevice(p.device);
    SDL_CloseAudioDevice(p.device);
    p.device = 0;
}

// Keeps sound coming while playing: a removed device is closed, and while nothing is heard
// a new default device is opened when SDL reports one added, or every kReopenSeconds when
// there is no device at all. A device that has stalled is closed only when a new one is
// added: its thread may be waiting on the system, which could hold up the closing, but a
// device added while the old one is silent is the cue that the sound went elsewhere.
// (Some drivers open only one device at a time, so the old one goes first.)
void tendOutput(uint64_t now) {
    Player& p = player();
    if (!p.outputWanted) return;
    const uint32_t removed = p.removedDevice.exchange(0);
    const bool added = p.deviceAdded.exchange(false);
    if (p.device && removed == p.device) dropDevice(now);
    if (p.device) {
        SDL_LockAudioDevice(p.device);
        const bool stalled = p.onSilentClock;
        SDL_UnlockAudioDevice(p.device);
        if (!stalled || !added) return;
        dropDevice(now);
    } else if (!added && ticksToSeconds(now - p.lastOpenTry) < kReopenSeconds) {
        return;
    }
    p.lastOpenTry = now;
    int64_t bufferFrames = 0;
    const SDL_AudioDeviceID device = openOutput(&bufferFrames);
    if (!device) return;
    p.device = device;
    SDL_LockAudioDevice(p.device);
    p.deviceBufferFrames = bufferFrames;
    p.onSilentClock = true;   // the first callback starts where the silent clock is
    SDL_UnlockAudioDevice(p.device);
    if (p.playing && p.frameCount > 0) SDL_PauseAudioDevice(p.device, 0);
}

}  // namespace

bool initMusicOutput() {
    Player& p = player();
    if (p.device) return true;
    if (!p.audioStarted) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            p.error = std::string("no audio output: ") + SDL_GetError();
            return false;
        }
        p.audioStarted = true;
    }
    int64_t bufferFrames = 0;
    p.device = openOutput(&bufferFrames);
    if (!p.device) return false;
    p.deviceBufferFrames = bufferFrames;
    p.outputWanted = true;
    p.removedDevice.store(0);
    p.deviceAdded.store(false);
    // Once only, however often the output is opened.
    SDL_DelEventWatch(watchDeviceEvents, nullptr);
    SDL_AddEventWatch(watchDeviceEvents, nullptr);
    return true;
}

bool loadMusic(const char* path) {
    Player& p = player();
    std::vector<int16_t> samples;
    std::string error;
    const bool ok = decodeMusicFile(path, &samples, &error);
    if (p.device) SDL_LockAudioDevice(p.device);
    p.samples.swap(samples);
    p.frameCount = static_cast<int64_t>(p.samples.size() / 2);
    if (p.device) SDL_UnlockAudioDevice(p.device);
    if (!ok) p.error = error;
    return ok;
}

bool playMusic() {
    Player& p = player();
    setAnchor(p.lastFrame);
    p.playing = true;
    if (!audible()) {
        if (p.frameCount == 0 && p.error.empty()) p.error = "no music loaded";
        return false;
    }
    SDL_PauseAudioDevice(p.device, 0);
    return true;
}

void setMusicPosition(uint64_t bytes) {
    const uint64_t maxFrame = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    setAnchor(static_cast<int64_t>(std::min(bytes / kMusicBytesPerFrame, maxFrame)));
}

uint64_t getMusicPosition() {
    Player& p = player();
    if (!p.playing) return static_cast<uint64_t>(p.lastFrame) * kMusicBytesPerFrame;
    const uint64_t now = SDL_GetPerformanceCounter();
    tendOutput(now);
    int64_t frame;
    if (audible()) {
        SDL_LockAudioDevice(p.device);
        if (!p.onSilentClock && now > p.anchorTicks &&
            ticksToSeconds(now - p.anchorTicks) > stallSeconds()) {
            // No callback for a few buffers (the device was unplugged, the sound server
            // went away): from where it was, time goes on without it.
            startSilentClock(p.lastFrame, now);
            p.onSilentClock = true;
        }
        if (p.onSilentClock) {
            frame = silentFrameAt(now);
        } else {
            // The buffer handed over at the last callback is heard after the one before
            // it: the listener is one buffer behind the callback and catches up at the
            // frame rate.
            const double since = now > p.anchorTicks ? ticksToSeconds(now - p.anchorTicks) : 0.0;
            const int64_t walked = static_cast<int64_t>(since * kMusicRate);
            frame = std::min(p.anchorFrame - p.deviceBufferFrames + walked, p.anchorFrame);
        }
        SDL_UnlockAudioDevice(p.device);
    } else {
        frame = silentFrameAt(now);
    }
    if (frame > p.lastFrame) p.lastFrame = frame;   // never backwards while playing
    return static_cast<uint64_t>(p.lastFrame) * kMusicBytesPerFrame;
}

void pauseMusic() {
    Player& p = player();
    if (!p.playing) return;
    getMusicPosition();   // lastFrame: where the listener is now
    p.playing = false;
    if (p.device) SDL_PauseAudioDevice(p.device, 1);
}

bool musicPlaying() { return player().playing; }

void setMusicVolume(float volume) {
    Player& p = player();
    const float v = std::min(std::max(volume, 0.0f), 1.0f);
    if (p.device) SDL_LockAudioDevice(p.device);
    p.volume = v;
    if (p.device) SDL_UnlockAudioDevice(p.device);
}

float musicVolume() { return player().volume; }

void scaleSamples(int16_t* samples, int64_t count, float volume) {
    const int32_t gain = static_cast<int32_t>(std::min(std::max(volume, 0.0f), 1.0f) * 65536.0f);
    for (int64_t i = 0; i < count; ++i) {
        const int32_t scaled = samples[i] * gain;
        samples[i] = static_cast<int16_t>(scaled / 65536);
    }
}

bool musicAudible() {
    Player& p = player();
    if (!p.playing || !audible()) return false;
    SDL_LockAudioDevice(p.device);
    const bool heard = !p.onSilentClock;
    SDL_UnlockAudioDevice(p.device);
    return heard;
}

uint32_t musicOutputDevice() { return player().device; }

void pauseMusicOutputForTest(bool paused) {
    Player& p = player();
    if (p.device) SDL_PauseAudioDevice(p.device, paused ? 1 : 0);
}

void getMusicSpectrumAt(uint64_t bytes, float* out) {
    const Player& p = player();
    if (p.frameCount == 0) {
        for (int k = 0; k < kSpectrumBins; ++k) out[k] = 0.0f;
        return;
    }
    // The analysis window is centred on the position.
    const int64_t frame = static_cast<int64_t>(bytes / kMusicBytesPerFrame);
    computeSpectrum(p.samples.data(), p.frameCount, frame - kFftSize / 2, out);
}

void getMusicSpectrum(float* out) {
    getMusicSpectrumAt(static_cast<uint64_t>(player().lastFrame) * kMusicBytesPerFrame, out);
}

void closeMusic() {
    Player& p = player();
    SDL_DelEventWatch(watchDeviceEvents, nullptr);
    if (p.device) {
        SDL_CloseAudioDevice(p.device);
        p.device = 0;
    }
    p.outputWanted = false;
    p.samples.clear();
    p.samples.shrink_to_fit();
    p.frameCount = 0;
    p.playing = false;
    p.writeFrame = p.anchorFrame = 0;
    p.onSilentClock = false;
    p.silentBaseFrame = 0;
    p.lastFrame = 0;
    p.error.clear();
    p.volume = 1.0f;
}

const std::vector<int16_t>& musicSamples() { return player().samples; }

const char* musicError() { return player().error.c_str(); }
