// The robot: sinks in from the top, wanders, drops three bullets two seconds apart, rises away.
// The race tests collisions at x and y, so those hold the robot's bullet, not its body.
#pragma once

#include "enemy.h"
#include "tools.h"

extern BITMAP* robotgfx;
extern BITMAP* robotbullet;
extern sound robotshoot;
// The pictures and sounds all robots share.
extern const sharedFile robotFiles[3];
// What each of its bullets costs; the robot itself is harmless.
const int bulletDamage = 9;
// How loud (of 255) a robot's shot is played.
const int robotShotVolume = 150;

class robot : public enemy {
  public:
    robot();
    int move(int carX, int carY, int carW, int carH) override;
    bool finished() override;
    void draw() override;
    void attack(int areaX, int areaY, int areaW, int areaH) override;

  protected:
    // Open to subclasses, so that the tests read and set the robot's state as they do x and y.
    void moveBody();
    int moveBullet(int carX, int carY, int carW, int carH);
    bool noBullet() const { return x < 0 && y < 0; }

    int robotX;    // left column of the body
    int robotY;    // centre row of the body
    int stayTicks; // hovering ticks left; 0 while rising away
    int turnTicks; // ticks until the next change of direction
    int direction; // +1 or -1 column per hovering tick
};
