// The sound loading, reached as the game reaches it: load_sample on a ".wav" file, through the
// game's check into the library's own reader. A sound that loads is the one its checked header
// describes, which also shows that load_sample took the game's reader and not the library's.
#include "fuzzsupport.h"

#include "tools.h"

#include <allegro.h>

static unsigned little(const std::uint8_t* bytes, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// The format chunk's fields, where a checked file has its only one.
static void expectAsHeader(const SAMPLE* sample, const std::uint8_t* data, std::size_t checked) {
    const std::uint8_t* format = data + 12;
    while (std::string(reinterpret_cast<const char*>(format), 4) != "fmt ")
        format += 8 + little(format + 4, 4);
    const std::uint8_t* chunk = format;
    while (std::string(reinterpret_cast<const char*>(chunk), 4) != "data")
        chunk += 8 + little(chunk + 4, 4);
    const int channels = static_cast<int>(little(format + 10, 2));
    const int bits = static_cast<int>(little(format + 22, 2));
    const unsigned frames = little(chunk + 4, 4) / static_cast<unsigned>(channels * bits / 8);
    if (sample->bits != bits || (sample->stereo != 0) != (channels == 2) ||
        sample->freq != static_cast<int>(little(format + 12, 4)) ||
        sample->len != static_cast<unsigned long>(frames) ||
        chunk + 8 + little(chunk + 4, 4) != data + checked)
        broken("a sound unlike its header");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    inScratchFolder scratch;
    writeInput("sound.wav", data, size);
    SAMPLE* sample = load_sample("sound.wav");
    const std::size_t checked = playableWavSize(data, size);
    if (!sample != (checked == 0))
        broken(sample ? "a sound loaded that the check refuses" : "a checked sound did not load");
    if (sample) {
        expectAsHeader(sample, data, checked);
        destroy_sample(sample);
    }
    return 0;
}
