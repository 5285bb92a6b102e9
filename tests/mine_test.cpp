// The mine: slides in from the right, explodes for 16 on a touch or harmlessly under a shot, and
// shows its explosion picture for the one frame before the race removes it.
#include "mine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

const int mineW = 14;
const int mineH = 10;
const int blastW = 30;
const int blastH = 21;

class mineTest : public testing::Test {
  protected:
    mineTest() { writeRaceFiles(); }
    enemyScene scene;
};

} // namespace

TEST_F(mineTest, strikeExplodesForSixteenOnce) {
    placed<mine> m(100, 100);
    // After its step to column 96 the mine touches the car's right edge.
    EXPECT_EQ(m.move(76, 100, 20, 10), mineDamage);
    EXPECT_TRUE(m.finished());
    // The explosion keeps the mine's left column and is centred on its row, at its own size.
    EXPECT_EQ(drawnAlone(m), (pixelBox{96, 100 - (blastH >> 1), blastW, blastH}));
    EXPECT_EQ(m.move(76, 100, 100, 10), 0);
}

TEST_F(mineTest, shotExplodesItWithoutDamage) {
    placed<mine> m(100, 100);
    m.attack(79, 100, 20, 10);
    EXPECT_FALSE(m.finished()) << "an area ending one column short misses";
    m.attack(80, 111, 20, 10);
    EXPECT_FALSE(m.finished()) << "an area starting one row below misses";
    m.attack(80, 100, 20, 10);
    EXPECT_TRUE(m.finished());
    EXPECT_EQ(drawnAlone(m), (pixelBox{100, 100 - (blastH >> 1), blastW, blastH}));
    // An exploded mine deals nothing, even when the car runs into it, and still slides.
    EXPECT_EQ(m.move(80, 100, 40, 10), 0);
    EXPECT_EQ(m.x, 96);
}

TEST_F(mineTest, armedMineFinishesWhollyPastTheLeftEdge) {
    placed<mine> m(1 - mineW, 100);
    EXPECT_FALSE(m.finished());
    EXPECT_EQ(drawnAlone(m), (pixelBox{0, 100 - (mineH >> 1), 1, mineH}));
    m.x = -mineW;
    EXPECT_TRUE(m.finished());
}
