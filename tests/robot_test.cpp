// The robot: sinks in from the top, wanders, fires on its calls 64, 128 and 192, rises away.
// Only its bullets harm the player. The body is always drawn in rows above robotH and a bullet
// always below, so the two are told apart by their rows.
#include "game.h"
#include "globals.h"
#include "robot.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

const int robotW = 24;
const int robotH = 11;
const int bulletW = 6;
const int bulletH = 5;

// The row where a bullet's top lies after the call that fired it: placed with its top on row
// robotH, then fallen 7 rows in the same call.
const int firstBulletTop = robotH + 7;

// Where the robot's body should be after each of its hovering calls, worked out from the random
// numbers that srand(seed) gives: the column is drawn on construction, the direction on
// construction and on every 16th call.
struct walk {
    std::vector<int> columns; // [0] the placement, [k] after call k, up to 192
    int nextRandom;           // rand() after the robot's own draws
};

walk expectedWalk(unsigned seed, int width) {
    std::srand(seed);
    walk w;
    int column = std::rand() % (SCREEN_W - width);
    int direction = std::rand() % 2 ? 1 : -1;
    w.columns.push_back(column);
    for (int call = 1; call <= 192; ++call) {
        if (call % 16 == 0)
            direction = std::rand() % 2 ? 1 : -1;
        column += direction;
        if (column < 0)
            column = 0;
        if (column > SCREEN_W - width - 1)
            column = SCREEN_W - width - 1;
        w.columns.push_back(column);
    }
    w.nextRandom = std::rand();
    return w;
}

// The first seed whose robot walks as the test needs.
unsigned seedWhere(const std::function<bool(const std::vector<int>&)>& wanted) {
    for (unsigned seed = 1; seed < 100000; ++seed)
        if (wanted(expectedWalk(seed, robotW).columns))
            return seed;
    ADD_FAILURE() << "no seed found";
    return 1;
}

// A player's car far below anything the robot can reach.
const int farX = 0;
const int farY = -100000;

class robotTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseEnemyFiles();
        writePictures(robotW, robotH);
    }
    void TearDown() override { releaseEnemyFiles(); }

    static void writePictures(int width, int height) {
        writePicture("gfx/robot.tga", width, height);
        writePicture("gfx/robotbullet.tga", bulletW, bulletH);
        writeSound("sfx/robotshoot.wav");
    }

    static void drawAlone(robot& r) {
        clear_to_color(global::dbuffer, colors::white);
        r.draw();
    }
    static pixelBox body() { return paintedBox(colors::white, 0, robotH - 1); }
    static pixelBox bullet() { return paintedBox(colors::white, robotH, SCREEN_H - 1); }

    // Calls move until the robot has been moved the given number of times in all.
    static void moveFarTo(robot& r, int& calls, int last) {
        while (calls < last) {
            r.move(farX, farY, 1, 1);
            ++calls;
        }
    }

    scratchFolder folder;
};

} // namespace

TEST_F(robotTest, placedAtARandomColumnJustAboveTheTop) {
    EXPECT_FALSE(robotshoot.isActive());
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        const walk w = expectedWalk(seed, robotW);
        std::srand(seed);
        robot r;
        // An odd height leaves the body's last row on row 0.
        drawAlone(r);
        EXPECT_EQ(body(), (pixelBox{w.columns[0], 0, robotW, 1}));
        EXPECT_TRUE(bullet().empty());
        EXPECT_FALSE(r.finished());
        // The first call steps one column in the direction drawn on construction.
        EXPECT_EQ(r.move(farX, farY, 1, 1), 0);
        drawAlone(r);
        EXPECT_EQ(body(), (pixelBox{w.columns[1], 0, robotW, 2}));
    }
    EXPECT_TRUE(robotshoot.isActive());
    ASSERT_NE(robotbullet, nullptr);
    EXPECT_EQ(robotbullet->w, bulletW);
}

TEST_F(robotTest, sinksOneRowPerCallHoversAndRises) {
    for (const int height : {11, 12}) {
        SCOPED_TRACE(height);
        releaseEnemyFiles();
        writePictures(robotW, height);
        robot r;
        int hoverColumn = -1;
        for (int call = 1; call <= 192 + height; ++call) {
            r.move(farX, farY, 1, 1);
            // Sinking until the top is on row 0, that is until the centre is on height >> 1;
            // rising one row per call after the 192nd.
            const int centre = call <= 192 ? -(height >> 1) + std::min(call, 2 * (height >> 1))
                                           : (height >> 1) - (call - 192);
            const int top = centre - (height >> 1);
            drawAlone(r);
            const pixelBox seen = paintedBox(colors::white, 0, height - 1);
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

TEST_F(robotTest, wandersWithinTheScreenTurningEvery16Calls) {
    struct run {
        int width;
        unsigned seed;
    };
    // At 318 columns wide the robot may only stand on columns 0 and 1, at 319 only on 0.
    for (const run c : {run{robotW, 1}, run{robotW, 2}, run{robotW, 3}, run{robotW, 4}, run{318, 1},
                        run{318, 2}, run{319, 1}}) {
        SCOPED_TRACE(testing::Message() << c.width << " seed " << c.seed);
        releaseEnemyFiles();
        writePictures(c.width, robotH);
        const walk w = expectedWalk(c.seed, c.width);
        std::srand(c.seed);
        robot r;
        bool onLeftLimit = false, onRightLimit = false;
        for (int call = 1; call <= 192; ++call) {
            r.move(farX, farY, 1, 1);
            drawAlone(r);
            const int column = body().x;
            ASSERT_EQ(column, w.columns[call]) << call;
            ASSERT_GE(column, 0);
            ASSERT_LE(column, SCREEN_W - c.width - 1);
            onLeftLimit |= column == 0;
            onRightLimit |= column == SCREEN_W - c.width - 1;
        }
        if (c.width == 318) {
            EXPECT_TRUE(onLeftLimit && onRightLimit);
        }
        // Rising draws no more directions.
        for (int call = 193; call <= 220; ++call)
            r.move(farX, farY, 1, 1);
        EXPECT_EQ(std::rand(), w.nextRandom);
    }
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
        drawAlone(r);
        EXPECT_TRUE(bullet().empty());
        moveFarTo(r, calls, firing);
        drawAlone(r);
        const int robotColumn = body().x;
        // At the robot's left column, first moved in the call that fired it.
        EXPECT_EQ(bullet(), (pixelBox{robotColumn - 4, firstBulletTop, bulletW, bulletH}));
        // Each call: 7 rows down, 4 columns left.
        for (int later = 1; later <= 3; ++later) {
            moveFarTo(r, calls, firing + later);
            drawAlone(r);
            EXPECT_EQ(bullet(), (pixelBox{robotColumn - 4 - 4 * later, firstBulletTop + 7 * later,
                                          bulletW, bulletH}));
        }
    }
    // A robot rising away fires no more: nothing new on its call 256.
    moveFarTo(r, calls, 256);
    drawAlone(r);
    EXPECT_TRUE(bullet().empty());
}

// Only bullets harm the player: the body passes through the car for nothing, a bullet strikes
// once, for 9, and is gone at once.
TEST_F(robotTest, bulletStrikesForNineOnceAndVanishes) {
    const unsigned seed =
        seedWhere([](const std::vector<int>& columns) { return columns[128] >= 20; });
    const int everywhereX = -100, everywhereY = 100, everywhereW = 500, everywhereH = 1000;
    std::srand(seed);
    robot r;
    for (int call = 1; call <= 63; ++call)
        ASSERT_EQ(r.move(everywhereX, everywhereY, everywhereW, everywhereH), 0) << call;
    // The bullet placed in this call strikes in the same call.
    EXPECT_EQ(r.move(everywhereX, everywhereY, everywhereW, everywhereH), 9);
    drawAlone(r);
    EXPECT_TRUE(bullet().empty());
    for (int call = 65; call <= 127; ++call)
        ASSERT_EQ(r.move(everywhereX, everywhereY, everywhereW, everywhereH), 0) << call;

    r.move(farX, farY, 1, 1);
    drawAlone(r);
    const pixelBox shot = bullet();
    // A shot over the robot and its bullet changes nothing.
    r.attack(0, 50, SCREEN_W, 100);
    drawAlone(r);
    EXPECT_EQ(bullet(), shot);
    // Call 129 moves the bullet 4 left and 7 down; a car of one pixel at its bottom right corner
    // (one column right of its picture: the rectangle spans width + 1 columns) is struck.
    const int right = shot.x - 4 + bulletW;
    const int bottom = shot.y + 7 + (bulletH >> 1) * 2;
    EXPECT_EQ(r.move(right, bottom, 0, 1), 9);
    drawAlone(r);
    EXPECT_TRUE(bullet().empty());
    EXPECT_EQ(r.move(right - 4, bottom + 7, 0, 1), 0);
}

TEST_F(robotTest, bulletOnePixelBeyondItsCornerMisses) {
    const unsigned seed =
        seedWhere([](const std::vector<int>& columns) { return columns[64] >= 20; });
    std::srand(seed);
    robot r;
    int calls = 0;
    moveFarTo(r, calls, 64);
    drawAlone(r);
    const pixelBox shot = bullet();
    const int right = shot.x - 4 + bulletW;
    const int bottom = shot.y + 7 + (bulletH >> 1) * 2;
    EXPECT_EQ(r.move(right + 1, bottom, 0, 1), 0);
    drawAlone(r);
    EXPECT_FALSE(bullet().empty());
    EXPECT_EQ(r.move(right - 4, bottom + 8, 0, 1), 0);
    drawAlone(r);
    EXPECT_FALSE(bullet().empty());
}

// A bullet whose left column is negative is no longer drawn, but strikes until it has drifted
// wholly past the left edge (x + width <= 0).
TEST_F(robotTest, bulletDriftsOutWhollyPastTheLeftEdge) {
    // A bullet that crosses column 0 while still above the bottom edge, and whose steps of 4 end
    // on x + width = 0 exactly.
    const unsigned seed = seedWhere([](const std::vector<int>& columns) {
        return columns[64] >= 20 && columns[64] <= 80 && (columns[64] - 4 + bulletW) % 4 == 0;
    });
    const int start = expectedWalk(seed, robotW).columns[64] - 4;
    // The last call after the shot that leaves a column of the bullet at 0 or right of it.
    int lastCall = 0;
    while (start - 4 * (lastCall + 1) + bulletW > 0)
        ++lastCall;
    const int lastColumn = start - 4 * lastCall;
    ASSERT_EQ(lastColumn, 4 - bulletW);

    {
        std::srand(seed);
        robot r;
        int calls = 0;
        moveFarTo(r, calls, 64);
        for (int later = 1; later <= lastCall; ++later) {
            r.move(farX, farY, 1, 1);
            drawAlone(r);
            const int column = start - 4 * later;
            if (column >= 0) {
                EXPECT_EQ(bullet(),
                          (pixelBox{column, firstBulletTop + 7 * later, bulletW, bulletH}))
                    << later;
            } else {
                EXPECT_TRUE(bullet().empty()) << later;
            }
        }
    }

    // A car reaching from far left to the given column, over every row.
    auto strikesWithCarUpTo = [&](int rightEdge) {
        std::srand(seed);
        robot r;
        int calls = 0;
        moveFarTo(r, calls, 64);
        std::vector<int> strikes;
        for (int call = 65; call <= 127; ++call)
            if (r.move(rightEdge - 1000, 0, 1000, 100000) != 0)
                strikes.push_back(call);
        return strikes;
    };
    EXPECT_EQ(strikesWithCarUpTo(lastColumn), std::vector<int>{64 + lastCall});
    // Its next column, where x + width = 0: the bullet is gone before it could touch.
    EXPECT_EQ(strikesWithCarUpTo(lastColumn - 4), std::vector<int>{});
}

TEST_F(robotTest, finishedOnlyWhenRisenWithNoBulletInFlight) {
    // A last bullet that flies on long after the body has left the top.
    const unsigned seed =
        seedWhere([](const std::vector<int>& columns) { return columns[192] >= 150; });
    const int riseCalls = (robotH >> 1) + robotH; // from centre row robotH >> 1 to -robotH
    const int start = expectedWalk(seed, robotW).columns[192] - 4;
    int driftCalls = 1;
    while (start - 4 * driftCalls + bulletW > 0)
        ++driftCalls;
    ASSERT_GT(driftCalls, riseCalls + 1);
    {
        std::srand(seed);
        robot r;
        int calls = 0;
        for (calls = 1; calls < 192 + driftCalls; ++calls) {
            r.move(farX, farY, 1, 1);
            ASSERT_FALSE(r.finished()) << calls;
        }
        drawAlone(r);
        EXPECT_TRUE(body().empty());
        r.move(farX, farY, 1, 1);
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
            r.move(farX, farY, 1, 1);
            ASSERT_FALSE(r.finished()) << call;
        }
        r.move(farX, farY, 1, 1);
        EXPECT_TRUE(r.finished());
    }
}

// A robot wider than the screen leaves no column to choose from: it is placed on column 0.
TEST_F(robotTest, oversizedPictureIsPlacedOnColumnZero) {
    struct size {
        int w, h;
    };
    for (const size s : {size{320, 21}, size{400, 400}}) {
        SCOPED_TRACE(s.w);
        releaseEnemyFiles();
        writePictures(s.w, s.h);
        std::srand(55);
        std::rand();
        std::rand();
        const int next = std::rand();
        std::srand(55);
        robot r;
        EXPECT_EQ(std::rand(), next) << "a column and a direction drawn";
        drawAlone(r);
        if (s.w == 320) {
            EXPECT_EQ(paintedBox(colors::white), (pixelBox{0, 0, 320, 1}));
        }
        int calls = 0;
        while (!r.finished() && calls < 2000) {
            r.move(0, SCREEN_H >> 1, 20, 10);
            drawAlone(r);
            ++calls;
        }
        EXPECT_TRUE(r.finished());
    }
}
