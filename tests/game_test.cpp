// The race: one tick at a time against real bitmaps and the real key array, the frames it
// draws and the pause screen.
#include "game_internal.h"
#include "globals.h"
#include "main.h"
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class raceTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseAllKeys();
        openRace(20, 10);
    }
    void TearDown() override {
        if (open)
            delete endRace(race);
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
        run = false;
    }

    static int carColor() { return makecol(40, 90, 160); }
    static int flashColor() { return makecol(200, 40, 40); }
    static int maskColor() { return makecol(255, 0, 255); }

    // A picture filled with one colour inside a one-pixel frame of the mask colour.
    static BITMAP* framedPicture(int width, int height, int color) {
        BITMAP* picture = create_bitmap(width, height);
        clear_to_color(picture, color);
        rect(picture, 0, 0, width - 1, height - 1, maskColor());
        return picture;
    }

    // A race at its start with a car of the given size, a larger flash and no enemies to come.
    void openRace(int carW, int carH) {
        if (open)
            delete endRace(race);
        race.car = framedPicture(carW, carH, carColor());
        race.explosion = framedPicture(30, 16, flashColor());
        open = true;
        resetRace(race);
        race.spawnCountdown = INT_MAX;
    }

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

    std::vector<std::string> log; // of the spies in the race's table
    raceState race;
    bool open = false;
};

// ---- One tick ----

TEST_F(raceTest, speedStepsOnlyOnNewPresses) {
    race.carX = 150;
    for (int expected : {1, 2, 2, 2}) {
        tap(KEY_RIGHT);
        EXPECT_EQ(race.speed, expected);
    }
    for (int expected : {1, 0, -1, -2, -2}) {
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

// The leak checker's, where the tests are built with it.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

// The voice the race's engine sound plays on: the only one playing in these tests.
int engineVoice() {
    for (int voice = 0; voice < 256; ++voice)
        if (voice_check(voice))
            return voice;
    return -1;
}

// A race whose game frame has a sound device: a HOME whose ALSA configuration makes the
// default device one that plays into nothing, in place before the frame comes up. Each test
// runs in a process of its own, so the frame of this one starts here.
class engineTest : public raceTest {
  protected:
    void SetUp() override {
        writeBytes(folder.path() + "/.asoundrc", "pcm.!default { type null }\n");
        const char* home = std::getenv("HOME");
        savedHome = home ? home : "";
        setenv("HOME", folder.path().c_str(), 1);
        // With a device to play on, the library's ALSA driver keeps a few bytes it allocates
        // in install_sound until the process ends: not the game's, so no leak of this test.
        if (__lsan_disable)
            __lsan_disable();
        raceTest::SetUp();
        if (__lsan_enable)
            __lsan_enable();
    }
    void TearDown() override {
        raceTest::TearDown();
        setenv("HOME", savedHome.c_str(), 1);
    }
    scratchFolder folder;
    std::string savedHome;
};

TEST_F(engineTest, theEngineFollowsTheSpeedInVolumeAndPitch) {
    writeSound("engine.wav");
    ASSERT_TRUE(race.engine.load("engine.wav"));
    race.engine.play(1, 120, 127, 1000);
    const int voice = engineVoice();
    ASSERT_GE(voice, 0) << "no voice plays the engine";
    race.carX = 150;
    struct tuning {
        int key, speed, volume, frequency;
    };
    for (const tuning& t : {tuning{KEY_RIGHT, 1, 140, 1100}, tuning{KEY_RIGHT, 2, 160, 1200},
                            tuning{KEY_LEFT, 1, 140, 1100}, tuning{KEY_LEFT, 0, 120, 1000},
                            tuning{KEY_LEFT, -1, 100, 900}, tuning{KEY_LEFT, -2, 80, 800}}) {
        tap(t.key);
        ASSERT_EQ(race.speed, t.speed);
        EXPECT_EQ(engineVoice(), voice) << "speed " << t.speed << ": the loop was restarted";
        EXPECT_EQ(voice_get_volume(voice), t.volume) << "speed " << t.speed;
        // The library keeps the frequency as the sample's rate scaled by it, in whole hertz.
        EXPECT_EQ(voice_get_frequency(voice), 8000 * t.frequency / 1000) << "speed " << t.speed;
    }
    race.engine.destroy();
}

TEST_F(raceTest, bothEdgesStopTheCar) {
    // Speeding up to the left at the left edge stops at once.
    press(KEY_LEFT);
    raceTick(race);
    EXPECT_EQ(race.carX, 0);
    EXPECT_EQ(race.speed, 0);
    EXPECT_EQ(race.lastSpeed, 0);

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
                                         heightCase{24, 12, 180}, heightCase{1, 0, 192}),
                         [](const testing::TestParamInfo<heightCase>& info) {
                             return "carH" + std::to_string(info.param.carH);
                         });

// Both fire keys in one tick fire once, to the left; the fire keys are asked in every tick, so
// a press made while reloading, even in its last tick, is used up and lost. The 112th tick
// after a shot fires again.
TEST_F(raceTest, theShotReloadsFor112TicksAndAPressMeanwhileIsLost) {
    race.enemies[3] = new spyEnemy(log, 3);
    const auto shots = [&] {
        return std::count_if(log.begin(), log.end(), [](const std::string& entry) {
            return entry.find("attack") != std::string::npos;
        });
    };
    press(KEY_LCONTROL);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.reload, 112);
    EXPECT_FALSE(race.shotRight);
    EXPECT_EQ(shots(), 1);
    ticks(200);
    EXPECT_EQ(race.reload, 0);
    EXPECT_EQ(shots(), 1) << "both keys held on: neither fires when the reload is over";

    release(KEY_LCONTROL);
    release(KEY_ALT);
    raceTick(race);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_TRUE(race.shotRight);
    release(KEY_ALT);
    ticks(110);
    press(KEY_LCONTROL);
    raceTick(race);
    EXPECT_EQ(race.reload, 1);
    press(KEY_ALT);
    raceTick(race);
    EXPECT_EQ(race.reload, 112);
    EXPECT_EQ(shots(), 3);
}

// Every minute and hour of the day rolls over on the way; the car is never moved.
TEST_F(raceTest, aRaceWithoutInputEndsAt24After41280Ticks) {
    ticks(31);
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
    const returnStruct result = finish();
    EXPECT_EQ(result.hours, raceEndHour);
    EXPECT_EQ(result.minutes, 0);
}

// A pass runs every tick that came due, a stall's included, and leaves none pending.
TEST_F(raceTest, aPassRunsEveryPendingTick) {
    timerCounter = 40;
    racePass(race);
    EXPECT_EQ(timerCounter, 0);
    EXPECT_EQ(race.minutes, 31);
    EXPECT_EQ(race.ticks, 8);
}

// Past the limit the damage stands at it, the enemies behind still move and the fire keys
// still work in that tick.
TEST_F(raceTest, damageReachingTheLimitEndsTheRaceInThatTick) {
    race.enemies[0] = new spyEnemy(log, 0, 1);
    race.damage = healthPoints - 2;
    raceTick(race);
    EXPECT_EQ(race.damage, healthPoints - 1);
    EXPECT_TRUE(run);

    race.enemies[1] = new spyEnemy(log, 1, 30);
    press(KEY_ALT);
    log.clear();
    raceTick(race);
    EXPECT_EQ(race.damage, healthPoints);
    EXPECT_FALSE(run);
    EXPECT_EQ(log, (std::vector<std::string>{"0 finished", "0 move 0,100,20,10", "1 finished",
                                             "1 move 0,100,20,10", "0 attack 20,100,20,10",
                                             "1 attack 20,100,20,10"}));
    EXPECT_EQ(race.ticks, 2);
}

// The pause shows the day done up to the tick that opened it: at 5:37 and 31 ticks the dot
// stands one column further than at 5:37 itself.
TEST_F(raceTest, quittingAPauseOpenedAtTick31ReturnsOneMinuteMore) {
    race.hours = 5;
    race.minutes = 37;
    race.ticks = 31;
    // The tick's own count is still pending when it opens the pause screen.
    timerCounter = 1;
    press(KEY_ENTER);
    press(KEY_TAB);
    raceTick(race);
    EXPECT_FALSE(run);
    EXPECT_EQ(timerCounter, 0) << "the pause screen used the tick's count";
    EXPECT_TRUE(
        showsCentredText(global::dbuffer, SCREEN_W / 2, 130, "The time is:  5:37", colors::vdgray));
    EXPECT_EQ(getpixel(global::dbuffer, 75 + 4, SCREEN_H / 2), colors::dgray);
    const returnStruct result = finish();
    EXPECT_EQ(result.hours, 5);
    EXPECT_EQ(result.minutes, 38);
}

// ---- One frame ----

TEST_F(raceTest, theFrameShowsTheCarOnAWhiteFieldWithItsMaskTransparent) {
    openRace(20, 11);
    race.carX = 50;
    race.carY = 60;
    drawRace(race);
    BITMAP* frame = global::dbuffer;
    const int top = 60 - 5;
    EXPECT_EQ(countColor(frame, 51, top + 1, 68, top + 9, carColor()), 18 * 9);
    EXPECT_EQ(countColor(frame, carColor()), 18 * 9);
    EXPECT_EQ(countColor(frame, 0, 0, SCREEN_W - 1, SCREEN_H - 10, colors::white),
              SCREEN_W * (SCREEN_H - 9) - 18 * 9);
}

// The flash shows only in the frame right after the tick that fired, beside the car on the
// side of the shot; it is copied plainly, so its mask frame shows, and only the car's size.
TEST_F(raceTest, theShotFlashShowsOnlyInTheFrameAfterTheShot) {
    race.carX = 50;
    race.carY = 60;
    const int top = 55;
    BITMAP* frame = global::dbuffer;
    press(KEY_ALT);
    raceTick(race);
    drawRace(race);
    EXPECT_EQ(getpixel(frame, 70, top), maskColor());
    EXPECT_EQ(countColor(frame, 71, top + 1, 89, top + 9, flashColor()), 19 * 9);
    EXPECT_EQ(countColor(frame, flashColor()), 19 * 9);

    raceTick(race);
    drawRace(race);
    EXPECT_EQ(countColor(frame, flashColor()), 0);
    EXPECT_EQ(countColor(frame, maskColor()), 0);

    race.reload = 112;
    race.shotRight = false;
    drawRace(race);
    EXPECT_EQ(getpixel(frame, 30, top), maskColor());
    EXPECT_EQ(countColor(frame, 31, top + 1, 49, top + 9, flashColor()), 19 * 9);
}

// The strip is the bottom 9 rows: a health bar of columns 1 to 160 less the damage, the clock,
// and "Reloading" while the shot reloads.
TEST_F(raceTest, theStatusStripHoldsTheHealthBarTheClockAndReloading) {
    BITMAP* frame = global::dbuffer;
    const int h = SCREEN_H;
    const auto stripCount = [&](int color) {
        return countColor(frame, 0, h - 9, SCREEN_W - 1, h - 1, color);
    };
    drawRace(race);
    EXPECT_EQ(countColor(frame, 0, h - 10, SCREEN_W - 1, h - 10, colors::white), SCREEN_W);
    EXPECT_EQ(countColor(frame, 0, h - 9, SCREEN_W - 1, h - 9, colors::black), SCREEN_W);
    EXPECT_EQ(stripCount(colors::lgray), 160 * 5);
    EXPECT_EQ(countColor(frame, 1, h - 7, 160, h - 3, colors::lgray), 160 * 5);
    EXPECT_TRUE(stripShowsClock("Time:  2:30"));
    EXPECT_EQ(stripCount(colors::gray), 0) << "no Reloading without a shot";

    race.damage = 100;
    race.hours = 24;
    race.minutes = 0;
    race.reload = 1;
    drawRace(race);
    EXPECT_EQ(countColor(frame, 1, h - 7, 60, h - 3, colors::lgray), 60 * 5);
    EXPECT_EQ(stripCount(colors::lgray), 60 * 5);
    EXPECT_TRUE(stripShowsClock("Time: 24: 0"));
    EXPECT_TRUE(showsText(frame, SCREEN_W / 2 - 3, h - 8, "Reloading", colors::gray));
    EXPECT_GT(stripCount(colors::gray), 0);

    race.damage = race.maxDamage;
    drawRace(race);
    EXPECT_EQ(countColor(frame, 1, h - 7, 1, h - 3, colors::lgray), 5);
    EXPECT_EQ(stripCount(colors::lgray), 5);
}

// ---- The pause screen ----

// The day counts from 0:00, so a race starts at 10 %; both figures are rounded down.
TEST(progress, theDayDoneInPercentAndAsTheDotsColumn) {
    startGameFrame();
    struct clock {
        int ticks, minutes, hours, percent, dotX;
    };
    for (const clock c : {clock{0, 30, 2, 10, 33}, clock{0, 0, 12, 50, 160},
                          clock{31, 59, 23, 99, 319}, clock{0, 0, 24, 100, 320}}) {
        const dayProgress day = progressOf(c.ticks, c.minutes, c.hours);
        EXPECT_EQ(day.percent, c.percent) << c.hours << ":" << c.minutes << "." << c.ticks;
        EXPECT_EQ(day.dotX, c.dotX) << c.hours << ":" << c.minutes << "." << c.ticks;
    }
}

TEST_F(raceTest, thePauseScreenShowsTheDayAndTheClock) {
    const dayProgress day = progressOf(0, 30, 2);
    BITMAP* frame = global::dbuffer;
    const int middle = SCREEN_H / 2;
    const int centre = SCREEN_W / 2;

    drawProgress(day, -32, 30, 2);
    EXPECT_EQ(countColor(frame, 0, middle, SCREEN_W - 1, middle, colors::black), SCREEN_W - 9);
    EXPECT_EQ(getpixel(frame, 33, middle), colors::dgray);
    EXPECT_EQ(getpixel(frame, 33, middle - 4), colors::dgray);
    EXPECT_EQ(getpixel(frame, 37, middle), colors::dgray);
    EXPECT_EQ(getpixel(frame, 33, middle - 5), colors::white);
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
// text when (n - 1) % 63 < 32. The pause key that opened the screen is still down and counted.
TEST_F(raceTest, thePauseBlinksIn63RedrawsAndTabQuitsWhileHidden) {
    BITMAP* frame = global::dbuffer;
    for (int n : {1, 32, 33, 63, 64, 95, 96, 126, 127}) {
        releaseAllKeys();
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
        EXPECT_EQ(countColor(frame, 0, 18, SCREEN_W - 1, 29, colors::vdgray) > 0, shown) << n;
        EXPECT_TRUE(
            showsCentredText(frame, SCREEN_W / 2, 130, "The time is: 12: 0", colors::vdgray));
    }
}

// The press of ENTER that opened the pause, still held, does not close it (the blink's test
// holds it with TAB). A new press resumes, but only once the ticks pending (here as after a
// stop) are used up with a frame: they are the pause's, not the race's.
TEST_F(raceTest, thePauseResumesOnlyOnANewPressOfEnter) {
    press(KEY_ENTER);
    run = true;
    timerCounter = 3;
    clear_bitmap(global::dbuffer);
    showProgress(0, 30, 2);
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

} // namespace
