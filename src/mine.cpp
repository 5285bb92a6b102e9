#include "mine.h"

#include "layout.h"

BITMAP* minegfx = nullptr;
BITMAP* mineExplosion = nullptr;
sound mineExplosionSfx;

const sharedFile mineFiles[] = {{minegfx, "gfx/mine.tga"},
                                {mineExplosion, "gfx/mineexplosion.tga"},
                                {mineExplosionSfx, "sfx/mineexplosion.wav"}};

mine::mine() {
    loadShared(mineFiles);
    enter(screenW - minegfx->w, minegfx);
}

int mine::move(int carX, int carY, int carW, int carH) {
    if (!slideInto(minegfx, carX, carY, carW, carH))
        return 0;
    explode();
    return mineDamage;
}

// An exploded mine is shown for the one frame before the next tick removes it.
bool mine::finished() {
    return x + minegfx->w <= 0 || hit;
}

void mine::draw() {
    drawCentred(hit ? mineExplosion : minegfx, x, y);
}

void mine::attack(int areaX, int areaY, int areaW, int areaH) {
    if (!hit && touches(minegfx, areaX, areaY, areaW, areaH))
        explode();
}

void mine::explode() {
    mineExplosionSfx.play(0, mineVolume, 127, 1000);
    hit = true;
}
