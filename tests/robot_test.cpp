// The robot: sinks in from the top, wanders, fires on its calls 64, 128 and 192, rises away.
// Only its bullets harm the player: 9 once, 7 rows down and 4 columns left a call.
#include "game_internal.h"
#include "robot.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

const int robotW = 24;
const int robotH = 11;
const int bulletW = 6;
const int bulletH = 5;

// A robot whose body, bullet and hovering calls left the test can read and set.
struct seenRobot : placed<robot> {
    using robot::direction;
    using robot::noBullet;
    using robot::robotX;
    using robot::robotY;
    using robot::stayTicks;
    // One call with the player's car far out of the bullet's reach.
    int moveAway() { return move(0, -100000, 1, 1); }
    // Calls until it has been called the given number of times since it was made.
    void moveAwayTo(int calls) {
        while (192 - stayTicks < calls && stayTicks > 0)
            moveAway();
    }
    // A bullet in flight at the given place.
    void shoot(int left, int centre) {
        x = left;
        y = centre;
    }
};

class robotTest : public testing::Test {
  protected:
    robotTest() { writePictures(robotW, robotH); }

    static void writePictures(int width, int height) {
        releaseEnemyFiles();
        writePicture("gfx/robot.tga", width, height);
        writePicture("gfx/robotbullet.tga", bulletW, bulletH);
        writeSound("sfx/robotshoot.wav");
    }

    enemyScene scene;
};

} // namespace

// A random column that leaves it wholly on screen, its centre row half its height above row 0,
// no bullet. A robot as wide as the screen or wider has no column to choose from and stands on
// column 0. Either way it draws two random numbers, its column and its direction.
TEST_F(robotTest, placedAtARandomColumnJustAboveTheTop) {
    std::set<int> columns;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::srand(seed);
        seenRobot r;
        EXPECT_GE(r.robotX, 0) << seed;
        EXPECT_LT(r.robotX, SCREEN_W - robotW) << seed;
        EXPECT_EQ(r.robotY, -(robotH >> 1)) << seed;
        EXPECT_TRUE(r.noBullet()) << seed;
        columns.insert(r.robotX);
    }
    EXPECT_GT(columns.size(), 30u) << "the column is random";
    EXPECT_GT(*columns.rbegin(), SCREEN_W - robotW - 40) << "up to the right edge";
    // Drawn centred on its row: of an odd height, only its last row shows, on row 0.
    seenRobot r;
    EXPECT_EQ(drawnAlone(r), (pixelBox{r.robotX, 0, robotW, 1}));

    for (const int width : {320, 400}) {
        SCOPED_TRACE(width);
        writePictures(width, 21);
        std::srand(55);
        std::rand();
        std::rand();
        const int next = std::rand();
        std::srand(55);
        seenRobot wide;
        EXPECT_EQ(std::rand(), next) << "a column and a direction drawn";
        EXPECT_EQ(wide.robotX, 0);
    }
}

// One row down a call until its top is on row 0, there for the rest of its 192 hovering calls,
// then one row up a call, keeping its column.
TEST_F(robotTest, sinksOneRowPerCallHoversAndRises) {
    for (const int height : {11, 12}) {
        SCOPED_TRACE(height);
        writePictures(robotW, height);
        const int half = height >> 1;
        seenRobot r;
        int hoverColumn = -1;
        for (int call = 1; call <= 250; ++call) {
            r.moveAway();
            const int centre = call <= 192 ? std::min(call - half, half) : half - (call - 192);
            ASSERT_EQ(r.robotY, centre) << call;
            if (call == 192)
                hoverColumn = r.robotX;
            if (call > 192) {
                ASSERT_EQ(r.robotX, hoverColumn) << "no wandering while rising, call " << call;
            }
        }
    }
}

// Hovering, the body steps one column a call in a direction drawn again on every 16th call; it
// never leaves columns 0 to SCREEN_W - width - 1. Rising, it draws no more random numbers.
TEST_F(robotTest, wandersWithinTheScreenTurningEvery16Calls) {
    int turns = 0;
    for (const int width : {robotW, 318, 319}) {
        for (const unsigned seed : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << width << " seed " << seed);
            writePictures(width, robotH);
            std::srand(seed);
            seenRobot r;
            const int last = SCREEN_W - width - 1;
            for (int call = 1; call <= 192; ++call) {
                const int before = r.direction;
                const int column = r.robotX;
                r.moveAway();
                ASSERT_TRUE(r.direction == 1 || r.direction == -1) << call;
                if (call % 16 != 0) {
                    ASSERT_EQ(r.direction, before) << "a turn on call " << call;
                }
                turns += r.direction != before;
                ASSERT_EQ(r.robotX, std::clamp(column + r.direction, 0, last)) << call;
            }
            const int afterHovering = std::rand();
            std::srand(seed);
            seenRobot risen;
            while (risen.stayTicks > 0 || risen.robotY > -400)
                risen.moveAway();
            EXPECT_EQ(std::rand(), afterHovering) << "rising draws no more directions";
        }
    }
    EXPECT_GT(turns, 10) << "the direction is drawn again every 16 calls";
}

// The bullet is placed at the body's left column with its top on the body's last row + 1, and
// moves in the call that fired it; a new bullet replaces one still in flight.
TEST_F(robotTest, firesOnItsCalls64_128And192) {
    seenRobot r;
    for (int call = 1; call <= 260; ++call) {
        if (call == 128)
            r.shoot(200, 100);
        const bool flying = !r.noBullet();
        const int x = r.x;
        const int y = r.y;
        r.moveAway();
        if (call == 64 || call == 128 || call == 192) {
            EXPECT_EQ(r.x, r.robotX - 4) << call;
            EXPECT_EQ(r.y, robotH + (bulletH >> 1) + 7) << call;
        } else if (flying && x - 4 + bulletW > 0) {
            ASSERT_EQ(r.x, x - 4) << call;
            ASSERT_EQ(r.y, y + 7) << call;
        } else {
            ASSERT_TRUE(r.noBullet()) << call;
        }
    }
}

// Only bullets harm the player: the body passes through the car for nothing, a bullet strikes
// once, for 9, and is gone at once; its rectangle spans width + 1 columns and height rows. The
// shot changes nothing.
TEST_F(robotTest, bulletStrikesForNineOnceAndVanishes) {
    seenRobot r;
    for (int call = 1; call <= 63; ++call)
        ASSERT_EQ(r.move(-100, 100, 500, 1000), 0) << call;
    EXPECT_EQ(r.move(-100, 100, 500, 1000), bulletDamage) << "placed and striking in the same call";
    EXPECT_TRUE(r.noBullet());

    struct car {
        int x, y; // a one-pixel car, relative to the bullet's left column and centre row
        bool struck;
    };
    for (const car c :
         {car{0, 0, true}, car{bulletW, 2, true}, car{0, -2, true}, car{bulletW + 1, 0, false},
          car{-1, 0, false}, car{0, 3, false}, car{bulletW, -3, false}}) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        r.shoot(104, 93);
        r.attack(0, 0, SCREEN_W, SCREEN_H);
        EXPECT_EQ(r.move(100 + c.x, 100 + c.y, 0, 1), c.struck ? 9 : 0);
        EXPECT_EQ(r.noBullet(), c.struck);
        EXPECT_EQ(r.move(-100, 0, 1000, 1000), c.struck ? 0 : 9);
    }
}

// A bullet strikes until it has drifted wholly past the left edge; it is drawn only while its
// left column is on screen.
TEST_F(robotTest, bulletDriftsOutWhollyPastTheLeftEdge) {
    seenRobot r;
    r.robotY = -1000;
    r.shoot(4, 100);
    r.moveAway();
    EXPECT_EQ(drawnAlone(r), (pixelBox{0, 107 - (bulletH >> 1), bulletW, bulletH}));
    r.moveAway();
    EXPECT_FALSE(r.noBullet());
    EXPECT_TRUE(drawnAlone(r).empty());

    r.shoot(2, 100);
    EXPECT_EQ(r.move(-1000, 107, 998, 1), bulletDamage)
        << "its left column off screen, it still strikes";
    r.shoot(4 - bulletW, 100);
    EXPECT_EQ(r.move(-1000, 107, 1000, 1), 0) << "wholly past the edge";
    EXPECT_TRUE(r.noBullet());
}

// Finished once its centre row has risen a whole height above row 0, with no bullet in flight.
TEST_F(robotTest, finishedOnlyWhenRisenWithNoBulletInFlight) {
    const int risen = 192 + (robotH >> 1) + robotH; // the call that takes its centre to -robotH
    for (const bool bulletFlies : {false, true}) {
        SCOPED_TRACE(bulletFlies);
        seenRobot r;
        r.moveAwayTo(191);
        EXPECT_EQ(r.move(-100, 100, 500, 1000), bulletDamage) << "the last bullet strikes at once";
        for (int call = 193; call < risen; ++call) {
            r.moveAway();
            ASSERT_FALSE(r.finished()) << call;
        }
        // Gone on the fourth call: at 6, 2, -2, then wholly past the edge.
        if (bulletFlies)
            r.shoot(10, 300);
        for (int call = risen; call < risen + (bulletFlies ? 3 : 0); ++call) {
            r.moveAway();
            ASSERT_FALSE(r.finished()) << call;
        }
        r.moveAway();
        EXPECT_TRUE(r.finished());
    }
}
