// The best result survives the game being killed at any moment while it saves one:
// "highscore.sav" then holds the best from before that save or the one being saved, never
// anything else, and the next save that completes leaves no temporary file behind.
#include "game.h"
#include "main.h"
#include "testsupport.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <new>
#include <random>
#include <set>
#include <string>

namespace {

const int minutes = 30;

std::string stored(std::int32_t hours) {
    std::string bytes;
    for (std::int32_t value : {hours, std::int32_t{minutes}})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i)));
    return bytes;
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

TEST(savingKilled, fileHoldsTheOldBestOrTheNewAndTheNextSaveLeavesNoTemporary) {
    scratchFolder folder;
    // The hours the child is saving right now, where the parent can read them after the kill.
    void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    std::atomic<int>* saving = new (shared) std::atomic<int>(0);

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
        const std::set<std::string> files = filesIn(".");
        if (files.count("highscore.sav.tmp"))
            ++killedMidSave;
        ASSERT_LE(files.size(), 2u);
        for (const std::string& name : files)
            ASSERT_TRUE(name == "highscore.sav" || name == "highscore.sav.tmp") << name;

        // The next save that completes replaces the file and clears what the kill left.
        best = isNew ? atKill : atKill - 1;
        offer(++best);
        ASSERT_EQ(readBytes("highscore.sav"), stored(best));
        ASSERT_EQ(filesIn("."), std::set<std::string>{"highscore.sav"}) << "round " << round;
    }
    // The kills must have landed inside saves, not only between them, for this to mean much.
    EXPECT_GT(killedMidSave, 0) << "of " << rounds << " kills";
    RecordProperty("killedMidSave", killedMidSave);
    munmap(shared, sizeof(std::atomic<int>));
}

} // namespace
