// The signal tests run on the simulated IR device. The library picks its
// backend when it is loaded, before main, so the binary runs itself again
// with IO_BACKEND=simlirc when it was started without it.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/io_api.h"

int main(int argc, char** argv) {
    if (std::strcmp(IoBackendName(), "simlirc") != 0 && std::getenv("IO_TESTS_RESTARTED") == nullptr) {
        setenv("IO_BACKEND", "simlirc", 1);
        setenv("IO_TESTS_RESTARTED", "1", 1);
        execv("/proc/self/exe", argv);
        std::perror("io_signal_tests: execv /proc/self/exe");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
