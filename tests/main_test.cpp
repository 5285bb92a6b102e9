// The title screen's decision and loop, and the best result kept in "highscore.sav".
#include "game.h"
#include "globals.h"
#include "main.h"
#include "main_internal.h"
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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

TEST_F(titleTest, enterStartsARaceAndLeavesTheOtherTicksPendingAndTheScreenBlack) {
    timerCounter = 5;
    press(KEY_ENTER);
    EXPECT_EQ(title(), 1);
    EXPECT_EQ(timerCounter, 4);
    EXPECT_EQ(countColor(global::dbuffer, 0), SCREEN_W * SCREEN_H);
    EXPECT_EQ(countColor(screen, 0), SCREEN_W * SCREEN_H);
}

TEST_F(titleTest, aQuitKeyOrTheCloseButtonEndsTheGame) {
    timerCounter = 3;
    press(KEY_LCONTROL);
    EXPECT_EQ(title(), 0);
    EXPECT_EQ(timerCounter, 2);

    releaseAllKeys();
    global::exit = true;
    EXPECT_EQ(title(), 0);
    EXPECT_EQ(timerCounter, 1);
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

TEST_F(titleTest, theTitleShowsTheStoredBestOrZeros) {
    EXPECT_TRUE(titleShowsBest(" 0: 0"));
    writeBytes("highscore.sav", std::string("\x18\0\0", 3));
    EXPECT_TRUE(titleShowsBest("24: 0"));
}

// ---- The best result ----

class highscoreTest : public testing::Test {
  protected:
    void expectStored(int hours, int minutes) {
        // Never read through a link: one to /dev/full would never end.
        ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(file)));
        EXPECT_EQ(readBytes(file), highscoreBytes(hours, minutes));
    }
    void update(int hours, int minutes) {
        returnStruct result{hours, minutes};
        updateHighscore(&result);
    }
    static bool exists(const char* path) {
        struct stat info;
        return lstat(path, &info) == 0;
    }
    const char* const file = "highscore.sav";
    scratchFolder folder;
};

// Two little-endian ints; bytes that a short file does not hold read as zero, and no file at
// all, or one that cannot be read, as 0:00.
TEST_F(highscoreTest, theFileReadsAsTwoLittleEndianInts) {
    struct stored {
        std::string bytes; // "/" for a folder in the file's place
        int hours;
        int minutes;
    };
    const stored files[] = {
        {"", 0, 0},
        {std::string("\x04\x03\x02\x01\xfe\xff\xff\xff", 8), 0x01020304, -2},
        {std::string("\x0a\x01\x02", 3), 0x02010a, 0},
        {std::string("\x18\0\0\0\x05\x01", 6), 24, 0x0105},
        {highscoreBytes(3, 10) + "tail", 3, 10},
        {"/", 0, 0},
    };
    int hours = 77;
    int minutes = 77;
    readHighscore(hours, minutes);
    EXPECT_EQ(hours, 0);
    EXPECT_EQ(minutes, 0);
    for (const stored& c : files) {
        std::filesystem::remove(file);
        if (c.bytes == "/")
            std::filesystem::create_directory(file);
        else
            writeBytes(file, c.bytes);
        hours = minutes = 77;
        readHighscore(hours, minutes);
        EXPECT_EQ(hours, c.hours) << c.bytes.size();
        EXPECT_EQ(minutes, c.minutes) << c.bytes.size();
    }
}

// Hours decide first and minutes break ties; an equal result leaves the file untouched, and a
// stored negative loses to any result.
TEST_F(highscoreTest, aBetterResultReplacesTheBest) {
    struct round {
        int storedHours, storedMinutes, hours, minutes;
        bool saved;
    };
    const round rounds[] = {{7, 15, 7, 16, true},  {7, 15, 6, 59, false}, {7, 15, 8, 0, true},
                            {7, 15, 7, 14, false}, {7, 15, 7, 15, false}, {-1, 50, 2, 30, true},
                            {2, -7, 2, 30, true}};
    update(2, 30);
    expectStored(2, 30);
    for (const round& r : rounds) {
        writeBytes(file, highscoreBytes(r.storedHours, r.storedMinutes));
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, file, old, 0), 0);
        update(r.hours, r.minutes);
        if (r.saved)
            expectStored(r.hours, r.minutes);
        else
            expectStored(r.storedHours, r.storedMinutes);
        struct stat after;
        ASSERT_EQ(stat(file, &after), 0);
        EXPECT_EQ(after.st_mtim.tv_sec != 1000000000, r.saved) << r.hours << ":" << r.minutes;
    }
    // A longer file counts its first 8 bytes, and a save cuts it to 8.
    writeBytes(file, highscoreBytes(3, 10) + "tail");
    update(3, 9);
    EXPECT_EQ(readBytes(file).size(), 12u);
    update(5, 0);
    expectStored(5, 0);
    EXPECT_FALSE(exists("highscore.sav.tmp"));
}

TEST_F(highscoreTest, aSaveThatFailsKeepsTheOldBest) {
    writeBytes(file, highscoreBytes(7, 15));
    // The temporary file lands on a device that is always full: the write fails.
    std::filesystem::create_symlink("/dev/full", "highscore.sav.tmp");
    EXPECT_FALSE(saveHighscore(9, 1));
    expectStored(7, 15);
    EXPECT_FALSE(exists("highscore.sav.tmp"));

    // A folder in the temporary file's place: it cannot even be opened.
    std::filesystem::create_directory("highscore.sav.tmp");
    EXPECT_FALSE(saveHighscore(9, 1));
    expectStored(7, 15);
}

TEST_F(highscoreTest, aBestThatIsAFolderIsLeftAlone) {
    std::filesystem::create_directory(file);
    update(24, 0);
    EXPECT_FALSE(saveHighscore(24, 0));
    EXPECT_TRUE(std::filesystem::is_empty(file));
    EXPECT_FALSE(exists("highscore.sav.tmp"));
}

} // namespace
