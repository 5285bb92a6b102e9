// A stone on the road: slides in from the right and costs 4 points on its first touch.
#pragma once

#include "enemy.h"

extern BITMAP* gfx;
// The pictures and sounds all stones share.
extern const sharedFile stoneFiles[1];
const int stoneDamage = 4;

class stone : public enemy {
  public:
    stone();
    int move(int carX, int carY, int carW, int carH) override;
    bool finished() override;
    void draw() override;
    void attack(int areaX, int areaY, int areaW, int areaH) override;
};
