// The collision rule every enemy shares, and the random placement that has to survive a picture
// too large for the screen.
#include "enemy.h"
#include "game.h"
#include "globals.h"
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// An enemy of no kind: just a rectangle at a chosen place.
class rectangle : public enemy {
  public:
    rectangle(int left, int centre) {
        x = left;
        y = centre;
        hit = false;
    }
    int move(int, int, int, int) override { return 0; }
    bool finished() override { return false; }
    void draw() override {}
    void attack(int, int, int, int) override {}
};

// A stone that can be put anywhere.
struct placedStone : stone {
    placedStone(int left, int centre) {
        x = left;
        y = centre;
    }
};

} // namespace

// The enemy covers columns 100..120 and rows 45..55.
TEST(collides, touchingEdgesCollideOneColumnOrRowApartDoesNot) {
    const rectangle e(100, 50);
    // The other's right edge on the enemy's left column (a + c = x), and one column short.
    EXPECT_TRUE(e.collides(80, 50, 20, 3, 20, 5));
    EXPECT_FALSE(e.collides(79, 50, 20, 3, 20, 5));
    // The other's left column on the enemy's right edge (a = x + w), and one column further.
    EXPECT_TRUE(e.collides(120, 50, 20, 3, 20, 5));
    EXPECT_FALSE(e.collides(121, 50, 20, 3, 20, 5));
    // Bottom row of the other on the top row of the enemy, and one row higher.
    EXPECT_TRUE(e.collides(110, 42, 4, 3, 20, 5));
    EXPECT_FALSE(e.collides(110, 41, 4, 3, 20, 5));
    // Top row of the other on the bottom row of the enemy, and one row lower.
    EXPECT_TRUE(e.collides(110, 58, 4, 3, 20, 5));
    EXPECT_FALSE(e.collides(110, 59, 4, 3, 20, 5));
    // Corners that only touch collide; a corner one off on both axes does not.
    EXPECT_TRUE(e.collides(80, 42, 20, 3, 20, 5));
    EXPECT_FALSE(e.collides(79, 41, 20, 3, 20, 5));
    // Overlapping columns alone, or rows alone, are not a collision.
    EXPECT_FALSE(e.collides(105, 80, 4, 3, 20, 5));
    EXPECT_FALSE(e.collides(200, 50, 4, 3, 20, 5));
}

TEST(collides, containmentCollidesBothWays) {
    // A small other inside a large enemy.
    EXPECT_TRUE(rectangle(100, 100).collides(110, 100, 4, 2, 60, 30));
    // A small enemy inside a large other.
    EXPECT_TRUE(rectangle(150, 100).collides(0, 100, 319, 90, 4, 2));
}

class enemyBounds : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseEnemyFiles();
    }
    void TearDown() override { releaseEnemyFiles(); }

    // Where the stone's picture lands in the double buffer.
    pixelBox drawn(stone& s) {
        clear_to_color(global::dbuffer, colors::white);
        s.draw();
        return paintedBox(colors::white);
    }

    scratchFolder folder;
};

// The strike area of a stone is its drawn picture plus one column on the right, and for an even
// height one row at the bottom: the half height is the height shifted right by one.
TEST_F(enemyBounds, strikeAreaIsTheDrawnPictureWithInclusiveEdges) {
    for (const int height : {9, 10}) {
        SCOPED_TRACE(height);
        releaseEnemyFiles();
        writePicture("gfx/stone.tga", 16, height);
        // A car one pixel high and no columns wide, tested against a fresh stone each time; the
        // stone steps 4 columns left before it tests.
        auto strikes = [&](int column, int row) {
            placedStone s(104, 100);
            return s.move(column, row, 0, 1) != 0;
        };
        placedStone shown(100, 100);
        const pixelBox box = drawn(shown);
        ASSERT_EQ(box, (pixelBox{100, 100 - (height >> 1), 16, height}));
        const int lastDrawnRow = box.y + box.h - 1;
        EXPECT_TRUE(strikes(100, box.y));
        EXPECT_FALSE(strikes(100, box.y - 1));
        EXPECT_TRUE(strikes(100, lastDrawnRow));
        EXPECT_EQ(strikes(100, lastDrawnRow + 1), height % 2 == 0);
        EXPECT_FALSE(strikes(100, lastDrawnRow + 2));
        // One column more than the picture on the right, none on the left.
        EXPECT_TRUE(strikes(box.x + box.w, 100));
        EXPECT_FALSE(strikes(box.x + box.w + 1, 100));
        EXPECT_TRUE(strikes(box.x, 100));
        EXPECT_FALSE(strikes(box.x - 1, 100));
    }
}

TEST(randomPlacement, emptyOrNegativeRangeGivesZeroAndStillDrawsOnce) {
    for (const int range : {0, -1, -209}) {
        SCOPED_TRACE(range);
        std::srand(99);
        std::rand();
        const int second = std::rand();
        std::srand(99);
        EXPECT_EQ(randomBelow(range), 0);
        EXPECT_EQ(std::rand(), second);
    }
    std::srand(5);
    const int expected = std::rand() % 7;
    std::srand(5);
    EXPECT_EQ(randomBelow(7), expected);
}
