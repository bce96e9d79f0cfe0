// The tests exercise the simulated port. The library picks its backend when it
// is loaded, before main; on a machine with a usable /dev/parport0 that would
// be ppdev, so the binary then runs itself again with IO_BACKEND=sim.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/io_api.h"

int main(int argc, char** argv) {
    if (std::strcmp(IoBackendName(), "sim") != 0 && std::getenv("IO_TESTS_RESTARTED") == nullptr) {
        setenv("IO_BACKEND", "sim", 1);
        setenv("IO_TESTS_RESTARTED", "1", 1);
        execv("/proc/self/exe", argv);
        std::perror("io_tests: execv /proc/self/exe");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
