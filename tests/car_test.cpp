// The enemy car: comes in from beyond the left edge, chases the player's car for 272 ticks,
// strikes once for 12 and drives off to the left at 3 columns a tick.
#include "car.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

const int carW = 16;
const int carH = 12;

class carTest : public testing::Test {
  protected:
    carTest() { writePicture("gfx/enemycar.tga", carW, carH); }
    enemyScene scene;
};

} // namespace

TEST_F(carTest, stepsOneColumnAndOneRowTowardsTheCar) {
    struct step {
        int px, py, x, y; // the player's left column and centre row; where the enemy car goes
    };
    for (const step s : {step{200, 150, 101, 101}, step{0, 30, 99, 99}, step{100, 30, 100, 99},
                         step{20, 100, 99, 100}, step{250, 100, 101, 100}}) {
        SCOPED_TRACE(testing::Message() << s.px << ", " << s.py);
        placed<enemycar> c(100, 100);
        EXPECT_EQ(c.move(s.px, s.py, 20, 10), 0);
        EXPECT_EQ(drawnAlone(c), (pixelBox{s.x, s.y - (carH >> 1), carW, carH}));
    }
}

TEST_F(carTest, strikeCostsTwelveOnceThenItDrivesOff) {
    placed<enemycar> c(100, 100);
    // After its step the car's right edge (101 + W) touches the player's left column.
    EXPECT_EQ(c.move(101 + carW, 100, 20, 10), carDamage);
    EXPECT_EQ(c.x, 101);
    // From now on 3 columns left a tick, harmless even inside the player's car.
    for (int tick = 1; tick <= 20; ++tick) {
        EXPECT_EQ(c.move(0, 100, 300, 100), 0) << tick;
        EXPECT_EQ(c.x, 101 - 3 * tick) << tick;
        EXPECT_EQ(c.y, 100) << tick;
    }
}

TEST_F(carTest, shotTouchingItTurnsItAway) {
    placed<enemycar> c(100, 100);
    c.attack(101 + carW, 100, 20, 10);
    c.move(300, 100, 20, 10);
    EXPECT_EQ(c.x, 101) << "a shot one column to the right misses; the chase goes on";
    c.attack(101 + carW, 100, 20, 10);
    EXPECT_EQ(c.move(101, 100, 20, 10), 0);
    EXPECT_EQ(c.x, 98);
}

// Chasing a player far beyond the left edge, it is out of sight but not finished until its
// 272 chase steps are used up; driving off, it is finished once wholly past the edge.
TEST_F(carTest, finishedOnlyOnceTheChaseIsOverAndItIsOffScreen) {
    placed<enemycar> c;
    for (int tick = 1; tick < 272; ++tick) {
        c.move(-1000, 100, 20, 10);
        ASSERT_FALSE(c.finished()) << tick;
        ASSERT_EQ(c.x, -carW - tick);
    }
    c.move(-1000, 100, 20, 10);
    EXPECT_EQ(c.x, -carW - 272);
    EXPECT_TRUE(c.finished());

    placed<enemycar> away(100, 100);
    away.attack(0, 100, 300, 100);
    away.x = 1 - carW;
    EXPECT_FALSE(away.finished());
    EXPECT_EQ(drawnAlone(away).w, 1);
    away.x = 3 - carW;
    away.move(0, 100, 20, 10);
    EXPECT_TRUE(away.finished());
}
