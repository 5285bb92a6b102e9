// The mine: slides in from the right, explodes for 16 on a touch or harmlessly under a shot, and
// shows its explosion picture for the one frame before the race removes it.
#include "game.h"
#include "globals.h"
#include "mine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const int mineW = 14;
const int mineH = 10;
const int blastW = 30;
const int blastH = 21;

struct mineProbe : mine {
    using mine::hit;
    using mine::x;
    using mine::y;
};

class mineTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseEnemyFiles();
        writePictures(blastW, blastH);
    }
    void TearDown() override { releaseEnemyFiles(); }

    static void writePictures(int explosionW, int explosionH) {
        writePicture("gfx/mine.tga", mineW, mineH);
        writePicture("gfx/mineexplosion.tga", explosionW, explosionH);
        writeSound("sfx/mineexplosion.wav");
    }

    pixelBox drawn(mine& m) {
        clear_to_color(global::dbuffer, colors::white);
        m.draw();
        return paintedBox(colors::white);
    }

    static void place(mineProbe& m) {
        m.x = 100;
        m.y = 100;
    }

    scratchFolder folder;
};

} // namespace

TEST_F(mineTest, entersAtTheRightEdgeOnARandomRowWithItsFilesLoaded) {
    EXPECT_FALSE(mineExplosionSfx.isActive());
    std::srand(21);
    const int row = std::rand() % (SCREEN_H - (mineH >> 1) - 9);
    const int next = std::rand();
    std::srand(21);
    mineProbe m;
    EXPECT_EQ(std::rand(), next);
    EXPECT_EQ(m.x, SCREEN_W - mineW);
    EXPECT_EQ(m.y, row);
    ASSERT_NE(minegfx, nullptr);
    ASSERT_NE(mineExplosion, nullptr);
    EXPECT_EQ(mineExplosion->w, blastW);
    EXPECT_TRUE(mineExplosionSfx.isActive());
    EXPECT_FALSE(m.finished());
}

TEST_F(mineTest, strikeExplodesForSixteenOnce) {
    mineProbe m;
    place(m);
    // After its step to column 96 the mine touches the car's right edge.
    EXPECT_EQ(m.move(76, 100, 20, 10), 16);
    EXPECT_TRUE(m.finished());
    // The explosion keeps the mine's left column and is centred on its row, at its own size.
    EXPECT_EQ(drawn(m), (pixelBox{96, 100 - (blastH >> 1), blastW, blastH}));
    EXPECT_EQ(m.move(76, 100, 100, 10), 0);
}

TEST_F(mineTest, shotExplodesItWithoutDamage) {
    mineProbe m;
    place(m);
    // An area ending one column short of the mine misses it.
    m.attack(79, 100, 20, 10);
    EXPECT_FALSE(m.finished());
    m.attack(80, 100, 20, 10);
    EXPECT_TRUE(m.finished());
    EXPECT_EQ(drawn(m), (pixelBox{100, 100 - (blastH >> 1), blastW, blastH}));
    // An exploded mine deals nothing, even when the car runs into it, and still slides.
    EXPECT_EQ(m.move(80, 100, 40, 10), 0);
    EXPECT_EQ(drawn(m).x, 96);
}

// The sound cannot be heard here; what is seen is one explosion where the strike left the mine,
// untouched by the shot of the same tick.
TEST_F(mineTest, strikeAndShotInOneTickAreOneExplosion) {
    mineProbe m;
    place(m);
    EXPECT_EQ(m.move(90, 100, 20, 10), 16);
    const pixelBox blast = drawn(m);
    m.attack(90, 100, 20, 10);
    EXPECT_TRUE(m.finished());
    EXPECT_EQ(drawn(m), blast);
    EXPECT_EQ(m.move(90, 100, 20, 10), 0);
}

TEST_F(mineTest, armedMineFinishesWhollyPastTheLeftEdge) {
    mineProbe m;
    m.y = 100;
    // From SCREEN_W - W, 79 steps leave columns 0..3 on screen; the 80th takes it off.
    for (int tick = 1; tick < 80; ++tick) {
        ASSERT_EQ(m.move(0, -1000, 10, 10), 0);
        ASSERT_FALSE(m.finished()) << tick;
    }
    EXPECT_EQ(drawn(m), (pixelBox{0, 100 - (mineH >> 1), 4, mineH}));
    m.move(0, -1000, 10, 10);
    EXPECT_TRUE(m.finished());
    EXPECT_FALSE(m.hit);
}

TEST_F(mineTest, oversizedPictureIsPlacedOnRowZero) {
    releaseEnemyFiles();
    writePicture("gfx/mine.tga", 400, 400);
    std::srand(44);
    std::rand();
    const int next = std::rand();
    std::srand(44);
    mineProbe m;
    EXPECT_EQ(std::rand(), next);
    EXPECT_EQ(m.y, 0);
    EXPECT_EQ(m.x, SCREEN_W - 400);
    drawn(m);
    EXPECT_EQ(m.move(0, SCREEN_H >> 1, 20, 10), 16);
    drawn(m);
    EXPECT_TRUE(m.finished());
}
