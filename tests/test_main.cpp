// The game's objects bring their own main; the linker's --wrap=main sends the C runtime here.
#include <gtest/gtest.h>

extern "C" int __wrap_main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// With a sound device (the engine's test has one), the library's ALSA driver keeps a few bytes
// it allocates in install_sound until the process ends: not the game's, and no leak of a test.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:install_sound\n";
}
