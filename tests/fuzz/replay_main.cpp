// Without libFuzzer: feeds every file of the folders given to the target once, as the fuzzer
// does with its corpus, so the normal test suite replays every input that ever failed. The
// game's objects bring their own main; the linker's --wrap=main sends the C runtime here.
#include "fuzzsupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int __wrap_main(int argc, char** argv) {
    int inputs = 0;
    for (int arg = 1; arg < argc; ++arg)
        for (const auto& entry : std::filesystem::directory_iterator(argv[arg])) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            std::printf("%s\n", entry.path().filename().c_str());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++inputs;
        }
    std::printf("%d inputs\n", inputs);
    return inputs > 0 ? 0 : 1;
}
