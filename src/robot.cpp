#include "robot.h"

#include "layout.h"

#include <cstdlib>

BITMAP* robotgfx = nullptr;
BITMAP* robotbullet = nullptr;
sound robotshoot;

const sharedFile robotFiles[] = {{robotgfx, "gfx/robot.tga"},
                                 {robotbullet, "gfx/robotbullet.tga"},
                                 {robotshoot, "sfx/robotshoot.wav"}};

static const int hoverLength = 192;
static const int turnInterval = 16;
static const int shotInterval = 64;
static const int bulletFall = 7;
static const int bulletDrift = 4;

static int randomDirection() {
    return (std::rand() & 1) ? 1 : -1;
}

robot::robot() {
    loadShared(robotFiles);
    robotX = randomBelow(screenW - robotgfx->w);
    x = -1;
    y = -1;
    robotY = -(robotgfx->h >> 1);
    stayTicks = hoverLength;
    turnTicks = turnInterval;
    direction = randomDirection();
}

int robot::move(int carX, int carY, int carW, int carH) {
    moveBody();
    return moveBullet(carX, carY, carW, carH);
}

void robot::moveBody() {
    if (stayTicks == 0) {
        --robotY;
        return;
    }
    --stayTicks;
    if (robotY < (robotgfx->h >> 1))
        ++robotY;
    if (--turnTicks == 0) {
        turnTicks = turnInterval;
        direction = randomDirection();
    }
    robotX += direction;
    if (robotX < 0)
        robotX = 0;
    if (robotX >= screenW - robotgfx->w)
        robotX = screenW - robotgfx->w - 1;
    if (stayTicks % shotInterval == 0) {
        robotshoot.play(0, robotShotVolume, 127, 1000);
        // A new bullet replaces one still in flight.
        x = robotX;
        y = robotgfx->h + (robotbullet->h >> 1);
    }
}

int robot::moveBullet(int carX, int carY, int carW, int carH) {
    if (noBullet())
        return 0;
    y += bulletFall;
    x -= bulletDrift;
    if (x + robotbullet->w <= 0) {
        x = y = -1;
        return 0;
    }
    if (touches(robotbullet, carX, carY, carW, carH)) {
        x = y = -1;
        return bulletDamage;
    }
    return 0;
}

bool robot::finished() {
    return robotY + robotgfx->h <= 0 && noBullet();
}

void robot::draw() {
    drawCentred(robotgfx, robotX, robotY);
    // Meant: a bullet whose left column has passed the screen's left edge is no longer drawn,
    // though it still strikes until it is wholly past it (noBullet() looks for -1, -1).
    if (x >= 0 && y >= 0)
        drawCentred(robotbullet, x, y);
}

// Neither the robot nor its bullet can be shot.
void robot::attack(int, int, int, int) {}
