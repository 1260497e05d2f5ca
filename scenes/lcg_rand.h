// scenes/lcg_rand.h — the pseudo-random generator the scenes share.
//
// One 32-bit state for the whole process: srand(seed) sets it; rand() advances it as
// state = state * 214013 + 2531011 (mod 2^32) and returns (state >> 16) & 0x7FFF.
// The sprite flicker and scene 3's beat reactions depend on exactly this sequence
// (seed 74250 gives 13131 first). Not the C library's generator.
#pragma once
#include <cstdint>

namespace rng {
void srand(uint32_t seed);
int rand();
// The state itself, for saving the timeline's state; srand(state()) puts it back.
uint32_t state();
}  // namespace rng
