// The collision rule every enemy shares, and where each kind enters: a random row above the
// status strip that has to survive a picture too large for the screen.
#include "car.h"
#include "enemy.h"
#include "mine.h"
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The enemy covers columns 100..120 and rows 45..55 unless a case says otherwise.
TEST(collides, touchingEdgesAndCornersCollideOneApartDoesNot) {
    struct overlap {
        int x, y, a, b, c, d, w, hh;
        bool collides;
    };
    const overlap cases[] = {
        {100, 50, 80, 50, 20, 3, 20, 5, true},    // other's right edge on the enemy's left column
        {100, 50, 79, 50, 20, 3, 20, 5, false},   // and one column short
        {100, 50, 120, 50, 20, 3, 20, 5, true},   // other's left column on the enemy's right edge
        {100, 50, 121, 50, 20, 3, 20, 5, false},  // and one column further
        {100, 50, 110, 42, 4, 3, 20, 5, true},    // other's bottom row on the enemy's top row
        {100, 50, 110, 41, 4, 3, 20, 5, false},   // and one row higher
        {100, 50, 110, 58, 4, 3, 20, 5, true},    // other's top row on the enemy's bottom row
        {100, 50, 110, 59, 4, 3, 20, 5, false},   // and one row lower
        {100, 50, 80, 42, 20, 3, 20, 5, true},    // corners that only touch
        {100, 50, 79, 41, 20, 3, 20, 5, false},   // one off on both axes
        {100, 50, 105, 80, 4, 3, 20, 5, false},   // columns overlap, rows do not
        {100, 50, 200, 50, 4, 3, 20, 5, false},   // rows overlap, columns do not
        {100, 100, 110, 100, 4, 2, 60, 30, true}, // a small other inside a large enemy
        {150, 100, 0, 100, 319, 90, 4, 2, true},  // a small enemy inside a large other
    };
    std::vector<std::string> log;
    for (const overlap& c : cases) {
        spyEnemy e(log, 0);
        e.place(c.x, c.y);
        EXPECT_EQ(e.collides(c.a, c.b, c.c, c.d, c.w, c.hh), c.collides)
            << c.a << ", " << c.b << ", " << c.c << ", " << c.d;
    }
}

// A stone's strike area is its drawn picture plus one column on the right, and for an even
// height one row at the bottom: the half height is the height shifted right by one.
TEST(collides, strikeAreaIsTheDrawnPictureWithInclusiveEdges) {
    for (const int height : {9, 10}) {
        SCOPED_TRACE(height);
        enemyScene scene;
        writePicture("gfx/stone.tga", 16, height);
        // A car one pixel high and no columns wide against a fresh stone that steps 4 columns
        // left, onto column 100, before it tests.
        auto strikes = [&](int column, int row) {
            placed<stone> s(104, 100);
            return s.move(column, row, 0, 1) != 0;
        };
        placed<stone> shown(100, 100);
        const pixelBox box = drawnAlone(shown);
        ASSERT_EQ(box, (pixelBox{100, 100 - (height >> 1), 16, height}));
        const int lastRow = box.y + box.h - 1;
        EXPECT_TRUE(strikes(100, box.y));
        EXPECT_FALSE(strikes(100, box.y - 1));
        EXPECT_TRUE(strikes(100, lastRow));
        EXPECT_EQ(strikes(100, lastRow + 1), height % 2 == 0);
        EXPECT_FALSE(strikes(100, lastRow + 2));
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

// Stones and mines enter fully visible at the right edge, the enemy car just beyond the left
// one; each draws one random number for its row, and the rows it lands on spread over the
// screen while its picture's lower half stays above the 9-row status strip. A picture too tall
// for the screen leaves only row 0.
TEST(randomPlacement, eachKindEntersAtItsEdgeOnOneRandomRow) {
    startGameFrame();
    struct entry {
        const char* picture;
        int w, h;
        std::function<std::pair<int, int>()> place;
        int x;
    };
    const auto at = [](auto&& e) { return std::make_pair(e.x, e.y); };
    const entry entries[] = {
        {"gfx/stone.tga", 16, 12, [&] { return at(placed<stone>()); }, SCREEN_W - 16},
        {"gfx/stone.tga", 400, 382, [&] { return at(placed<stone>()); }, SCREEN_W - 400},
        {"gfx/mine.tga", 14, 10, [&] { return at(placed<mine>()); }, SCREEN_W - 14},
        {"gfx/mine.tga", 400, 400, [&] { return at(placed<mine>()); }, SCREEN_W - 400},
        {"gfx/enemycar.tga", 16, 12, [&] { return at(placed<enemycar>()); }, -16},
        {"gfx/enemycar.tga", 400, 400, [&] { return at(placed<enemycar>()); }, -400},
    };
    for (const entry& e : entries) {
        SCOPED_TRACE(testing::Message() << e.picture << " " << e.w << "x" << e.h);
        enemyScene scene;
        writeRaceFiles();
        writePicture(e.picture, e.w, e.h);
        std::set<int> rows;
        for (unsigned seed = 1; seed <= 300; ++seed) {
            std::srand(seed);
            std::rand();
            const int next = std::rand();
            std::srand(seed);
            const std::pair<int, int> place = e.place();
            ASSERT_EQ(place.first, e.x) << seed;
            ASSERT_EQ(std::rand(), next) << "one random number per enemy, seed " << seed;
            rows.insert(place.second);
        }
        // The lowest centre row whose picture ends above the strip, on row SCREEN_H - 10.
        const int lowest = SCREEN_H - 10 - (e.h >> 1);
        if (lowest < 0) {
            EXPECT_EQ(rows, std::set<int>{0});
            continue;
        }
        EXPECT_GE(*rows.begin(), 0);
        EXPECT_LE(*rows.rbegin(), lowest);
        EXPECT_LE(*rows.begin(), lowest / 10) << "rows near the top come up";
        EXPECT_GE(*rows.rbegin(), lowest - lowest / 10) << "rows near the strip come up";
        EXPECT_GT(rows.size(), 100u);
    }
}
