// The stored golden frames, tests/unit/golden_frames.txt: one line a frame, "n t hash"
// (frame n of the fixed clock at 10 frames a second, its time, its fingerprint in hex);
// lines starting with '#' are comments. test_golden_frames writes and checks the file,
// test_replay checks jumps against it.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline const char* const kGoldenPath = DEMO_SOURCE_DIR "/tests/unit/golden_frames.txt";

// The fingerprints in file order; the frame numbers into *frames when it is given. Empty
// when the file is missing.
inline std::vector<uint64_t> readGoldenFile(std::vector<int64_t>* frames = nullptr) {
    std::vector<uint64_t> hashes;
    std::ifstream in(kGoldenPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        long long n = 0;
        std::string t, hex;
        fields >> n >> t >> hex;
        if (frames) frames->push_back(n);
        hashes.push_back(std::strtoull(hex.c_str(), nullptr, 16));
    }
    return hashes;
}
