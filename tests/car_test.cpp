// The enemy car: comes in from beyond the left edge, chases the player's car for 272 ticks,
// strikes once for 12 and drives off to the left at 3 columns a tick.
#include "car.h"
#include "game.h"
#include "globals.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const int carW = 16;
const int carH = 12;

struct carProbe : enemycar {
    using enemycar::hit;
    using enemycar::x;
    using enemycar::y;
};

class carTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseEnemyFiles();
        writePicture("gfx/enemycar.tga", carW, carH);
    }
    void TearDown() override { releaseEnemyFiles(); }

    pixelBox drawn(enemycar& c) {
        clear_to_color(global::dbuffer, colors::white);
        c.draw();
        return paintedBox(colors::white);
    }

    // A car set down at (100, 100), chasing.
    static void place(carProbe& c) {
        c.x = 100;
        c.y = 100;
    }

    scratchFolder folder;
};

} // namespace

TEST_F(carTest, startsJustBeyondTheLeftEdgeOnARandomRow) {
    std::srand(8);
    const int row = std::rand() % (SCREEN_H - (carH >> 1) - 9);
    const int next = std::rand();
    std::srand(8);
    carProbe c;
    EXPECT_EQ(std::rand(), next);
    EXPECT_EQ(c.x, -carW);
    EXPECT_EQ(c.y, row);
    EXPECT_TRUE(drawn(c).empty());
    // Wholly off screen, but chasing: not finished.
    EXPECT_FALSE(c.finished());
}

TEST_F(carTest, stepsOneColumnAndOneRowTowardsTheCar) {
    struct step {
        int px, py, x, y;
    };
    // The player's left column and centre row, and where the enemy car ends up.
    for (const step s : {step{200, 150, 101, 101}, step{0, 30, 99, 99}, step{100, 30, 100, 99},
                         step{20, 100, 99, 100}, step{250, 100, 101, 100}}) {
        SCOPED_TRACE(testing::Message() << s.px << ", " << s.py);
        carProbe c;
        place(c);
        EXPECT_EQ(c.move(s.px, s.py, 20, 10), 0);
        EXPECT_EQ(c.x, s.x);
        EXPECT_EQ(c.y, s.y);
        EXPECT_EQ(drawn(c), (pixelBox{s.x, s.y - (carH >> 1), carW, carH}));
    }
}

TEST_F(carTest, strikeCostsTwelveOnceThenItDrivesOff) {
    carProbe c;
    place(c);
    // After its step the car's right edge (101 + W) touches the player's left column.
    EXPECT_EQ(c.move(101 + carW, 100, 20, 10), 12);
    EXPECT_EQ(c.x, 101);
    // From now on 3 columns left a tick, harmless even inside the player's car.
    for (int tick = 1; tick <= 20; ++tick) {
        EXPECT_EQ(c.move(0, 100, 300, 100), 0) << tick;
        EXPECT_EQ(c.x, 101 - 3 * tick) << tick;
        EXPECT_EQ(c.y, 100) << tick;
    }
}

TEST_F(carTest, shotTurnsTheCarAway) {
    carProbe c;
    place(c);
    // A shot one column to the right of the car misses it: the chase goes on.
    c.attack(101 + carW, 100, 20, 10);
    c.move(300, 100, 20, 10);
    EXPECT_EQ(c.x, 101);
    // A shot whose area touches the car's right edge ends the chase.
    c.attack(101 + carW, 100, 20, 10);
    EXPECT_EQ(c.x, 101);
    EXPECT_EQ(c.move(300, 100, 20, 10), 0);
    EXPECT_EQ(c.x, 98);
    // No damage any more, and a further shot changes nothing.
    c.attack(0, 100, 300, 100);
    EXPECT_EQ(c.move(0, 100, 300, 100), 0);
    EXPECT_EQ(c.x, 95);
}

TEST_F(carTest, chasesExactly272TicksWhenItNeverTouches) {
    // The player far to the right: the car gains one column per chase step.
    carProbe c;
    for (int tick = 1; tick <= 272; ++tick) {
        ASSERT_EQ(c.move(300, 100, 20, 10), 0);
        ASSERT_FALSE(c.finished());
    }
    EXPECT_EQ(c.x, 272 - carW);
    c.move(300, 100, 20, 10);
    EXPECT_EQ(c.x, 269 - carW);
}

TEST_F(carTest, notFinishedWhileChasingBeyondTheLeftEdge) {
    // The player far beyond the left edge: the car chases it out of sight.
    carProbe c;
    for (int tick = 1; tick < 272; ++tick) {
        c.move(-1000, 100, 20, 10);
        ASSERT_FALSE(c.finished()) << tick;
        ASSERT_EQ(c.x, -carW - tick);
    }
    // The last chase step still moves one column; with it the chase is used up.
    c.move(-1000, 100, 20, 10);
    EXPECT_EQ(c.x, -carW - 272);
    EXPECT_TRUE(c.finished());
}

TEST_F(carTest, finishedExactlyWhenDrivenWhollyPastTheLeftEdge) {
    carProbe c;
    place(c);
    c.attack(0, 100, 300, 100);
    c.x = 3 - carW; // columns 0..2 still on screen
    EXPECT_FALSE(c.finished());
    c.x = 1 - carW;
    EXPECT_FALSE(c.finished());
    EXPECT_EQ(drawn(c).w, 1);
    c.x = 3 - carW;
    c.move(0, 100, 20, 10);
    EXPECT_EQ(c.x, -carW);
    EXPECT_TRUE(c.finished());
}

TEST_F(carTest, oversizedPictureIsPlacedOnRowZero) {
    releaseEnemyFiles();
    writePicture("gfx/enemycar.tga", 400, 400);
    std::srand(17);
    std::rand();
    const int next = std::rand();
    std::srand(17);
    carProbe c;
    EXPECT_EQ(std::rand(), next);
    EXPECT_EQ(c.y, 0);
    EXPECT_EQ(c.x, -400);
    int ticks = 0;
    while (!c.finished() && ticks < 1000) {
        c.move(0, SCREEN_H >> 1, 20, 10);
        drawn(c);
        ++ticks;
    }
    EXPECT_TRUE(c.finished());
}
