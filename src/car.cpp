#include "car.h"

#include "globals.h"

BITMAP* cargfx = nullptr;

static const int carDamage = 12;
static const int chaseLength = 272;
static const int driveOffSpeed = 3;

static int stepTowards(int from, int to) {
    return from < to ? from + 1 : from > to ? from - 1 : from;
}

enemycar::enemycar() {
    loadShared(cargfx, "gfx/enemycar.tga");
    hit = false;
    x = -cargfx->w;
    y = randomRow(cargfx->h);
    chaseTicks = chaseLength;
}

int enemycar::move(int carX, int carY, int carW, int carH) {
    if (chaseTicks == 0) {
        x -= driveOffSpeed;
        return 0;
    }
    y = stepTowards(y, carY);
    x = stepTowards(x, carX);
    if (collides(carX, carY, carW, carH >> 1, cargfx->w, cargfx->h >> 1)) {
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
    masked_blit(cargfx, global::dbuffer, 0, 0, x, y - (cargfx->h >> 1), cargfx->w, cargfx->h);
}

// A shot turns the car away; it is not destroyed.
void enemycar::attack(int areaX, int areaY, int areaW, int areaH) {
    if (collides(areaX, areaY, areaW, areaH >> 1, cargfx->w, cargfx->h >> 1)) {
        hit = true;
        chaseTicks = 0;
    }
}
