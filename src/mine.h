// A mine on the road: explodes on a touch (16 points) or harmlessly under the player's shot.
#pragma once

#include "enemy.h"
#include "tools.h"

extern BITMAP* minegfx;
extern BITMAP* mineExplosion;
extern sound mineExplosionSfx;
// The pictures and sounds all mines share.
extern const sharedFile mineFiles[3];
const int mineDamage = 16;
// How loud (of 255) a mine explodes.
const int mineVolume = 200;

class mine : public enemy {
  public:
    mine();
    int move(int carX, int carY, int carW, int carH) override;
    bool finished() override;
    void draw() override;
    void attack(int areaX, int areaY, int areaW, int areaH) override;

  private:
    void explode();
};
