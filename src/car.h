// The enemy car: comes in from the left, hunts the player's car for 8.5 seconds, then drives off.
#pragma once

#include "enemy.h"

extern BITMAP* cargfx;

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

// Frees the picture all enemy cars share; the next enemy car loads it again.
void releaseCarFiles();
