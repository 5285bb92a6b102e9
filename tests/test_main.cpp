// The game's objects bring their own main; the linker's --wrap=main sends the C runtime here.
#include <gtest/gtest.h>

extern "C" int __wrap_main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A death test's child is a fresh process rather than a fork of one that may run the
    // library's threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
