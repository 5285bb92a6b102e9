// The enemy car: comes in from the left, hunts the player's car for 8.5 seconds, then drives off.
#pragma once

#include "enemy.h"

extern BITMAP* cargfx;
// The pictures and sounds all enemy cars share.
extern const sharedFile carFiles[1];
const int carDamage = 12;

class enemycar : public enemy {
  public:
    enemycar();
    int move(int carX, int carY, int carW, int carH) override;
    bool finished() override;
    void draw() override;
    void attack(int areaX, int areaY, int areaW, int areaH) override;

  private:
    int chaseTicks; // chase steps left; 0 while driving off
};
