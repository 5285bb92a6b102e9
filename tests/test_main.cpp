// The game's objects bring their own main; the linker's --wrap=main sends the C runtime here.
#include <gtest/gtest.h>

extern "C" int __wrap_main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
