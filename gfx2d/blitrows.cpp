// gfx2d/blitrows.cpp — which row kernel sets this processor runs, and the choice of blitRows.
#include "gfx2d/blitrows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct KernelList {
    const BlitRowKernels* sets[5];
    int count = 0;
    KernelList() {
        sets[count++] = &blitRowsReference;
        sets[count++] = &blitRowsFast;
#ifdef GFX2D_HAVE_SSE2_KERNELS
        sets[count++] = &blitRowsSse2;   // part of x86-64 itself, and of wasm SIMD
#endif
#ifdef GFX2D_HAVE_X86_KERNELS
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2")) sets[count++] = &blitRowsAvx2;
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
            sets[count++] = &blitRowsAvx512;
#endif
    }
};

const KernelList& kernelList() {
    static const KernelList list;
    return list;
}

// Picks the set at start-up: the fastest, or the one PIXELDEMO_BLIT_KERNELS names.
const BlitRowKernels* chooseAtStartup() {
    const char* wanted = std::getenv("PIXELDEMO_BLIT_KERNELS");
    if (wanted && *wanted) {
        if (const BlitRowKernels* set = findBlitRowKernels(wanted)) return set;
        std::fprintf(stderr,
                     "pixeldemo: PIXELDEMO_BLIT_KERNELS=%s is not a kernel set this processor "
                     "runs; using %s\n",
                     wanted, bestBlitRowKernels()->name);
    }
    return bestBlitRowKernels();
}

}  // namespace

// A valid set from the first instruction on; the start-up choice replaces it before main.
const BlitRowKernels* blitRows = &blitRowsFast;
[[maybe_unused]] static const bool chosenAtStartup = (blitRows = chooseAtStartup(), true);

const BlitRowKernels* const* blitRowKernelSets(int* count) {
    const KernelList& list = kernelList();
    if (count) *count = list.count;
    return list.sets;
}

const BlitRowKernels* findBlitRowKernels(const char* name) {
    const KernelList& list = kernelList();
    for (int i = 0; name && i < list.count; ++i)
        if (std::strcmp(list.sets[i]->name, name) == 0) return list.sets[i];
    return nullptr;
}

const BlitRowKernels* bestBlitRowKernels() {
    const KernelList& list = kernelList();
    return list.sets[list.count - 1];
}
