#include "enemy.h"

#include "car.h"
#include "errors.h"
#include "globals.h"
#include "layout.h"
#include "mine.h"
#include "robot.h"
#include "stone.h"
#include "tools.h"

#include <cstdlib>
#include <iterator>

template <class kind> static enemy* make() {
    return new kind;
}

// Nearly half of all enemies are stones, then mines, robots and, rarest, enemy cars.
const enemyKind enemyKinds[] = {
    {"stone", 45, make<stone>, stoneFiles, std::size(stoneFiles)},
    {"robot", 62, make<robot>, robotFiles, std::size(robotFiles)},
    {"mine", 92, make<mine>, mineFiles, std::size(mineFiles)},
    {"enemycar", 100, make<enemycar>, carFiles, std::size(carFiles)},
};

void drawCentred(BITMAP* picture, int x, int y) {
    masked_blit(picture, global::dbuffer, 0, 0, x, y - (picture->h >> 1), picture->w, picture->h);
}

int randomBelow(int range) {
    return std::rand() % (range > 0 ? range : 1);
}

int randomRow(int imageH) {
    return randomBelow(screenH - (imageH >> 1) - statusStripRows);
}

void loadShared(const sharedFile* files, std::size_t count) {
    for (const sharedFile* file = files; file != files + count; ++file)
        if (file->picture && !*file->picture)
            *file->picture = loadPicture(file->name);
        else if (file->effect && !file->effect->isActive())
            loadSound(*file->effect, file->name);
}

void releaseShared(const sharedFile* files, std::size_t count) {
    for (const sharedFile* file = files; file != files + count; ++file)
        if (file->picture) {
            if (*file->picture)
                destroy_bitmap(*file->picture);
            *file->picture = nullptr;
        } else {
            file->effect->destroy();
        }
}
