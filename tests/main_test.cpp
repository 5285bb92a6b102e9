// The title screen's decision and loop.
#include "game.h"
#include "globals.h"
#include "main.h"
#include "main_internal.h"
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class titleTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
        writePicture("gfx/title.tga", 320, 200);
    }
    void TearDown() override {
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
    }
    scratchFolder folder;
};

// ---- The title's decision ----

// ENTER wins over the quit keys in the same tick, and the keys after the deciding one are not
// asked, so their presses are still to be counted.
TEST_F(titleTest, enterWinsAndTheKeysAfterTheDecidingOneAreNotAsked) {
    for (int k : {KEY_ENTER, KEY_ALT, KEY_LCONTROL, KEY_TAB})
        press(k);
    EXPECT_EQ(titleDecision(), 1);
    EXPECT_EQ(titleDecision(), 0);
    EXPECT_EQ(titleDecision(), 0);
    EXPECT_EQ(titleDecision(), 0);
    EXPECT_EQ(titleDecision(), 2);

    for (int quitKey : {KEY_ALT, KEY_LCONTROL, KEY_TAB}) {
        releaseAllKeys();
        press(quitKey);
        EXPECT_EQ(titleDecision(), 0) << quitKey;
        EXPECT_EQ(titleDecision(), 2) << quitKey << " held counts once";
    }
}

TEST_F(titleTest, aKeyHeldSinceTheRaceActsOnlyAfterANewPress) {
    press(KEY_ENTER);
    ASSERT_TRUE(keyStates[KEY_ENTER]); // counted by the race
    EXPECT_EQ(titleDecision(), 2);
    release(KEY_ENTER);
    EXPECT_EQ(titleDecision(), 2);
    press(KEY_ENTER);
    EXPECT_EQ(titleDecision(), 1);
}

TEST_F(titleTest, theCloseButtonQuitsUnlessEnterFires) {
    global::exit = true;
    EXPECT_EQ(titleDecision(), 0);
    press(KEY_ENTER);
    EXPECT_EQ(titleDecision(), 1);
}

// ---- The title screen ----

// Ticks pending at the title, as after a stop that ENTER was held through, are not the race's:
// it starts with none.
TEST_F(titleTest, enterStartsARaceWithNoTickPendingAndTheScreenBlack) {
    timerCounter = 5;
    press(KEY_ENTER);
    EXPECT_EQ(title(), 1);
    EXPECT_EQ(timerCounter, 0);
    EXPECT_EQ(countColor(global::dbuffer, 0), SCREEN_W * SCREEN_H);
    EXPECT_EQ(countColor(screen, 0), SCREEN_W * SCREEN_H);
}

TEST_F(titleTest, aQuitKeyOrTheCloseButtonEndsTheGame) {
    timerCounter = 3;
    press(KEY_LCONTROL);
    EXPECT_EQ(title(), 0);

    releaseAllKeys();
    global::exit = true;
    EXPECT_EQ(title(), 0);
}

// A tick of the title screen with no key down: it stays undecided, and its frame shows the
// picture with the stored best printed on it.
bool titleShowsBest(const std::string& best) {
    releaseAllKeys();
    BITMAP* picture = titlePicture();
    const int decision = titleTick(picture);
    destroy_bitmap(picture);
    return decision == 2 && showsCentredText(screen, 264, 175, best, colors::vdgray) &&
           getpixel(screen, 10, 10) == makecol(40, 90, 160);
}

// How the file's bytes read is the save's own test; this one sees that the title prints them.
TEST_F(titleTest, theTitleShowsTheStoredBest) {
    writeBytes("highscore.sav", highscoreBytes(9, 5));
    EXPECT_TRUE(titleShowsBest(" 9: 5"));
}

// ---- The ticks after a long stop ----

// The screens' looks at the ticks, driven with a clock of the test's own: the library's timer is
// off, so the only ticks are the ones the test gives.
class tickTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        remove_int(timerCounterUpdater);
        // Far on from any look an earlier test made, as if after a stop.
        static double start = 1e6;
        now = start += 1e6;
        race(1);
        timerCounter = 0;
    }
    void TearDown() override {
        remove_int(timerCounterUpdater);
        timerCounter = 0;
    }
    // A race running for SECONDS: a tick every 32nd of a second, each seen at once and used.
    void race(double seconds) {
        for (int i = 0; i < seconds * ticksPerSecond; ++i) {
            timerCounterUpdater();
            lookAtTicks(now += 1.0 / ticksPerSecond);
            --timerCounter;
        }
    }
    // The game looking every hundredth of a second for SECONDS, no tick coming.
    void lookWithoutTicks(double seconds) {
        for (int i = 0; i < seconds * 100; ++i)
            lookAtTicks(now += 0.01);
    }
    static const int ticksPerSecond = 32;
    double now = 0;
};

// The tick that comes while the last frame before the stop is drawn is seen only after it; the
// library then gives none for half an hour. Within 4 s the ticks of the stop come all the same.
TEST_F(tickTest, aTickJustBeforeAStopDoesNotHideTheStopsTicks) {
    timerCounterUpdater();
    now += 1810;
    lookWithoutTicks(4.5);
    EXPECT_GE(timerCounter, 1810 * ticksPerSecond);
    EXPECT_LE(timerCounter, 1815 * ticksPerSecond);
}

// After a shorter stop the library gives the ticks due itself, right after the game goes on:
// they are not added a second time.
TEST_F(tickTest, theTicksTheLibraryGivesAfterAStopAreNotAddedAgain) {
    now += 20;
    EXPECT_TRUE(lookAtTicks(now));
    for (int i = 0; i < 20 * ticksPerSecond; ++i)
        timerCounterUpdater();
    timerCounter = 0;
    race(5);
    EXPECT_EQ(timerCounter, 0);
}

// ---- A stop in the screens' wait ----

// The wait's clock, which moves on a millisecond at every read. The stop comes right after the
// read numbered readsBeforeStop, and the first of its ticks with it; a wait still going after
// ten thousand reads is ended, so that a wait that never returns fails rather than hangs.
double clockNow;
double stopEnd;
double lastRead;
int readsBeforeStop;
int reads;
double stoppingClock() {
    lastRead = clockNow += 0.001;
    if (++reads == readsBeforeStop) {
        stopEnd = clockNow += 30;
        timerCounterUpdater();
    }
    if (reads == 10000)
        global::exit = true;
    return lastRead;
}

class stopInWaitTest : public tickTest {
  protected:
    void SetUp() override {
        tickTest::SetUp();
        clockNow = now;
        reads = 0;
        screenClock = stoppingClock;
    }
    void TearDown() override {
        screenClock = savedClock;
        global::exit = false;
        tickTest::TearDown();
    }
    double (*savedClock)() = screenClock;
};

// A tick that came with a stop is taken only after the wait has looked at the clock past the
// stop and given the library's thread its period (27 ms at most) to deliver the stop's other
// ticks, whether the stop fell just after a look or at the start of the wait.
TEST_F(stopInWaitTest, aTickThatCameWithAStopIsTakenOnlyOnceTheStopIsSeen) {
    for (int stopAfter : {1, 2, 5}) {
        readsBeforeStop = reads + stopAfter;
        ASSERT_TRUE(awaitTick()) << "stop after read " << stopAfter;
        EXPECT_GE(lastRead - stopEnd, 0.027) << "stop after read " << stopAfter;
        timerCounter = 0;
    }
}

// ---- The window's options ----

struct parsed {
    bool ok;
    windowOptions options;
    bool help;
};

parsed parse(std::vector<std::string> words) {
    words.insert(words.begin(), "gravelmoth");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    parsed result{};
    std::string error;
    result.ok = parseOptions(static_cast<int>(argv.size()), argv.data(), result.options,
                             result.help, error);
    EXPECT_EQ(result.ok, error.empty()) << "a refusal says why, and only a refusal";
    return result;
}

TEST(optionsTest, eachFormGivesItsWindowAndNoneTheGamesOwn) {
    const parsed none = parse({});
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.options.scale, 1);
    EXPECT_FALSE(none.options.autoScale || none.options.fullscreen || none.help);

    EXPECT_EQ(parse({"--scale", "8"}).options.scale, 8);
    EXPECT_EQ(parse({"--scale=3"}).options.scale, 3);
    EXPECT_TRUE(parse({"--scale", "auto"}).options.autoScale);
    EXPECT_TRUE(parse({"--scale=auto"}).options.autoScale);
    EXPECT_TRUE(parse({"--fullscreen"}).options.fullscreen);
    EXPECT_TRUE(parse({"--fullscreen", "--help"}).help);
    // The word after --scale is its number, never an option of its own.
    EXPECT_FALSE(parse({"--scale", "--fullscreen"}).ok);
    EXPECT_FALSE(parse({"--scale", "03"}).ok);
    EXPECT_FALSE(parse({"--scale=", "3"}).ok);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--scale", "0"},
                                                {"--scale", "9"},
                                                {"--scale", "x"},
                                                {"--scale"},
                                                {"--scale", "2", "--fullscreen"},
                                                {"-f"}})
        EXPECT_FALSE(parse(bad).ok) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
}

// The largest whole scale that fits both ways, and never less than 1.
TEST(optionsTest, theFittingScaleIsTheLargestWholeOneThatFitsBothWays) {
    EXPECT_EQ(fittingScale(1920, 1080), 5);
    EXPECT_EQ(fittingScale(1536, 864), 4); // 80 % of 1920 by 1080
    EXPECT_EQ(fittingScale(3840, 2160), 10);
    EXPECT_EQ(fittingScale(959, 2000), 2);
    EXPECT_EQ(fittingScale(200, 100), 1);
}

} // namespace
