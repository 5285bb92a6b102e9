// The best result's file, read and saved as the game does. Whatever highscore.sav holds, reading
// it gives the hours and minutes of its first 8 bytes and never stops the game, and after a race
// whose result is taken from the input's next 8 bytes the stored best is the better of the two.
#include "fuzzsupport.h"

#include "game.h"
#include "main.h"
#include "main_internal.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>

static std::int32_t numberAt(const std::uint8_t* data, std::size_t size, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = at + 4; i-- > at;)
        value = value << 8 | (i < size ? data[i] : 0);
    return static_cast<std::int32_t>(value);
}

static bool better(const returnStruct& a, const returnStruct& b) {
    return a.hours > b.hours || (a.hours == b.hours && a.minutes > b.minutes);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    inScratchFolder scratch;
    writeInput("highscore.sav", data, size);
    const returnStruct stored{numberAt(data, size, 0), numberAt(data, size, 4)};
    returnStruct read{};
    readHighscore(read.hours, read.minutes);
    if (read.hours != stored.hours || read.minutes != stored.minutes)
        broken("the best read is not what the file's first 8 bytes say");
    returnStruct race{numberAt(data, size, 8), numberAt(data, size, 12)};
    updateHighscore(&race);
    const returnStruct best = better(race, stored) ? race : stored;
    readHighscore(read.hours, read.minutes);
    if (read.hours != best.hours || read.minutes != best.minutes)
        broken("the stored best is not the better of the old best and the race");
    unlink("highscore.sav");
    unlink("highscore.sav.lock");
    return 0;
}
