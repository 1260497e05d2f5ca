// The main() of every unit test program: GoogleTest's, after setting the drawing threads
// (bands/bands.h) from PIXELDEMO_THREADS, so that the whole suite can run with workers
// (the ThreadSanitizer run does: scripts/tsan.sh). Without it the tests draw on one thread,
// except where a test sets the threads itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "bands/bands.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (const char* text = std::getenv("PIXELDEMO_THREADS")) {
        const int n = std::atoi(text);
        if (n < 1 || n > kMaxDrawingThreads) {
            std::fprintf(stderr, "PIXELDEMO_THREADS=%s is not a number from 1 to %d\n", text,
                         kMaxDrawingThreads);
            return 2;
        }
        setDrawingThreads(n);
    }
    return RUN_ALL_TESTS();
}
