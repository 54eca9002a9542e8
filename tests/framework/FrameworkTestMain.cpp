#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    // Console text is checked byte for byte as the framework prints it.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Some tests end the process on purpose; they run in a fresh copy of this
    // executable rather than in a fork that shares the X connection.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
