#include "enemy.h"

#include "errors.h"
#include "tools.h"

#include <cstdlib>

int randomBelow(int range) {
    return std::rand() % (range > 0 ? range : 1);
}

int randomRow(int imageH) {
    return randomBelow(SCREEN_H - (imageH >> 1) - 9);
}

void loadShared(BITMAP*& picture, const char* fileName) {
    if (picture)
        return;
    picture = load_bitmap(fileName, nullptr);
    if (!picture)
        error::loadBit(fileName);
}

void loadShared(sound& effect, const char* fileName) {
    if (effect.isActive())
        return;
    if (!effect.load(fileName))
        error::sampleLoad(fileName);
}
