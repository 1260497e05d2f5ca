#include "scenes/lcg_rand.h"

namespace {
uint32_t generator = 0;
}

namespace rng {

void srand(uint32_t seed) { generator = seed; }

int rand() {
    generator = generator * 214013u + 2531011u;
    return static_cast<int>((generator >> 16) & 0x7FFF);
}

uint32_t state() { return generator; }

}  // namespace rng
