// The stone: slides in from the right at 4 columns a tick and costs 4 points on its first touch.
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

const int stoneW = 16;
const int stoneH = 12;

class stoneTest : public testing::Test {
  protected:
    stoneTest() { writePicture("gfx/stone.tga", stoneW, stoneH); }
    enemyScene scene;
};

} // namespace

// All stones of a race share the one picture the first loaded; its mask frame stays clear.
TEST_F(stoneTest, sharesOnePictureDrawnMasked) {
    writePicture("gfx/stone.tga", stoneW, stoneH, true);
    stone first;
    BITMAP* shared = gfx;
    writePicture("gfx/stone.tga", 40, 30);
    placed<stone> second;
    EXPECT_EQ(gfx, shared);
    second.y = 100;
    EXPECT_EQ(drawnAlone(second),
              (pixelBox{SCREEN_W - stoneW + 1, 100 - (stoneH >> 1) + 1, stoneW - 2, stoneH - 2}));
}

// The stone steps before it tests, so a stone 4 columns short of the car strikes in this tick;
// it strikes once and slides on harmlessly, and the shot passes over it.
TEST_F(stoneTest, strikesOnceOnTheTickItsStepReachesTheCar) {
    const int carW = 30;
    const int carX = SCREEN_W - stoneW - 4 - carW;
    placed<stone> s;
    s.attack(0, s.y, SCREEN_W, 100);
    EXPECT_EQ(s.move(carX, s.y, carW, 10), stoneDamage);
    for (int tick = 1; tick <= 10; ++tick) {
        EXPECT_EQ(s.move(carX - 100, s.y, 200, 10), 0) << tick;
        EXPECT_EQ(s.x, carX + carW - 4 * tick) << tick;
    }

    placed<stone> later;
    EXPECT_EQ(later.move(carX - 1, later.y, carW, 10), 0);
    EXPECT_EQ(later.move(carX - 1, later.y, carW, 10), stoneDamage);
}

TEST_F(stoneTest, finishedExactlyWhenWhollyPastTheLeftEdge) {
    placed<stone> edge(1 - stoneW, 100);
    EXPECT_FALSE(edge.finished());
    EXPECT_EQ(drawnAlone(edge).w, 1);
    edge.x = -stoneW;
    EXPECT_TRUE(edge.finished());
}
