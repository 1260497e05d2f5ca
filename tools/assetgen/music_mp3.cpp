// MP3 encoding of the rendered track with libmp3lame (VBR, 44.1 kHz stereo).
#include "tools/assetgen/music.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

bool encodeMp3(const StereoTrack& track, int vbrQuality, std::vector<uint8_t>* mp3,
               std::string* error) {
    mp3->clear();
    if (track.left.size() != track.right.size()) {
        *error = "left and right channels differ in length";
        return false;
    }
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> gf(lame_init(), lame_close);
    if (!gf) {
        *error = "lame_init failed";
        return false;
    }
    lame_set_in_samplerate(gf.get(), kSampleRate);
    lame_set_out_samplerate(gf.get(), kSampleRate);
    lame_set_num_channels(gf.get(), 2);
    lame_set_mode(gf.get(), JOINT_STEREO);
    lame_set_VBR(gf.get(), vbr_mtrh);
    lame_set_VBR_q(gf.get(), vbrQuality);
    lame_set_bWriteVbrTag(gf.get(), 1);  // Xing/LAME tag: exact length and gapless playback
    if (lame_init_params(gf.get()) < 0) {
        *error = "lame_init_params rejected the settings";
        return false;
    }

    const size_t frames = track.left.size();
    const size_t chunk = 8192;
    std::vector<unsigned char> out(chunk * 5 / 4 + 7200);
    for (size_t pos = 0; pos < frames; pos += chunk) {
        const int n = static_cast<int>(std::min(chunk, frames - pos));
        int bytes = lame_encode_buffer_ieee_float(gf.get(), track.left.data() + pos,
                                                  track.right.data() + pos, n, out.data(),
                                                  static_cast<int>(out.size()));
        if (bytes < 0) {
            *error = "lame_encode_buffer_ieee_float failed (" + std::to_string(bytes) + ")";
            return false;
        }
        mp3->insert(mp3->end(), out.begin(), out.begin() + bytes);
    }
    int bytes = lame_encode_flush(gf.get(), out.data(), static_cast<int>(out.size()));
    if (bytes < 0) {
        *error = "lame_encode_flush failed";
        return false;
    }
    mp3->insert(mp3->end(), out.begin(), out.begin() + bytes);

    // The encoder reserved the first frame for the tag; fill it in now that the totals
    // are known.
    std::vector<unsigned char> tag(4096);
    size_t tagBytes = lame_get_lametag_frame(gf.get(), tag.data(), tag.size());
    if (tagBytes > 0 && tagBytes <= tag.size() && tagBytes <= mp3->size()) {
        std::copy(tag.begin(), tag.begin() + static_cast<long>(tagBytes), mp3->begin());
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string* error) {
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        *error = "cannot open " + tmp + " for writing";
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::remove(tmp.c_str());
        *error = "cannot write " + tmp;
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        *error = "cannot rename " + tmp + " to " + path + ": " + ec.message();
        return false;
    }
    return true;
}
