// The game's objects bring their own main; the linker's --wrap=main sends the C runtime to
// libFuzzer's driver instead.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv,
                                   int (*test)(const std::uint8_t* data, std::size_t size));

extern "C" int __wrap_main(int argc, char** argv) {
    return LLVMFuzzerRunDriver(&argc, &argv, LLVMFuzzerTestOneInput);
}
