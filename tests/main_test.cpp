// The title screen's decision and loop, and the best result kept in "highscore.sav".
#include "game.h"
#include "globals.h"
#include "main.h"
#include "testsupport.h"
#include "tools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

namespace {

void press(int scancode) {
    key[scancode] = 1;
}

int countColor(BITMAP* bitmap, int color) {
    int count = 0;
    for (int y = 0; y < bitmap->h; ++y)
        for (int x = 0; x < bitmap->w; ++x)
            if (getpixel(bitmap, x, y) == color)
                ++count;
    return count;
}

std::string littleEndian(std::int32_t hours, std::int32_t minutes) {
    std::string bytes;
    for (std::int32_t value : {hours, minutes})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i)));
    return bytes;
}

class titleTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
    }
    void TearDown() override {
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
    }
};

// ---- The title's decision ----

TEST_F(titleTest, enterWinsOverTheQuitKeysInTheSameTick) {
    press(KEY_ENTER);
    press(KEY_ALT);
    press(KEY_LCONTROL);
    press(KEY_TAB);
    EXPECT_EQ(titleDecision(), 1);
    // The quit keys were not asked, so their presses are still to be counted.
    EXPECT_EQ(titleDecision(), 0);
    EXPECT_TRUE(keyStates[KEY_LCONTROL]);
    EXPECT_TRUE(keyStates[KEY_TAB]);
}

TEST_F(titleTest, eachQuitKeyQuitsAndLaterOnesAreNotAsked) {
    press(KEY_ALT);
    press(KEY_LCONTROL);
    press(KEY_TAB);
    EXPECT_EQ(titleDecision(), 0);
    EXPECT_EQ(titleDecision(), 0);
    EXPECT_TRUE(keyStates[KEY_TAB]);
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
    key[KEY_ENTER] = 0;
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

class titleScreenTest : public titleTest {
  protected:
    void SetUp() override {
        titleTest::SetUp();
        writePicture("gfx/title.tga", 320, 200);
    }
    scratchFolder folder;
};

TEST_F(titleScreenTest, enterStartsARaceAndLeavesTheOtherTicksPending) {
    timerCounter = 5;
    press(KEY_ENTER);
    EXPECT_EQ(title(), 1);
    EXPECT_EQ(timerCounter, 4);
    EXPECT_EQ(countColor(global::dbuffer, 0), SCREEN_W * SCREEN_H);
    EXPECT_EQ(countColor(screen, 0), SCREEN_W * SCREEN_H);
}

TEST_F(titleScreenTest, aQuitKeyOrTheCloseButtonEndsTheGame) {
    timerCounter = 3;
    press(KEY_LCONTROL);
    EXPECT_EQ(title(), 0);
    EXPECT_EQ(timerCounter, 2);

    releaseAllKeys();
    global::exit = true;
    EXPECT_EQ(title(), 0);
    EXPECT_EQ(timerCounter, 1);
}

// Runs the title screen with some ticks pending and no key down; once it has drawn them all,
// a player looks at the screen and then presses ENTER.
struct titleLook {
    int decision = -1;
    int left = -1;
    bool showsBest = false;
    int background = -1;
};

titleLook lookAtTitle(int pending, const std::string& best) {
    titleLook look;
    timerCounter = pending;
    std::thread player([&] {
        while (timerCounter > 0)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        look.showsBest = showsCentredText(screen, 264, 175, best, colors::vdgray);
        look.background = getpixel(screen, 10, 10);
        press(KEY_ENTER);
        timerCounter += 3;
    });
    look.decision = title();
    player.join();
    look.left = timerCounter;
    return look;
}

TEST_F(titleScreenTest, theTitleShowsZerosWithoutAStoredBest) {
    const titleLook look = lookAtTitle(4, " 0: 0");
    EXPECT_EQ(look.decision, 1);
    EXPECT_EQ(look.left, 2);
    EXPECT_TRUE(look.showsBest);
    EXPECT_EQ(look.background, makecol(40, 90, 160));
}

TEST_F(titleScreenTest, theTitleShowsTheStoredBestOfAShortFile) {
    writeBytes("highscore.sav", std::string("\x18\0\0", 3));
    const titleLook look = lookAtTitle(1, "24: 0");
    EXPECT_EQ(look.decision, 1);
    EXPECT_TRUE(look.showsBest);
}

// ---- The best result ----

class highscoreTest : public testing::Test {
  protected:
    void expectStored(std::int32_t hours, std::int32_t minutes) {
        // Never read through a link: one to /dev/full would never end.
        const auto status = std::filesystem::symlink_status("highscore.sav");
        ASSERT_TRUE(std::filesystem::is_regular_file(status)) << "not a plain file";
        EXPECT_EQ(readBytes("highscore.sav"), littleEndian(hours, minutes));
    }
    void update(int hours, int minutes) {
        returnStruct result{hours, minutes};
        updateHighscore(&result);
    }
    static bool exists(const char* path) {
        struct stat info;
        return lstat(path, &info) == 0;
    }
    scratchFolder folder;
};

// Two little-endian ints; bytes that a short file does not hold read as zero, and no file at
// all as 0:00.
TEST_F(highscoreTest, theFileReadsAsTwoLittleEndianInts) {
    struct stored {
        bool present;
        std::string bytes;
        int hours;
        int minutes;
    };
    const stored files[] = {
        {false, "", 0, 0},
        {true, std::string("\x04\x03\x02\x01\xfe\xff\xff\xff", 8), 0x01020304, -2},
        {true, "", 0, 0},
        {true, std::string("\x0a\x01\x02", 3), 0x02010a, 0},
        {true, std::string("\x18\0\0\0\x05\x01", 6), 24, 0x0105}};
    for (const stored& file : files) {
        std::filesystem::remove("highscore.sav");
        if (file.present)
            writeBytes("highscore.sav", file.bytes);
        int hours = 77;
        int minutes = 77;
        readHighscore(hours, minutes);
        EXPECT_EQ(hours, file.hours) << file.present << " " << file.bytes.size();
        EXPECT_EQ(minutes, file.minutes) << file.present << " " << file.bytes.size();
    }
}

TEST_F(highscoreTest, aFileThatCannotBeReadReadsAsZero) {
    std::filesystem::create_directory("highscore.sav");
    int hours = 77;
    int minutes = 77;
    readHighscore(hours, minutes);
    EXPECT_EQ(hours, 0);
    EXPECT_EQ(minutes, 0);
}

TEST_F(highscoreTest, theFirstRaceCreatesTheFile) {
    update(2, 30);
    expectStored(2, 30);
}

TEST_F(highscoreTest, hoursDecideFirstAndMinutesBreakTies) {
    struct round {
        int hours;
        int minutes;
        bool saved;
    };
    const round rounds[] = {{7, 16, true}, {6, 59, false}, {8, 0, true}, {7, 14, false}};
    for (const round& r : rounds) {
        writeBytes("highscore.sav", littleEndian(7, 15));
        update(r.hours, r.minutes);
        if (r.saved)
            expectStored(r.hours, r.minutes);
        else
            expectStored(7, 15);
    }
}

TEST_F(highscoreTest, anEqualResultLeavesTheFileUntouched) {
    writeBytes("highscore.sav", littleEndian(7, 15));
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, "highscore.sav", old, 0), 0);
    struct stat before;
    ASSERT_EQ(stat("highscore.sav", &before), 0);
    update(7, 15);
    struct stat after;
    ASSERT_EQ(stat("highscore.sav", &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, 1000000000);
    expectStored(7, 15);
}

TEST_F(highscoreTest, negativeStoredValuesLoseToAnyResult) {
    writeBytes("highscore.sav", littleEndian(-1, 50));
    update(2, 30);
    expectStored(2, 30);
    writeBytes("highscore.sav", littleEndian(2, -7));
    update(2, 30);
    expectStored(2, 30);
}

TEST_F(highscoreTest, aLongerFileCountsItsFirst8BytesAndIsCutTo8) {
    writeBytes("highscore.sav", littleEndian(3, 10) + "tail");
    int hours = 0;
    int minutes = 0;
    readHighscore(hours, minutes);
    EXPECT_EQ(hours, 3);
    EXPECT_EQ(minutes, 10);
    update(3, 9);
    EXPECT_EQ(readBytes("highscore.sav").size(), 12u);
    update(5, 0);
    expectStored(5, 0);
}

TEST_F(highscoreTest, aSaveReplacesTheFileAndLeavesNoTemporary) {
    writeBytes("highscore.sav", littleEndian(7, 15));
    EXPECT_TRUE(saveHighscore(9, 1));
    expectStored(9, 1);
    EXPECT_FALSE(exists("highscore.sav.tmp"));
}

TEST_F(highscoreTest, aSaveThatFailsKeepsTheOldBest) {
    writeBytes("highscore.sav", littleEndian(7, 15));
    // The temporary file lands on a device that is always full: the write fails.
    std::filesystem::create_symlink("/dev/full", "highscore.sav.tmp");
    EXPECT_FALSE(saveHighscore(9, 1));
    expectStored(7, 15);
    EXPECT_FALSE(exists("highscore.sav.tmp"));

    std::filesystem::create_symlink("/dev/full", "highscore.sav.tmp");
    update(9, 1);
    expectStored(7, 15);
    std::filesystem::remove("highscore.sav.tmp");

    // A folder in the temporary file's place: it cannot even be opened.
    std::filesystem::create_directory("highscore.sav.tmp");
    EXPECT_FALSE(saveHighscore(9, 1));
    expectStored(7, 15);
}

TEST_F(highscoreTest, aBestThatIsAFolderIsLeftAlone) {
    std::filesystem::create_directory("highscore.sav");
    update(24, 0);
    EXPECT_FALSE(saveHighscore(24, 0));
    EXPECT_TRUE(std::filesystem::is_directory("highscore.sav"));
    EXPECT_TRUE(std::filesystem::is_empty("highscore.sav"));
    EXPECT_FALSE(exists("highscore.sav.tmp"));
}

} // namespace
