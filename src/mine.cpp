#include "mine.h"

#include "globals.h"

BITMAP* minegfx = nullptr;
BITMAP* mineExplosion = nullptr;
sound mineExplosionSfx;

static const int mineDamage = 16;
static const int roadSpeed = 4;

mine::mine() {
    loadShared(minegfx, "gfx/mine.tga");
    loadShared(mineExplosion, "gfx/mineexplosion.tga");
    loadShared(mineExplosionSfx, "sfx/mineexplosion.wav");
    hit = false;
    x = SCREEN_W - minegfx->w;
    y = randomRow(minegfx->h);
}

int mine::move(int carX, int carY, int carW, int carH) {
    x -= roadSpeed;
    if (hit)
        return 0;
    if (collides(carX, carY, carW, carH >> 1, minegfx->w, minegfx->h >> 1)) {
        explode();
        return mineDamage;
    }
    return 0;
}

// An exploded mine is shown for the one frame before the next tick removes it.
bool mine::finished() {
    return x + minegfx->w <= 0 || hit;
}

void mine::draw() {
    if (hit)
        masked_blit(mineExplosion, global::dbuffer, 0, 0, x, y - (mineExplosion->h >> 1),
                    mineExplosion->w, mineExplosion->h);
    else
        masked_blit(minegfx, global::dbuffer, 0, 0, x, y - (minegfx->h >> 1), minegfx->w,
                    minegfx->h);
}

void mine::attack(int areaX, int areaY, int areaW, int areaH) {
    if (!hit && collides(areaX, areaY, areaW, areaH >> 1, minegfx->w, minegfx->h >> 1))
        explode();
}

void mine::explode() {
    mineExplosionSfx.play(0, 200, 127, 1000);
    hit = true;
}
