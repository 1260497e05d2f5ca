/* The Linux release links libstdc++ statically (scripts/linux.sh). Its std::random_device
 * refers to arc4random, which glibc has only from 2.36, and that one reference would make
 * the program refuse to start on older systems (Ubuntu 22.04 has glibc 2.35). The demo never
 * uses std::random_device; this definition, on getrandom (glibc 2.25), takes the reference
 * instead, so the release needs no newer C library than libgcc's unwinder does (2.35). */
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>

uint32_t arc4random(void) {
    uint32_t value = 0;
    size_t got = 0;
    while (got < sizeof value) {
        const ssize_t n = getrandom((char*)&value + got, sizeof value - got, 0);
        if (n > 0) got += (size_t)n;
        else if (errno != EINTR) abort();
    }
    return value;
}
