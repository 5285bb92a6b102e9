#include "stone.h"

#include "globals.h"

BITMAP* gfx = nullptr;

static const int stoneDamage = 4;
static const int roadSpeed = 4;

stone::stone() {
    loadShared(gfx, "gfx/stone.tga");
    hit = false;
    x = SCREEN_W - gfx->w;
    y = randomRow(gfx->h);
}

int stone::move(int carX, int carY, int carW, int carH) {
    x -= roadSpeed;
    if (hit)
        return 0;
    if (collides(carX, carY, carW, carH >> 1, gfx->w, gfx->h >> 1)) {
        hit = true;
        return stoneDamage;
    }
    return 0;
}

bool stone::finished() {
    return x + gfx->w <= 0;
}

void stone::draw() {
    masked_blit(gfx, global::dbuffer, 0, 0, x, y - (gfx->h >> 1), gfx->w, gfx->h);
}

// The shot passes over a stone.
void stone::attack(int, int, int, int) {}
