// The stone: slides in from the right at 4 columns a tick and costs 4 points on its first touch.
#include "game.h"
#include "globals.h"
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const int stoneW = 16;
const int stoneH = 12;

// A stone whose place and state the test can read and set.
struct stoneProbe : stone {
    using stone::hit;
    using stone::x;
    using stone::y;
};

class stoneTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseEnemyFiles();
        writePicture("gfx/stone.tga", stoneW, stoneH);
    }
    void TearDown() override { releaseEnemyFiles(); }

    pixelBox drawn(stone& s) {
        clear_to_color(global::dbuffer, colors::white);
        s.draw();
        return paintedBox(colors::white);
    }

    scratchFolder folder;
};

} // namespace

TEST_F(stoneTest, entersFullyVisibleAtTheRightEdgeOnARandomRow) {
    for (const unsigned seed : {1u, 2u, 3u, 77u, 4242u}) {
        SCOPED_TRACE(seed);
        std::srand(seed);
        const int row = std::rand() % (SCREEN_H - (stoneH >> 1) - 9);
        const int next = std::rand();
        std::srand(seed);
        stone s;
        EXPECT_EQ(std::rand(), next) << "one random number per stone";
        const int top = row - (stoneH >> 1);
        const int visibleTop = top < 0 ? 0 : top;
        EXPECT_EQ(drawn(s),
                  (pixelBox{SCREEN_W - stoneW, visibleTop, stoneW, top + stoneH - visibleTop}));
    }
}

// All stones of a race share the one picture loaded by the first.
TEST_F(stoneTest, picturesAreLoadedOncePerKind) {
    EXPECT_EQ(gfx, nullptr);
    stone first;
    ASSERT_NE(gfx, nullptr);
    BITMAP* shared = gfx;
    writePicture("gfx/stone.tga", 40, 30);
    stone second;
    EXPECT_EQ(gfx, shared);
    EXPECT_EQ(drawn(second).w, stoneW);
}

TEST_F(stoneTest, pictureIsDrawnMasked) {
    releaseEnemyFiles();
    writePicture("gfx/stone.tga", stoneW, stoneH, true);
    stoneProbe s;
    s.y = 100;
    // The mask-coloured frame stays transparent.
    EXPECT_EQ(drawn(s),
              (pixelBox{SCREEN_W - stoneW + 1, 100 - (stoneH >> 1) + 1, stoneW - 2, stoneH - 2}));
}

// The stone steps before it tests, so a stone 4 columns short of the car strikes on this tick.
TEST_F(stoneTest, strikesOnTheTickItsStepReachesTheCar) {
    const int carW = 30;
    stoneProbe s;
    const int row = s.y;
    // The car's right edge 4 columns left of the stone: touching after the step.
    EXPECT_EQ(s.move(SCREEN_W - stoneW - 4 - carW, row, carW, 10), 4);

    stoneProbe later;
    later.y = row;
    // One column further left: the first step leaves a gap of one column, the second touches.
    EXPECT_EQ(later.move(SCREEN_W - stoneW - 5 - carW, row, carW, 10), 0);
    EXPECT_EQ(later.move(SCREEN_W - stoneW - 5 - carW, row, carW, 10), 4);
}

TEST_F(stoneTest, strikesOnceThenSlidesOnHarmlessly) {
    stoneProbe s;
    s.x = 100;
    s.y = 100;
    // A car of 60 columns that the stone takes many ticks to cross.
    EXPECT_EQ(s.move(50, 100, 60, 10), 4);
    for (int tick = 1; tick <= 10; ++tick) {
        EXPECT_EQ(s.move(50, 100, 60, 10), 0) << tick;
        EXPECT_EQ(drawn(s).x, 96 - 4 * tick) << tick;
    }
}

TEST_F(stoneTest, finishedExactlyWhenWhollyPastTheLeftEdge) {
    stone s;
    // From SCREEN_W - W, 79 steps leave columns 0..3 on screen; the 80th takes it off.
    for (int tick = 1; tick < 80; ++tick) {
        s.move(0, -1000, 10, 10);
        ASSERT_FALSE(s.finished()) << tick;
    }
    const pixelBox last = drawn(s);
    EXPECT_EQ(last.x, 0);
    EXPECT_EQ(last.w, 4);
    s.move(0, -1000, 10, 10);
    EXPECT_TRUE(s.finished());

    stoneProbe edge;
    edge.x = 1 - stoneW; // its last column is 0
    EXPECT_FALSE(edge.finished());
    EXPECT_EQ(drawn(edge).w, 1);
    edge.x = -stoneW; // its last column is -1
    EXPECT_TRUE(edge.finished());
}

TEST_F(stoneTest, shotPassesOverIt) {
    stoneProbe s;
    s.x = 100;
    s.y = 100;
    const pixelBox before = drawn(s);
    s.attack(90, 100, 40, 30);
    EXPECT_EQ(drawn(s), before);
    EXPECT_FALSE(s.finished());
    // Still able to strike.
    EXPECT_EQ(s.move(90, 100, 20, 10), 4);
}

// A picture too tall for the screen leaves no rows to choose from: the stone goes to row 0.
TEST_F(stoneTest, oversizedPictureIsPlacedOnRowZero) {
    for (const int height : {382, 400}) {
        SCOPED_TRACE(height);
        releaseEnemyFiles();
        writePicture("gfx/stone.tga", 400, height);
        std::srand(31);
        std::rand();
        const int next = std::rand();
        std::srand(31);
        stoneProbe s;
        EXPECT_EQ(std::rand(), next);
        EXPECT_EQ(s.y, 0);
        EXPECT_EQ(s.x, SCREEN_W - 400);
        int ticks = 0;
        while (!s.finished() && ticks < 1000) {
            s.move(0, SCREEN_H >> 1, 20, 10);
            drawn(s);
            ++ticks;
        }
        EXPECT_EQ(ticks, 80);
    }
}
