// The race: one tick at a time against real bitmaps and the real key array, the frames it
// draws, the pause screen, and whole races through game().
#include "enemy.h"
#include "game.h"
#include "globals.h"
#include "main.h"
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// What a stand-in enemy saw of the race.
struct enemyLog {
    int moves = 0;
    std::vector<std::vector<int>> attacks;
};

// An enemy of the race's own interface that strikes the car for a set amount every tick and
// notes what the race asks of it.
class standIn : public enemy {
  public:
    standIn(enemyLog& log, int strike) : log(log), strike(strike) {}
    int move(int, int, int, int) override {
        ++log.moves;
        return strike;
    }
    bool finished() override { return false; }
    void draw() override {}
    void attack(int areaX, int areaY, int areaW, int areaH) override {
        log.attacks.push_back({areaX, areaY, areaW, areaH});
    }

  private:
    enemyLog& log;
    int strike;
};

int carColor() {
    return makecol(40, 90, 160);
}
int flashColor() {
    return makecol(200, 40, 40);
}
int maskColor() {
    return makecol(255, 0, 255);
}

// A picture filled with one colour inside a one-pixel frame of the mask colour.
BITMAP* framedPicture(int width, int height, int color) {
    BITMAP* picture = create_bitmap(width, height);
    clear_to_color(picture, color);
    rect(picture, 0, 0, width - 1, height - 1, maskColor());
    return picture;
}

int countColor(BITMAP* bitmap, int x0, int y0, int x1, int y1, int color) {
    int count = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (getpixel(bitmap, x, y) == color)
                ++count;
    return count;
}

void press(int scancode) {
    key[scancode] = 1;
}
void release(int scancode) {
    key[scancode] = 0;
}

// The picture and sound files every race loads, and those of the four enemy kinds.
void writeRaceFiles() {
    writePicture("gfx/car.tga", 20, 10, true);
    writePicture("gfx/explosion.tga", 20, 10);
    writeSound("sfx/explosion.wav");
    writeSound("sfx/racecar.wav");
    writePicture("gfx/stone.tga", 12, 12, true);
    writePicture("gfx/enemycar.tga", 20, 10, true);
    writePicture("gfx/mine.tga", 10, 10, true);
    writePicture("gfx/mineexplosion.tga", 16, 16, true);
    writePicture("gfx/robot.tga", 16, 16, true);
    writePicture("gfx/robotbullet.tga", 4, 4, true);
    writeSound("sfx/mineexplosion.wav");
    writeSound("sfx/robotshoot.wav");
}

class raceTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
        run = false;
    }

    void TearDown() override {
        if (open)
            delete endRace(race);
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
        run = false;
    }

    // A race at its start with a car picture of the given size and no enemies to come.
    void openRace(int carW, int carH, int flashW = 30, int flashH = 16) {
        race.car = framedPicture(carW, carH, carColor());
        race.explosion = framedPicture(flashW, flashH, flashColor());
        open = true;
        resetRace(race);
        holdOffEnemies();
    }

    void holdOffEnemies() { race.spawnCountdown = INT_MAX; }

    void ticks(int count) {
        for (int i = 0; i < count; ++i)
            raceTick(race);
    }

    // One tick with the key down, then one with it up again.
    void tap(int scancode) {
        press(scancode);
        raceTick(race);
        release(scancode);
        raceTick(race);
    }

    returnStruct finish() {
        open = false;
        returnStruct* result = endRace(race);
        returnStruct copy = *result;
        delete result;
        return copy;
    }

    raceState race;
    bool open = false;
};

// ---- One tick ----

TEST_F(raceTest, speedStepsOnlyOnNewPresses) {
    openRace(20, 10);
    race.carX = 150;
    const int expectedUp[] = {1, 2, 2, 2};
    for (int expected : expectedUp) {
        tap(KEY_RIGHT);
        EXPECT_EQ(race.speed, expected);
    }
    const int expectedDown[] = {1, 0, -1, -2, -2};
    for (int expected : expectedDown) {
        tap(KEY_LEFT);
        EXPECT_EQ(race.speed, expected);
    }

    // A held key is one step, however long it stays down; the car moves by the speed.
    press(KEY_RIGHT);
    for (int i = 0; i < 20; ++i) {
        const int before = race.carX;
        raceTick(race);
        EXPECT_EQ(race.speed, -1);
        EXPECT_EQ(race.carX, before - 1);
    }
    release(KEY_RIGHT);
    raceTick(race);
    tap(KEY_RIGHT);
    EXPECT_EQ(race.speed, 0);
    EXPECT_EQ(race.lastSpeed, 0);
}

TEST_F(raceTest, bothEdgesStopTheCar) {
    openRace(20, 10);
    // Speeding up to the left at the left edge stops at once.
    press(KEY_LEFT);
    raceTick(race);
    EXPECT_EQ(race.carX, 0);
    EXPECT_EQ(race.speed, 0);
    EXPECT_EQ(race.lastSpeed, 0);
    release(KEY_LEFT);

    race.carX = 1;
    race.speed = race.lastSpeed = -2;
    raceTick(race);
    EXPECT_EQ(race.carX, 0);
    EXPECT_EQ(race.speed, 0);

    const int rightmost = SCREEN_W - 20;
    race.carX = rightmost - 3;
    race.speed = race.lastSpeed = 2;
    raceTick(race);
    EXPECT_EQ(race.carX, rightmost - 1);
    EXPECT_EQ(race.speed, 2);
    raceTick(race);
    EXPECT_EQ(race.carX, rightmost);
    EXPECT_EQ(race.speed, 0);
    EXPECT_EQ(race.lastSpeed, 0);
    tap(KEY_RIGHT);
    EXPECT_EQ(race.carX, rightmost);
    EXPECT_EQ(race.speed, 0);
}

struct heightCase {
    int carH;
    int top;    // where holding up leaves the car's centre row
    int bottom; // where holding down leaves it
};

class carHeightTest : public raceTest, public testing::WithParamInterface<heightCase> {};

// The car moves two rows a tick while its centre is below half its height from the top, and
// while it is above half its height plus the 8 rows of the status strip from the bottom.
TEST_P(carHeightTest, upAndDownStopAtTheirLimits) {
    const heightCase& c = GetParam();
    openRace(20, c.carH);
    press(KEY_UP);
    press(KEY_DOWN);
    ticks(5);
    EXPECT_EQ(race.carY, SCREEN_H / 2) << "both keys held cancel out";
    release(KEY_DOWN);
    ticks(200);
    EXPECT_EQ(race.carY, c.top);
    release(KEY_UP);
    press(KEY_DOWN);
    ticks(200);
    EXPECT_EQ(race.carY, c.bottom);
}

INSTANTIATE_TEST_SUITE_P(race, carHeightTest,
                         testing::Values(heightCase{20, 10, 182}, heightCase{23, 10, 182},
                                         heightCase{24, 12, 180}, heightCase{25, 12, 180},
                                         heightCase{1, 0, 192}),
                         [](const testing::TestParamInfo<heightCase>& info) {
                             return "carH" + std::to_string(info.param.carH);
                         });

TEST_F(raceTest, theShotReloadsFor112Ticks) {
    openRace(20, 10);
    press(KEY_LCONTROL);
    raceTick(race);
    EXPECT_EQ(race.reload, 112);
    EXPECT_FALSE(race.shotRight);
    release(KEY_LCONTROL);
    ticks(111);
    EXPECT_EQ(race.reload, 1);
    // The 112th tick after the shot may fire again.
    press(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.reload, 112);
    EXPECT_TRUE(race.shotRight);
}

TEST_F(raceTest, aPressDuringReloadIsForgotten) {
    openRace(20, 10);
    tap(KEY_ALT);
    EXPECT_EQ(race.reload, 111);
    ticks(50);
    press(KEY_ALT);
    ticks(150); // held well past the end of the reload
    EXPECT_EQ(race.reload, 0);
    release(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.reload, 0);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.reload, 112);
}

TEST_F(raceTest, bothFireKeysInOneTickFireLeftOverTheCarsWidth) {
    openRace(20, 10);
    race.carX = 100;
    race.carY = 60;
    enemyLog log;
    race.enemies[3] = new standIn(log, 0);
    press(KEY_LCONTROL);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.reload, 112);
    EXPECT_FALSE(race.shotRight);
    ASSERT_EQ(log.attacks.size(), 1u);
    EXPECT_EQ(log.attacks[0], (std::vector<int>{80, 60, 20, 10}));

    // Both presses were counted: held on, neither fires when the reload is over.
    ticks(200);
    EXPECT_EQ(race.reload, 0);
    EXPECT_EQ(log.attacks.size(), 1u);

    release(KEY_LCONTROL);
    release(KEY_ALT);
    raceTick(race);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_TRUE(race.shotRight);
    ASSERT_EQ(log.attacks.size(), 2u);
    EXPECT_EQ(log.attacks[1], (std::vector<int>{120, 60, 20, 10}));
}

// Every minute and hour of the day rolls over on the way; the car is never moved.
TEST_F(raceTest, aRaceWithoutInputEndsAt24After41280Ticks) {
    openRace(20, 10);
    ticks(31);
    EXPECT_EQ(race.ticks, 31);
    EXPECT_EQ(race.minutes, 30);
    raceTick(race);
    EXPECT_EQ(race.ticks, 0);
    EXPECT_EQ(race.minutes, 31);
    ticks(41279 - 32);
    EXPECT_TRUE(run);
    EXPECT_EQ(race.hours, 23);
    EXPECT_EQ(race.minutes, 59);
    EXPECT_EQ(race.ticks, 31);
    raceTick(race);
    EXPECT_FALSE(run);
    EXPECT_EQ(race.carX, 0);
    EXPECT_EQ(race.carY, SCREEN_H / 2);
    EXPECT_EQ(race.damage, 0);
    for (enemy* slot : race.enemies)
        EXPECT_EQ(slot, nullptr);
    const returnStruct result = finish();
    EXPECT_EQ(result.hours, 24);
    EXPECT_EQ(result.minutes, 0);
}

TEST_F(raceTest, damageReachingTheLimitEndsTheRaceInThatTick) {
    openRace(20, 10);
    EXPECT_EQ(race.maxDamage, 159);
    enemyLog first;
    enemyLog second;
    race.enemies[0] = new standIn(first, 1);
    race.damage = 157;
    raceTick(race);
    EXPECT_EQ(race.damage, 158);
    EXPECT_TRUE(run);

    // Past the limit the damage stands at it, the enemies behind still move and the fire
    // keys still work in that tick.
    race.enemies[1] = new standIn(second, 30);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.damage, 159);
    EXPECT_FALSE(run);
    EXPECT_EQ(second.moves, 1);
    EXPECT_EQ(race.reload, 112);
    EXPECT_EQ(first.attacks.size(), 1u);
    EXPECT_EQ(race.ticks, 2);
}

TEST_F(raceTest, quittingAPauseOpenedAtTick31ReturnsOneMinuteMore) {
    openRace(20, 10);
    race.hours = 5;
    race.minutes = 41;
    race.ticks = 31;
    // The tick's own count is still pending when it opens the pause screen.
    timerCounter = 1;
    press(KEY_ENTER);
    press(KEY_TAB);
    raceTick(race);
    EXPECT_FALSE(run);
    EXPECT_EQ(timerCounter, 0) << "the pause screen used the tick's count";
    EXPECT_TRUE(
        showsCentredText(global::dbuffer, SCREEN_W / 2, 130, "The time is:  5:41", colors::vdgray));
    const returnStruct result = finish();
    EXPECT_EQ(result.hours, 5);
    EXPECT_EQ(result.minutes, 42);
}

// ---- One frame ----

TEST_F(raceTest, theFrameShowsTheCarOnAWhiteFieldWithItsMaskTransparent) {
    openRace(20, 11);
    race.carX = 50;
    race.carY = 60;
    drawRace(race);
    BITMAP* frame = global::dbuffer;
    const int top = 60 - 5;
    EXPECT_EQ(getpixel(frame, 5, 5), colors::white);
    EXPECT_EQ(getpixel(frame, SCREEN_W - 1, SCREEN_H - 10), colors::white);
    EXPECT_EQ(countColor(frame, 51, top + 1, 68, top + 9, carColor()), 18 * 9);
    EXPECT_EQ(countColor(frame, 50, top, 69, top + 10, carColor()), 18 * 9);
    EXPECT_EQ(getpixel(frame, 50, top), colors::white);
    EXPECT_EQ(getpixel(frame, 69, top + 10), colors::white);
    EXPECT_EQ(countColor(frame, 0, 0, SCREEN_W - 1, SCREEN_H - 10, maskColor()), 0);
}

TEST_F(raceTest, theShotFlashShowsOnlyInTheFrameAfterTheShot) {
    openRace(20, 10);
    race.carX = 50;
    race.carY = 60;
    const int top = 55;
    BITMAP* frame = global::dbuffer;

    press(KEY_ALT);
    raceTick(race);
    drawRace(race);
    // The flash is copied plainly: its mask frame shows, and only the car's size of it.
    EXPECT_EQ(getpixel(frame, 70, top), maskColor());
    EXPECT_EQ(countColor(frame, 71, top + 1, 89, top + 9, flashColor()), 19 * 9);
    EXPECT_EQ(getpixel(frame, 90, top + 1), colors::white);
    EXPECT_EQ(getpixel(frame, 75, top + 10), colors::white);
    EXPECT_EQ(countColor(frame, 0, 0, 49, SCREEN_H - 10, flashColor()), 0);

    raceTick(race);
    drawRace(race);
    EXPECT_EQ(countColor(frame, 0, 0, SCREEN_W - 1, SCREEN_H - 1, flashColor()), 0);
    EXPECT_EQ(countColor(frame, 0, 0, SCREEN_W - 1, SCREEN_H - 1, maskColor()), 0);

    race.reload = 112;
    race.shotRight = false;
    drawRace(race);
    EXPECT_EQ(getpixel(frame, 30, top), maskColor());
    EXPECT_EQ(countColor(frame, 31, top + 1, 49, top + 9, flashColor()), 19 * 9);
    EXPECT_EQ(countColor(frame, 70, 0, SCREEN_W - 1, SCREEN_H - 10, flashColor()), 0);
}

TEST_F(raceTest, theStatusStripHoldsTheHealthBarAndTheClock) {
    openRace(20, 10);
    BITMAP* frame = global::dbuffer;
    const int h = SCREEN_H;
    drawRace(race);
    EXPECT_EQ(countColor(frame, 0, h - 10, SCREEN_W - 1, h - 10, colors::white), SCREEN_W);
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 9, colors::black), SCREEN_W);
    EXPECT_EQ(countColor(frame, 0, h - 2, 200, h - 1, colors::black), 2 * 201);
    // Full health: columns 1 to 160, rows h-7 to h-3.
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, colors::lgray), 160 * 5);
    EXPECT_EQ(getpixel(frame, 1, h - 7), colors::lgray);
    EXPECT_EQ(getpixel(frame, 160, h - 3), colors::lgray);
    EXPECT_EQ(getpixel(frame, 161, h - 5), colors::black);
    EXPECT_EQ(getpixel(frame, 0, h - 5), colors::black);
    const std::string clock = "Time:  2:30";
    EXPECT_TRUE(showsText(frame, SCREEN_W - 2 - text_length(font, clock.c_str()), h - 8, clock,
                          colors::white));
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, colors::gray), 0)
        << "no Reloading without a shot";

    race.damage = 100;
    race.hours = 24;
    race.minutes = 0;
    drawRace(race);
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, colors::lgray), 60 * 5);
    EXPECT_EQ(getpixel(frame, 60, h - 3), colors::lgray);
    EXPECT_EQ(getpixel(frame, 61, h - 3), colors::black);
    const std::string late = "Time: 24: 0";
    EXPECT_TRUE(showsText(frame, SCREEN_W - 2 - text_length(font, late.c_str()), h - 8, late,
                          colors::white));

    race.damage = race.maxDamage;
    drawRace(race);
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, colors::lgray), 5);
    EXPECT_EQ(countColor(frame, 1, h - 7, 1, h - 3, colors::lgray), 5);
}

TEST_F(raceTest, reloadingShowsWhileTheShotReloads) {
    openRace(20, 10);
    BITMAP* frame = global::dbuffer;
    const int h = SCREEN_H;
    race.reload = 1;
    drawRace(race);
    EXPECT_TRUE(showsText(frame, SCREEN_W / 2 - 3, h - 8, "Reloading", colors::gray));
    EXPECT_GT(countColor(frame, SCREEN_W / 2 - 3, h - 8, SCREEN_W / 2 + 68, h - 1, colors::gray),
              0);
    race.reload = 0;
    drawRace(race);
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, colors::gray), 0);
}

// ---- The pause screen ----

// The day counts from 0:00, so a race starts at 10 %.
TEST(progress, everyClockOfARaceGivesTheIntegerQuotients) {
    startGameFrame();
    const dayProgress start = progressOf(0, 30, 2);
    EXPECT_EQ(start.percent, 10);
    EXPECT_EQ(start.dotX, 33);
    const dayProgress end = progressOf(0, 0, 24);
    EXPECT_EQ(end.percent, 100);
    EXPECT_EQ(end.dotX, 320);
    int checked = 0;
    for (int hours = 2; hours <= 24; ++hours)
        for (int minutes = 0; minutes < 60; ++minutes)
            for (int ticks = 0; ticks < 32; ++ticks) {
                const std::int64_t t = ticks + 32 * (minutes + 60 * hours);
                if (t < 32 * (30 + 60 * 2) || t > 24 * 60 * 32)
                    continue;
                const dayProgress day = progressOf(ticks, minutes, hours);
                ASSERT_EQ(day.dotX, t * SCREEN_W / 46080)
                    << hours << ":" << minutes << "." << ticks;
                ASSERT_EQ(day.percent, t * 100 / 46080) << hours << ":" << minutes << "." << ticks;
                ++checked;
            }
    EXPECT_EQ(checked, 41281);
}

TEST_F(raceTest, thePauseScreenShowsTheDayAndTheClock) {
    const dayProgress day = progressOf(0, 30, 2);
    BITMAP* frame = global::dbuffer;
    const int middle = SCREEN_H / 2;
    const int centre = SCREEN_W / 2;

    drawProgress(day, -32, 30, 2);
    EXPECT_EQ(getpixel(frame, 0, middle), colors::black);
    EXPECT_EQ(getpixel(frame, SCREEN_W - 1, middle), colors::black);
    EXPECT_EQ(countColor(frame, 0, middle, SCREEN_W - 1, middle, colors::black), SCREEN_W - 9);
    EXPECT_EQ(getpixel(frame, 33, middle), colors::dgray);
    EXPECT_EQ(getpixel(frame, 33, middle - 4), colors::dgray);
    EXPECT_EQ(getpixel(frame, 37, middle), colors::dgray);
    EXPECT_EQ(getpixel(frame, 33, middle - 5), colors::white);
    EXPECT_EQ(getpixel(frame, 33, middle - 20), colors::white);
    EXPECT_TRUE(showsCentredText(frame, centre, 20, "-PAUSE-", colors::vdgray));
    EXPECT_TRUE(showsCentredText(frame, centre, 30, "Press select to quit", colors::vdgray));
    EXPECT_TRUE(showsCentredText(frame, centre, 120, "10% done...", colors::vdgray));
    EXPECT_TRUE(showsCentredText(frame, centre, 130, "The time is:  2:30", colors::vdgray));

    drawProgress(day, 0, 30, 2);
    EXPECT_EQ(getpixel(frame, 33, middle), colors::lgray);
    EXPECT_EQ(countColor(frame, 0, 18, SCREEN_W - 1, 29, colors::vdgray), 0);
    EXPECT_TRUE(showsCentredText(frame, centre, 30, "Press select to quit", colors::vdgray));
}

// "-PAUSE-" and the dark dot for 32 redraws, then neither for 31: the n-th redraw shows the
// text when (n - 1) % 63 < 32.
TEST_F(raceTest, thePauseBlinksIn63RedrawsAndTabQuitsWhileHidden) {
    BITMAP* frame = global::dbuffer;
    const int pending[] = {1, 32, 33, 63, 64, 95, 96, 126, 127};
    for (int n : pending) {
        releaseAllKeys();
        // The pause key that opened the screen is still down and counted.
        press(KEY_ENTER);
        ASSERT_TRUE(keyStates[KEY_ENTER]);
        press(KEY_TAB);
        run = true;
        timerCounter = n;
        showProgress(10, 0, 12);
        EXPECT_FALSE(run) << n;
        EXPECT_EQ(timerCounter, 0) << n;
        const bool shown = (n - 1) % 63 < 32;
        EXPECT_EQ(getpixel(frame, progressOf(10, 0, 12).dotX, SCREEN_H / 2),
                  shown ? colors::dgray : colors::lgray)
            << n;
        EXPECT_EQ(showsCentredText(frame, SCREEN_W / 2, 20, "-PAUSE-", colors::vdgray), shown) << n;
        EXPECT_EQ(countColor(frame, 0, 18, SCREEN_W - 1, 29, colors::vdgray) > 0, shown) << n;
        EXPECT_TRUE(
            showsCentredText(frame, SCREEN_W / 2, 130, "The time is: 12: 0", colors::vdgray));
        EXPECT_TRUE(showsCentredText(frame, SCREEN_W / 2, 120, "50% done...", colors::vdgray));
    }
}

TEST_F(raceTest, thePauseResumesOnANewPressOfEnter) {
    press(KEY_ENTER);
    ASSERT_TRUE(keyStates[KEY_ENTER]);
    run = true;
    timerCounter = 3;
    std::atomic<bool> returned{false};
    std::atomic<bool> earlyReturn{false};
    // The player lets go of the pause key and presses it again once the screen has drawn
    // its pending frames.
    std::thread player([&] {
        while (timerCounter > 0 && !returned)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        earlyReturn = returned.load();
        release(KEY_ENTER);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        earlyReturn = earlyReturn || returned.load();
        press(KEY_ENTER);
    });
    showProgress(0, 30, 2);
    returned = true;
    player.join();
    EXPECT_FALSE(earlyReturn);
    EXPECT_TRUE(run);
    EXPECT_EQ(timerCounter, 0);
    EXPECT_TRUE(
        showsCentredText(global::dbuffer, SCREEN_W / 2, 130, "The time is:  2:30", colors::vdgray));
}

TEST_F(raceTest, theCloseButtonEndsThePauseWithoutEndingTheRace) {
    press(KEY_ENTER);
    ASSERT_TRUE(keyStates[KEY_ENTER]);
    press(KEY_TAB);
    run = true;
    timerCounter = 4;
    global::exit = true;
    showProgress(0, 30, 2);
    EXPECT_TRUE(run);
    EXPECT_EQ(timerCounter, 4);
    EXPECT_TRUE(keyStates[KEY_TAB]) << "select was not asked";
}

// ---- Whole races ----

TEST_F(raceTest, gameRunsEveryPendingTickBackToBack) {
    scratchFolder folder;
    writeRaceFiles();
    std::srand(4711);
    // The enemies wear the health bar down long before 24:00, but the race looks at its end
    // only between passes, and every pending tick belongs to the first pass.
    timerCounter = 41280 + 32;
    returnStruct* result = game();
    EXPECT_EQ(result->hours, 24);
    EXPECT_EQ(result->minutes, 1);
    delete result;
    EXPECT_FALSE(run);
    EXPECT_EQ(timerCounter, 0);
    BITMAP* frame = global::dbuffer;
    const int h = SCREEN_H;
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, colors::lgray), 5)
        << "the last frame shows the health bar used up";
    const std::string clock = "Time: 24: 1";
    EXPECT_TRUE(showsText(frame, SCREEN_W - 2 - text_length(font, clock.c_str()), h - 8, clock,
                          colors::white));
}

// The enemies end this race by damage; game() given exactly the ticks that took ends with the
// same clock.
TEST_F(raceTest, gameEndsWhereItsTicksOneByOneEnd) {
    scratchFolder folder;
    writeRaceFiles();
    std::srand(2024);
    loadRace(race);
    open = true;
    resetRace(race);
    int count = 0;
    while (run && count < 41280) {
        raceTick(race);
        ++count;
    }
    EXPECT_EQ(race.damage, race.maxDamage);
    EXPECT_LT(count, 41280);
    const returnStruct byTicks = finish();

    std::srand(2024);
    timerCounter = count;
    returnStruct* whole = game();
    EXPECT_EQ(whole->hours, byTicks.hours);
    EXPECT_EQ(whole->minutes, byTicks.minutes);
    delete whole;
    EXPECT_EQ(timerCounter, 0);
}

TEST_F(raceTest, theCloseButtonBeforeARaceStillGivesItsResult) {
    scratchFolder folder;
    writeRaceFiles();
    global::exit = true;
    timerCounter = 5;
    returnStruct* result = game();
    EXPECT_EQ(result->hours, 2);
    EXPECT_EQ(result->minutes, 30);
    delete result;
    EXPECT_EQ(timerCounter, 5);
}

TEST_F(raceTest, quittingFromThePauseLeavesTheCounterAtMinusOne) {
    scratchFolder folder;
    writeRaceFiles();
    timerCounter = 1;
    press(KEY_ENTER);
    press(KEY_TAB);
    returnStruct* result = game();
    EXPECT_EQ(result->hours, 2);
    EXPECT_EQ(result->minutes, 30);
    delete result;
    EXPECT_EQ(timerCounter, -1);
    EXPECT_FALSE(run);
}

} // namespace
