#include <gtest/gtest.h>

#include "tests/support/XServer.h"

#include <cstdio>

int main(int argc, char** argv) {
    // Console text is checked byte for byte as the framework prints it.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Some tests end the process on purpose; they run in a fresh copy of this
    // executable rather than in a fork that shares the X connection.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Each test process draws on an X server of its own.
    if (!GTEST_FLAG_GET(list_tests) && !testsupport::UsePrivateDisplay())
        std::fprintf(stderr, "No private Xvfb could be started; using DISPLAY as it is.\n");
    return RUN_ALL_TESTS();
}
