// The best result survives the game being killed at any moment while it saves one:
// "highscore.sav" then holds the best from before that save or the one being saved, never
// anything else, and the next save that completes leaves no temporary file behind. Two games
// saving at once in one folder keep the better of their results.
#include "game.h"
#include "main.h"
#include "testsupport.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <new>
#include <random>
#include <set>
#include <string>

namespace {

const int minutes = 30;

std::string stored(int hours) {
    return highscoreBytes(hours, minutes);
}

void offer(int hours) {
    returnStruct result{hours, minutes};
    updateHighscore(&result);
}

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

bool isTemporary(const std::string& name) {
    return name.rfind("highscore.sav.tmp", 0) == 0;
}

// What a folder holds between saves: the best and the lock that saves take turns with.
const std::set<std::string> settled{"highscore.sav", "highscore.sav.lock"};

// A counter that forked children share with the test.
std::atomic<int>* sharedCounter() {
    void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return shared == MAP_FAILED ? nullptr : new (shared) std::atomic<int>(0);
}

TEST(savingKilled, fileHoldsTheOldBestOrTheNewAndTheNextSaveLeavesNoTemporary) {
    scratchFolder folder;
    // The hours the child is saving right now, where the parent can read them after the kill.
    std::atomic<int>* saving = sharedCounter();
    ASSERT_NE(saving, nullptr);

    std::mt19937 random(20240611);
    int best = 3;
    offer(best);
    ASSERT_EQ(readBytes("highscore.sav"), stored(best));
    const int rounds = 200;
    int killedMidSave = 0;
    for (int round = 0; round < rounds; ++round) {
        saving->store(best);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Better and better results, saved as fast as the game can, until the kill.
            for (int hours = best + 1;; ++hours) {
                saving->store(hours);
                offer(hours);
            }
        }
        usleep(static_cast<useconds_t>(random() % 4000));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        const int atKill = saving->load();
        const std::string held = readBytes("highscore.sav");
        const bool isNew = held == stored(atKill);
        const bool isOld = atKill > best && held == stored(atKill - 1);
        ASSERT_TRUE(isNew || isOld) << "round " << round << ": killed while saving " << atKill
                                    << ", the file holds " << held.size() << " bytes";
        int temporaries = 0;
        for (const std::string& name : filesIn(".")) {
            ASSERT_TRUE(settled.count(name) || isTemporary(name)) << name;
            temporaries += isTemporary(name);
        }
        ASSERT_LE(temporaries, 1);
        killedMidSave += temporaries;

        // The next save that completes replaces the file and clears what the kill left.
        best = isNew ? atKill : atKill - 1;
        offer(++best);
        ASSERT_EQ(readBytes("highscore.sav"), stored(best));
        ASSERT_EQ(filesIn("."), settled) << "round " << round;
    }
    // The kills must have landed inside saves, not only between them, for this to mean much.
    EXPECT_GT(killedMidSave, 0) << "of " << rounds << " kills";
    RecordProperty("killedMidSave", killedMidSave);
    munmap(saving, sizeof(std::atomic<int>));
}

// Two races end at the same moment in one folder, each better than the stored best: whichever
// game saves last, the better of the two results stays, and no temporary file is left.
TEST(savingTogether, theBetterOfTwoResultsSavedAtOnceSurvives) {
    scratchFolder folder;
    std::atomic<int>* ready = sharedCounter();
    ASSERT_NE(ready, nullptr);
    int best = 3;
    offer(best);
    const int rounds = 100;
    for (int round = 0; round < rounds; ++round) {
        ready->store(0);
        pid_t games[2];
        for (int game = 0; game < 2; ++game) {
            // Which of the two games has the better result changes from round to round.
            const int hours = best + 1 + ((game + round) % 2);
            games[game] = fork();
            ASSERT_GE(games[game], 0);
            if (games[game] == 0) {
                ++*ready;
                while (ready->load() < 2) {
                }
                offer(hours);
                _exit(0);
            }
        }
        for (pid_t game : games) {
            int status = 0;
            ASSERT_EQ(waitpid(game, &status, 0), game);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        best += 2;
        ASSERT_EQ(readBytes("highscore.sav"), stored(best)) << "round " << round;
        ASSERT_EQ(filesIn("."), settled) << "round " << round;
    }
    munmap(ready, sizeof(std::atomic<int>));
}

} // namespace
