// The robot: sinks in from the top, wanders, fires on its calls 64, 128 and 192, rises away.
// Only its bullets harm the player. The body is always drawn in rows above robotH and a bullet
// always below, so the two are told apart by their rows.
#include "game_internal.h"
#include "robot.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <vector>

namespace {

const int robotW = 24;
const int robotH = 11;
const int bulletW = 6;
const int bulletH = 5;

// The row of a bullet's top after the call that fired it: placed with its top on row robotH,
// then fallen 7 rows in the same call.
const int firstBulletTop = robotH + 7;

// The left column the body is drawn at, for a robot made after srand(seed) with the robot
// picture in place: [0] as placed, [k] after hovering call k, up to 192.
std::vector<int> observedWalk(unsigned seed) {
    std::srand(seed);
    robot r;
    std::vector<int> columns{drawnAlone(r, 0, robotH - 1).x};
    for (int call = 1; call <= 192; ++call) {
        r.move(0, -100000, 1, 1);
        columns.push_back(drawnAlone(r, 0, robotH - 1).x);
    }
    return columns;
}

// The first seed whose robot walks as the test needs.
unsigned seedWhere(const std::function<bool(const std::vector<int>&)>& wanted) {
    for (unsigned seed = 1; seed < 1000; ++seed)
        if (wanted(observedWalk(seed)))
            return seed;
    ADD_FAILURE() << "no seed found";
    return 1;
}

class robotTest : public testing::Test {
  protected:
    robotTest() { writePictures(robotW, robotH); }

    static void writePictures(int width, int height) {
        writePicture("gfx/robot.tga", width, height);
        writePicture("gfx/robotbullet.tga", bulletW, bulletH);
        writeSound("sfx/robotshoot.wav");
    }
    static pixelBox body(robot& r) { return drawnAlone(r, 0, robotH - 1); }
    static pixelBox bullet(robot& r) { return drawnAlone(r, robotH, SCREEN_H - 1); }

    // Moves the robot, with the player's car far below its reach, until it has been moved the
    // given number of times in all.
    static void moveFarTo(robot& r, int& calls, int last) {
        for (; calls < last; ++calls)
            r.move(0, -100000, 1, 1);
    }

    enemyScene scene;
};

} // namespace

// The robot is placed on a random column that leaves it wholly on screen, with an odd height's
// last row on row 0; its first call steps it one column. A robot as wide as the screen or wider
// has no column to choose from: it stands on column 0. Either way it draws two random numbers,
// its column and its direction.
TEST_F(robotTest, placedAtARandomColumnJustAboveTheTop) {
    std::set<int> columns;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::srand(seed);
        robot r;
        const pixelBox start = body(r);
        EXPECT_EQ(start.y, 0);
        EXPECT_EQ(start.h, 1);
        EXPECT_GE(start.x, 0);
        EXPECT_LE(start.x + robotW, SCREEN_W - 1);
        EXPECT_TRUE(bullet(r).empty());
        EXPECT_EQ(r.move(0, -100000, 1, 1), 0);
        EXPECT_EQ(std::abs(body(r).x - start.x), 1);
        EXPECT_EQ(body(r).h, 2);
        columns.insert(start.x);
    }
    EXPECT_GT(columns.size(), 30u) << "the column is random";
    for (const int width : {320, 400}) {
        SCOPED_TRACE(width);
        releaseEnemyFiles();
        writePictures(width, 21);
        std::srand(55);
        std::rand();
        std::rand();
        const int next = std::rand();
        std::srand(55);
        robot r;
        EXPECT_EQ(std::rand(), next) << "a column and a direction drawn";
        EXPECT_EQ(drawnAlone(r), (pixelBox{0, 0, SCREEN_W, 1}));
    }
}

TEST_F(robotTest, sinksOneRowPerCallHoversAndRises) {
    for (const int height : {11, 12}) {
        SCOPED_TRACE(height);
        releaseEnemyFiles();
        writePictures(robotW, height);
        robot r;
        int hoverColumn = -1;
        for (int call = 1; call <= 192 + height; ++call) {
            r.move(0, -100000, 1, 1);
            // Sinking until the top is on row 0, rising one row per call after the 192nd.
            const int centre = call <= 192 ? -(height >> 1) + std::min(call, 2 * (height >> 1))
                                           : (height >> 1) - (call - 192);
            const int top = centre - (height >> 1);
            const pixelBox seen = drawnAlone(r, 0, height - 1);
            if (top + height <= 0) {
                EXPECT_TRUE(seen.empty()) << call;
                continue;
            }
            EXPECT_EQ(seen.y + seen.h, top + height) << call;
            if (call == 192)
                hoverColumn = seen.x;
            if (call > 192) {
                EXPECT_EQ(seen.x, hoverColumn) << "no wandering while rising, call " << call;
            }
        }
    }
}

// Hovering, the body steps one column per call, keeping its direction for 16 calls (calls 1
// to 15, 16 to 31, ...); it never leaves columns 0 to SCREEN_W - width - 1, so at 318 columns
// wide it may only stand on 0 and 1, at 319 only on 0. Rising, it keeps its column and draws
// no more random numbers.
TEST_F(robotTest, wandersWithinTheScreenTurningEvery16Calls) {
    struct run {
        int width;
        unsigned seed;
    };
    int turns = 0;
    for (const run c : {run{robotW, 1}, run{robotW, 2}, run{318, 1}, run{319, 1}}) {
        SCOPED_TRACE(testing::Message() << c.width << " seed " << c.seed);
        releaseEnemyFiles();
        writePictures(c.width, robotH);
        const std::vector<int> columns = observedWalk(c.seed);
        const int last = SCREEN_W - c.width - 1;
        const auto inside = [&](int call) { return columns[call] > 0 && columns[call] < last; };
        for (int call = 1; call <= 192; ++call) {
            ASSERT_GE(columns[call], 0) << call;
            ASSERT_LE(columns[call], last) << call;
            const int step = columns[call] - columns[call - 1];
            if (inside(call - 1) && inside(call)) {
                EXPECT_EQ(std::abs(step), 1) << call;
            }
            if (call < 2 || !inside(call - 2) || !inside(call - 1) || !inside(call))
                continue;
            const int before = columns[call - 1] - columns[call - 2];
            if (call % 16 != 0) {
                EXPECT_EQ(step, before) << "a turn on call " << call;
            } else {
                turns += step != before;
            }
        }
        if (c.width == 318) {
            EXPECT_NE(std::count(columns.begin(), columns.end(), 0), 0);
            EXPECT_NE(std::count(columns.begin(), columns.end(), 1), 0);
        }
        // Rising: a robot moved on to call 220 leaves the random numbers as one stopped at 192.
        std::srand(c.seed);
        robot r;
        int calls = 0;
        moveFarTo(r, calls, 192);
        const int column = body(r).x;
        const int afterHovering = std::rand();
        std::srand(c.seed);
        robot risen;
        calls = 0;
        moveFarTo(risen, calls, 220);
        EXPECT_EQ(std::rand(), afterHovering) << "rising draws no more directions";
        int more = 192;
        moveFarTo(r, more, 200);
        EXPECT_EQ(body(r).x, column) << "no wandering while rising";
    }
    EXPECT_GT(turns, 0) << "the direction is drawn again every 16 calls";
}

TEST_F(robotTest, firesOnItsCalls64_128And192) {
    const unsigned seed = seedWhere([](const std::vector<int>& columns) {
        return columns[64] >= 20 && columns[128] >= 20 && columns[192] >= 20;
    });
    std::srand(seed);
    robot r;
    int calls = 0;
    for (const int firing : {64, 128, 192}) {
        SCOPED_TRACE(firing);
        // Nothing in the bullet rows before the shot: the last bullet has fallen off screen.
        moveFarTo(r, calls, firing - 1);
        EXPECT_TRUE(bullet(r).empty());
        moveFarTo(r, calls, firing);
        const int robotColumn = body(r).x;
        // At the robot's left column, first moved in the call that fired it; then each call
        // 7 rows down and 4 columns left.
        for (int later = 0; later <= 3; ++later) {
            moveFarTo(r, calls, firing + later);
            EXPECT_EQ(bullet(r), (pixelBox{robotColumn - 4 - 4 * later, firstBulletTop + 7 * later,
                                           bulletW, bulletH}));
        }
    }
    moveFarTo(r, calls, 256);
    EXPECT_TRUE(bullet(r).empty()) << "a robot rising away fires no more";
}

// Only bullets harm the player: the body passes through the car for nothing, a bullet strikes
// once, for 9, and is gone at once. The shot changes nothing.
TEST_F(robotTest, bulletStrikesForNineOnceAndVanishes) {
    std::srand(seedWhere([](const std::vector<int>& columns) { return columns[128] >= 20; }));
    robot r;
    for (int call = 1; call <= 63; ++call)
        ASSERT_EQ(r.move(-100, 100, 500, 1000), 0) << call;
    EXPECT_EQ(r.move(-100, 100, 500, 1000), 9) << "placed and striking in the same call";
    EXPECT_TRUE(bullet(r).empty());
    int calls = 64;
    moveFarTo(r, calls, 128);
    const pixelBox shot = bullet(r);
    r.attack(0, 50, SCREEN_W, 100);
    EXPECT_EQ(bullet(r), shot);

    // A one-pixel car by the bullet's bottom right corner, which lies one column right of its
    // picture (the rectangle spans width + 1 columns); each call moves the bullet 4 left, 7 down.
    const int right = shot.x + bulletW;
    const int bottom = shot.y + (bulletH >> 1) * 2;
    EXPECT_EQ(r.move(right - 4 + 1, bottom + 7, 0, 1), 0) << "one column beyond";
    EXPECT_EQ(r.move(right - 8, bottom + 14 + 1, 0, 1), 0) << "one row beyond";
    EXPECT_FALSE(bullet(r).empty());
    EXPECT_EQ(r.move(right - 12, bottom + 21, 0, 1), 9);
    EXPECT_TRUE(bullet(r).empty());
    EXPECT_EQ(r.move(right - 16, bottom + 28, 0, 1), 0);
}

// A bullet whose left column is negative is no longer drawn, but strikes until it has drifted
// wholly past the left edge (x + width <= 0).
TEST_F(robotTest, bulletDriftsOutWhollyPastTheLeftEdge) {
    // Steps of 4 that end on x + width = 0 exactly, while the bullet is still above the bottom.
    const unsigned seed = seedWhere([](const std::vector<int>& columns) {
        return columns[64] >= 20 && columns[64] <= 80 && (columns[64] - 4 + bulletW) % 4 == 0;
    });
    const int start = observedWalk(seed)[64] - 4;
    // The last call after the shot that leaves a column of the bullet at 0 or right of it.
    const int lastCall = (start + bulletW - 4) / 4;
    const int lastColumn = start - 4 * lastCall;
    ASSERT_EQ(lastColumn, 4 - bulletW);

    // A car reaching from far left to the given column, over every row.
    auto strikesWithCarUpTo = [&](int rightEdge) {
        std::srand(seed);
        robot r;
        int calls = 0;
        moveFarTo(r, calls, 64);
        std::vector<int> strikes;
        for (int later = 1; later <= 63; ++later) {
            if (r.move(rightEdge - 1000, 0, 1000, 100000) != 0)
                strikes.push_back(later);
            const int column = start - 4 * later;
            if (later <= lastCall) {
                EXPECT_EQ(bullet(r), column >= 0 ? (pixelBox{column, firstBulletTop + 7 * later,
                                                             bulletW, bulletH})
                                                 : pixelBox{})
                    << later;
            }
        }
        return strikes;
    };
    EXPECT_EQ(strikesWithCarUpTo(lastColumn), std::vector<int>{lastCall});
    EXPECT_EQ(strikesWithCarUpTo(lastColumn - 4), std::vector<int>{})
        << "where x + width = 0 the bullet is gone before it could touch";
}

TEST_F(robotTest, finishedOnlyWhenRisenWithNoBulletInFlight) {
    // A last bullet that flies on long after the body has left the top.
    const unsigned seed =
        seedWhere([](const std::vector<int>& columns) { return columns[192] >= 150; });
    const int riseCalls = (robotH >> 1) + robotH; // from centre row robotH >> 1 to -robotH
    const int start = observedWalk(seed)[192] - 4;
    const int driftCalls = (start + bulletW + 3) / 4;
    ASSERT_GT(driftCalls, riseCalls + 1);
    {
        std::srand(seed);
        robot r;
        for (int call = 1; call < 192 + driftCalls; ++call) {
            r.move(0, -100000, 1, 1);
            ASSERT_FALSE(r.finished()) << call;
        }
        EXPECT_TRUE(body(r).empty());
        r.move(0, -100000, 1, 1);
        EXPECT_TRUE(r.finished());
    }
    {
        // The last bullet strikes at once: the body alone decides.
        std::srand(seed);
        robot r;
        int calls = 0;
        moveFarTo(r, calls, 191);
        EXPECT_EQ(r.move(-100, 100, 500, 1000), 9);
        for (int call = 193; call < 192 + riseCalls; ++call) {
            r.move(0, -100000, 1, 1);
            ASSERT_FALSE(r.finished()) << call;
        }
        r.move(0, -100000, 1, 1);
        EXPECT_TRUE(r.finished());
    }
}
