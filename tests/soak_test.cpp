// A hundred races back to back with the game's real pictures and sounds, as a long evening of
// play runs them: every race loads its own files and those of each enemy kind it meets once,
// frees them all at its end, and leaves nothing behind for the next. Under the sanitizer build
// this is also the leak and memory-error check of the whole race.
#include "car.h"
#include "game_internal.h"
#include "globals.h"
#include "main.h"
#include "mine.h"
#include "robot.h"
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const int sharedPictures = 6;
const char* const pictureNames[sharedPictures] = {"stone",         "enemycar", "mine",
                                                  "mineexplosion", "robot",    "robotbullet"};

// What the enemy kinds hold in their shared globals at one moment.
struct kindFiles {
    BITMAP* pictures[sharedPictures];
    bool mineSound;
    bool robotSound;
};

kindFiles kindFilesNow() {
    return {{gfx, cargfx, minegfx, mineExplosion, robotgfx, robotbullet},
            mineExplosionSfx.isActive() != 0,
            robotshoot.isActive() != 0};
}

class soakTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseAllKeys();
        releaseEnemyFiles();
        const fs::path source = GRAVELMOTH_SOURCE_DIR;
        fs::create_directory_symlink(source / "gfx", "gfx");
        fs::create_directory_symlink(source / "sfx", "sfx");
    }
    void TearDown() override {
        releaseAllKeys();
        timerCounter = 0;
    }

    static void expectNothingHeld(int raceNumber) {
        const kindFiles now = kindFilesNow();
        for (int i = 0; i < sharedPictures; ++i)
            EXPECT_EQ(now.pictures[i], nullptr) << pictureNames[i] << " after race " << raceNumber;
        EXPECT_FALSE(now.mineSound) << "after race " << raceNumber;
        EXPECT_FALSE(now.robotSound) << "after race " << raceNumber;
    }

    scratchFolder folder;
};

// The player steers, changes speed and fires now and then, so shots meet mines and cars.
void playerInput(int tick) {
    key[KEY_LCONTROL] = tick % 97 < 2;
    key[KEY_ALT] = tick % 131 < 2;
    key[KEY_RIGHT] = tick % 300 == 5;
    key[KEY_LEFT] = tick % 300 == 150;
    key[KEY_UP] = tick / 64 % 4 == 1;
    key[KEY_DOWN] = tick / 64 % 4 == 3;
}

TEST_F(soakTest, hundredRacesLoadEachKindsFilesOnceARaceAndLeaveNothing) {
    int racesLoading[sharedPictures] = {};
    for (int raceNumber = 1; raceNumber <= 100; ++raceNumber) {
        std::srand(1000u + static_cast<unsigned>(raceNumber));
        raceState race;
        loadRace(race);
        resetRace(race);
        for (const enemy* slot : race.enemies)
            ASSERT_EQ(slot, nullptr);
        kindFiles first = kindFilesNow();
        int ticks = 0;
        while (run) {
            playerInput(ticks);
            raceTick(race);
            if (ticks % 16 == 0)
                drawRace(race);
            ++ticks;
            ASSERT_LE(ticks, 41280) << "race " << raceNumber << " ran past midnight";
            // Once loaded, a kind's files stay the same until the race ends.
            const kindFiles now = kindFilesNow();
            for (int i = 0; i < sharedPictures; ++i) {
                if (!first.pictures[i])
                    first.pictures[i] = now.pictures[i];
                ASSERT_EQ(now.pictures[i], first.pictures[i])
                    << pictureNames[i] << " reloaded or freed in race " << raceNumber << " at tick "
                    << ticks;
            }
            ASSERT_TRUE(now.mineSound || !first.mineSound) << "race " << raceNumber;
            ASSERT_TRUE(now.robotSound || !first.robotSound) << "race " << raceNumber;
            first.mineSound = now.mineSound;
            first.robotSound = now.robotSound;
        }
        releaseAllKeys();
        returnStruct* result = endRace(race);
        // Without pauses the race never reaches 24:00: the enemies end it first.
        EXPECT_EQ(race.damage, race.maxDamage) << "race " << raceNumber;
        EXPECT_EQ(result->hours * 60 + result->minutes, 150 + ticks / 32) << "race " << raceNumber;
        delete result;
        for (int i = 0; i < sharedPictures; ++i)
            racesLoading[i] += first.pictures[i] != nullptr;
        expectNothingHeld(raceNumber);
    }
    // Every kind came in many races, so each was loaded and freed many times over.
    for (int i = 0; i < sharedPictures; ++i)
        EXPECT_GE(racesLoading[i], 50) << pictureNames[i];
}

} // namespace
