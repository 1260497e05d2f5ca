#include "scenes/lcg_rand.h"

namespace {
uint32_t state = 0;
}

namespace rng {

void srand(uint32_t seed) { state = seed; }

int rand() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

}  // namespace rng
