#include "car.h"

BITMAP* cargfx = nullptr;

const sharedFile carFiles[] = {{cargfx, "gfx/enemycar.tga"}};

static const int chaseLength = 272;
static const int driveOffSpeed = 3;

static int stepTowards(int from, int to) {
    return from < to ? from + 1 : from > to ? from - 1 : from;
}

enemycar::enemycar() {
    loadShared(carFiles);
    enter(-cargfx->w, cargfx);
    chaseTicks = chaseLength;
}

int enemycar::move(int carX, int carY, int carW, int carH) {
    if (chaseTicks == 0) {
        x -= driveOffSpeed;
        return 0;
    }
    y = stepTowards(y, carY);
    x = stepTowards(x, carX);
    if (touches(cargfx, carX, carY, carW, carH)) {
        hit = true;
        chaseTicks = 0;
        return carDamage;
    }
    --chaseTicks;
    return 0;
}

bool enemycar::finished() {
    return chaseTicks == 0 && x + cargfx->w <= 0;
}

void enemycar::draw() {
    drawCentred(cargfx, x, y);
}

// A shot turns the car away; it is not destroyed.
void enemycar::attack(int areaX, int areaY, int areaW, int areaH) {
    if (touches(cargfx, areaX, areaY, areaW, areaH)) {
        hit = true;
        chaseTicks = 0;
    }
}
