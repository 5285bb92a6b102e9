// The title screen's decision and loop.
#include "game.h"
#include "globals.h"
#include "main.h"
#include "main_internal.h"
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
