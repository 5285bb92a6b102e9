// A hundred races back to back with the game's real pictures and sounds, as a long evening of
// play runs them: every race loads its own files and those of each enemy kind it meets once,
// frees them all at its end, and leaves nothing behind for the next. Under the sanitizer build
// this is also the leak and memory-error check of the whole race.
#include "enemy.h"
#include "game_internal.h"
#include "globals.h"
#include "main.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Every shared file of every enemy kind, in the order of enemyKinds.
std::vector<const sharedFile*> kindFiles() {
    std::vector<const sharedFile*> files;
    for (const enemyKind& kind : enemyKinds)
        for (const sharedFile* file = kind.files; file != kind.files + kind.fileCount; ++file)
            files.push_back(file);
    return files;
}
const std::vector<const sharedFile*> sharedFiles = kindFiles();

// What each of them holds at one moment: its picture, or its sound while that is loaded.
std::vector<const void*> kindFilesNow() {
    std::vector<const void*> held;
    for (const sharedFile* file : sharedFiles)
        if (file->picture)
            held.push_back(*file->picture);
        else
            held.push_back(file->effect->isActive() ? file->effect : nullptr);
    return held;
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
        const std::vector<const void*> now = kindFilesNow();
        for (std::size_t i = 0; i < sharedFiles.size(); ++i)
            EXPECT_EQ(now[i], nullptr) << sharedFiles[i]->name << " after race " << raceNumber;
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
    std::vector<int> racesLoading(sharedFiles.size());
    for (int raceNumber = 1; raceNumber <= 100; ++raceNumber) {
        std::srand(1000u + static_cast<unsigned>(raceNumber));
        raceState race;
        loadRace(race);
        resetRace(race);
        for (const enemy* slot : race.enemies)
            ASSERT_EQ(slot, nullptr);
        std::vector<const void*> first = kindFilesNow();
        int ticks = 0;
        while (run) {
            playerInput(ticks);
            raceTick(race);
            if (ticks % 16 == 0)
                drawRace(race);
            ++ticks;
            ASSERT_LE(ticks, 41280) << "race " << raceNumber << " ran past midnight";
            // Once loaded, a kind's files stay the same until the race ends.
            const std::vector<const void*> now = kindFilesNow();
            for (std::size_t i = 0; i < sharedFiles.size(); ++i) {
                if (!first[i])
                    first[i] = now[i];
                ASSERT_EQ(now[i], first[i]) << sharedFiles[i]->name << " reloaded or freed in race "
                                            << raceNumber << " at tick " << ticks;
            }
        }
        releaseAllKeys();
        returnStruct* result = endRace(race);
        // Without pauses the race never reaches 24:00: the enemies end it first.
        EXPECT_EQ(race.damage, race.maxDamage) << "race " << raceNumber;
        EXPECT_EQ(result->hours * 60 + result->minutes, 150 + ticks / 32) << "race " << raceNumber;
        delete result;
        for (std::size_t i = 0; i < sharedFiles.size(); ++i)
            racesLoading[i] += first[i] != nullptr;
        expectNothingHeld(raceNumber);
    }
    // Every kind came in many races, so each was loaded and freed many times over.
    for (std::size_t i = 0; i < sharedFiles.size(); ++i)
        EXPECT_GE(racesLoading[i], 50) << sharedFiles[i]->name;
}

} // namespace
