#include "stone.h"

#include "layout.h"

BITMAP* gfx = nullptr;

const sharedFile stoneFiles[] = {{gfx, "gfx/stone.tga"}};

stone::stone() {
    loadShared(stoneFiles);
    enter(screenW - gfx->w, gfx);
}

// The stone slides on after its strike, harmless.
int stone::move(int carX, int carY, int carW, int carH) {
    if (!slideInto(gfx, carX, carY, carW, carH))
        return 0;
    hit = true;
    return stoneDamage;
}

bool stone::finished() {
    return x + gfx->w <= 0;
}

void stone::draw() {
    drawCentred(gfx, x, y);
}

// The shot passes over a stone.
void stone::attack(int, int, int, int) {}
