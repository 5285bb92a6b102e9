// The best result kept in "highscore.sav": its layout, when a result replaces it, and what the
// save does in a folder that is odd or hostile (links, a FIFO, private, unreadable or locked
// files, a folder the player may not write to, a shared folder with the sticky bit, a write
// that fails, a disk slow to sync).
#include "game.h"
#include "main.h"
#include "main_internal.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

// Stand-ins for the C library's fsync and fchown, which the game's save calls: a test may make
// the next sync slow, and learns the mode a new best's file had when the save first gave it an
// owner, right after making it.
static int nextSyncSeconds = 0;
static mode_t modeWhenOwned = 0;

extern "C" int fsync(int fd) {
    if (nextSyncSeconds > 0)
        sleep(static_cast<unsigned>(nextSyncSeconds));
    nextSyncSeconds = 0;
    return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int fchown(int fd, uid_t owner, gid_t group) {
    struct stat info;
    if (modeWhenOwned == 0 && fstat(fd, &info) == 0)
        modeWhenOwned = info.st_mode & 07777;
    return static_cast<int>(syscall(SYS_fchown, fd, owner, group));
}

namespace {

const char* const file = "highscore.sav";

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
    // The names in the folder besides the best and the lock, such as temporary files.
    std::string leftOver() {
        std::string names;
        for (const auto& entry : std::filesystem::directory_iterator("."))
            if (entry.path().filename() != file && entry.path().filename() != "highscore.sav.lock")
                names += entry.path().filename().string() + " ";
        return names;
    }
    scratchFolder folder;
};

mode_t modeOf(const char* path) {
    struct stat info;
    return lstat(path, &info) == 0 ? info.st_mode & 07777 : 0;
}

ino_t inodeOf(const char* path) {
    struct stat info;
    return lstat(path, &info) == 0 ? info.st_ino : 0;
}

// An unprivileged user; root would read and write anything.
const uid_t player = 65534;

// Runs the steps in a child process and gives their result, or -1 when the child did not end
// within 10 seconds (it is then killed): a save that blocks fails instead of hanging the tests.
// With asPlayer, a child of root first becomes the unprivileged player, who owns the folder.
int inChild(const std::function<int()>& steps, bool asPlayer = false) {
    if (asPlayer && geteuid() == 0 && chown(".", player, player) != 0)
        return -2;
    const pid_t child = fork();
    if (child == 0) {
        if (asPlayer && geteuid() == 0 && (setgid(player) != 0 || setuid(player) != 0))
            _exit(99);
        _exit(steps());
    }
    int status = 0;
    for (int tenth = 0; tenth < 100; ++tenth) {
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
        usleep(100000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
}

// Sets the file's mode and hands it to the player.
void givePlayer(const char* path, mode_t mode) {
    ASSERT_EQ(chmod(path, mode), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path, player, player), 0);
    }
}

// No file at all reads as 0:00, the best before a first race. What any file reads as is the fuzz
// target's (tests/fuzz/highscore_fuzz.cpp), whose corpus is replayed with the tests.
TEST_F(highscoreTest, noFileReadsAsNoBest) {
    int hours = 77;
    int minutes = 77;
    readHighscore(hours, minutes);
    EXPECT_EQ(hours, 0);
    EXPECT_EQ(minutes, 0);
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
    EXPECT_EQ(leftOver(), "");
}

// The write fails, as on a full disk: here the file size limit stops it after 4 bytes.
TEST_F(highscoreTest, aSaveThatFailsKeepsTheOldBestAndLeavesNoTemporary) {
    writeBytes(file, highscoreBytes(7, 15));
    EXPECT_EQ(inChild([] {
                  signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{4, 4};
                  setrlimit(RLIMIT_FSIZE, &limit);
                  return saveHighscore(9, 1) ? 1 : 0;
              }),
              0);
    expectStored(7, 15);
    EXPECT_EQ(leftOver(), "");
}

// Someone plants a link where the old game put its temporary file: the save must not write
// through it, and the best must become a plain file.
TEST_F(highscoreTest, aLinkPlantedAsTheTemporaryFileIsNeverWrittenThrough) {
    writeBytes("victim", "another player's file");
    writeBytes(file, highscoreBytes(3, 0));
    std::filesystem::create_symlink("victim", "highscore.sav.tmp");
    update(5, 0);
    expectStored(5, 0);
    EXPECT_EQ(readBytes("victim"), "another player's file");
}

// A FIFO would block a plain open for good, before the title ever shows.
TEST_F(highscoreTest, aFifoReadsAsNoBestAndIsNeverWrittenOver) {
    ASSERT_EQ(mkfifo(file, 0666), 0);
    EXPECT_EQ(inChild([] {
                  int hours = 7;
                  int minutes = 7;
                  readHighscore(hours, minutes);
                  returnStruct result{5, 0};
                  updateHighscore(&result);
                  return hours == 0 && minutes == 0 ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(std::filesystem::is_fifo(file));
    EXPECT_EQ(leftOver(), "");
}

// A link in the best's place is replaced by a plain file; what it points at is never written,
// not even where the folder is read-only and the save would write in place.
TEST_F(highscoreTest, aLinkedBestIsReplacedByAPlainFileAndItsTargetKept) {
    writeBytes("target", highscoreBytes(3, 0));
    std::filesystem::create_symlink("target", file);
    update(5, 0);
    expectStored(5, 0);
    EXPECT_EQ(readBytes("target"), highscoreBytes(3, 0));

    std::filesystem::remove(file);
    givePlayer("target", 0644);
    std::filesystem::create_symlink("target", file);
    ASSERT_EQ(chmod(".", 0555), 0);
    EXPECT_EQ(inChild(
                  [this] {
                      update(6, 0);
                      return 0;
                  },
                  true),
              0);
    EXPECT_EQ(readBytes("target"), highscoreBytes(3, 0));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
}

// A private best stays private, a shared one shared; the new file is private from the moment
// it is made until it takes the old one's bits, so no one reads a private best meanwhile.
TEST_F(highscoreTest, theBestKeepsItsPermissionBits) {
    const mode_t mask = umask(022);
    for (mode_t mode : {0600, 0640, 0664}) {
        writeBytes(file, highscoreBytes(3, 0));
        ASSERT_EQ(chmod(file, mode), 0);
        const ino_t before = inodeOf(file);
        modeWhenOwned = 0;
        update(4, static_cast<int>(mode % 60));
        expectStored(4, static_cast<int>(mode % 60));
        EXPECT_NE(inodeOf(file), before) << "replaced as a whole";
        EXPECT_EQ(modeOf(file), mode);
        EXPECT_EQ(modeWhenOwned, 0600u) << "the new file as it was made, for a best of " << mode;
        ASSERT_EQ(unlink(file), 0);
    }
    umask(mask);
}

// Game B holds the lock while its disk takes 5 s to sync a worse result; game A, 2:40, gives
// up on the lock after 3 s and saves. B's rename must not then put 2:32 over it.
TEST_F(highscoreTest, aSlowSaveNeverReplacesABetterBestSavedMeanwhile) {
    writeBytes(file, highscoreBytes(2, 0));
    const pid_t slow = fork();
    ASSERT_GE(slow, 0);
    if (slow == 0) {
        nextSyncSeconds = 5;
        update(2, 32);
        _exit(0);
    }
    // B is inside its save, the lock held, once its temporary file is there.
    for (int tenth = 0; tenth < 50 && leftOver().empty(); ++tenth)
        usleep(100000);
    EXPECT_NE(leftOver(), "");
    update(2, 40);
    int status = 0;
    ASSERT_EQ(waitpid(slow, &status, 0), slow);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    expectStored(2, 40);
    EXPECT_EQ(leftOver(), "");
}

// A folder shared by a group, with the sticky bit: a player may replace only their own files
// there, but may write the group's best. Their better result is written in place.
TEST_F(highscoreTest, aGroupsBestInAStickyFolderIsRewrittenInPlace) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two players";
    writeBytes(file, highscoreBytes(3, 0));
    ASSERT_EQ(chown(file, 0, player), 0);
    ASSERT_EQ(chmod(file, 0664), 0);
    ASSERT_EQ(chown(".", 0, player), 0);
    ASSERT_EQ(chmod(".", 03775), 0);
    const ino_t before = inodeOf(file);
    EXPECT_EQ(inChild([this] {
                  if (setgid(player) != 0 || setuid(player) != 0)
                      return 99;
                  umask(002);
                  update(5, 10);
                  return 0;
              }),
              0);
    expectStored(5, 10);
    EXPECT_EQ(inodeOf(file), before);
    EXPECT_EQ(modeOf(file), 0664u);
    EXPECT_EQ(leftOver(), "");
}

// Only the game's own temporary files, left by a save cut short, are cleared: files and
// folders whose names merely begin the same way stay.
TEST_F(highscoreTest, onlyTheGamesOwnTemporariesAreCleared) {
    const std::set<std::string> others{"highscore.sav.tmpl", "highscore.sav.tmp-backup",
                                       "highscore.sav.tmp", "highscore.sav.tmp.12.x",
                                       "highscore.sav.tmp.12.34.old"};
    for (const std::string& name : others)
        writeBytes(name, "keep");
    std::filesystem::create_directory("highscore.sav.tmp.1.2");
    writeBytes("highscore.sav.tmp.4242.123456789", "cut short");
    update(5, 0);
    expectStored(5, 0);
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        left.insert(entry.path().filename().string());
    for (const std::string& name : others)
        EXPECT_TRUE(left.count(name)) << name;
    EXPECT_TRUE(left.count("highscore.sav.tmp.1.2")) << "a folder";
    EXPECT_FALSE(left.count("highscore.sav.tmp.4242.123456789"));
}

// A best the player cannot read is not taken for 0:00 and overwritten by a worse result; one
// without write permission bits stays, even for root, who could write it anyway.
TEST_F(highscoreTest, anUnreadableOrReadOnlyBestIsNeverReplaced) {
    writeBytes(file, highscoreBytes(5, 0));
    givePlayer(file, 0200);
    EXPECT_EQ(inChild(
                  [this] {
                      update(3, 0);
                      return 0;
                  },
                  true),
              0);
    EXPECT_EQ(readBytes(file), highscoreBytes(5, 0));

    writeBytes(file, highscoreBytes(3, 0));
    givePlayer(file, 0444);
    update(5, 0);
    EXPECT_FALSE(saveHighscore(6, 0));
    EXPECT_EQ(readBytes(file), highscoreBytes(3, 0));
    EXPECT_EQ(modeOf(file), 0444u);
    EXPECT_EQ(leftOver(), "");
}

// No temporary file can be made in a read-only folder, but the player may still write the
// best itself: it is rewritten where it is, and a longer file is cut to 8 bytes.
TEST_F(highscoreTest, aWritableBestInAReadOnlyFolderIsRewrittenInPlace) {
    writeBytes(file, highscoreBytes(3, 0) + "tail");
    givePlayer(file, 0644);
    const ino_t before = inodeOf(file);
    ASSERT_EQ(chmod(".", 0555), 0);
    EXPECT_EQ(inChild(
                  [this] {
                      update(5, 10);
                      return 0;
                  },
                  true),
              0);
    expectStored(5, 10);
    EXPECT_EQ(inodeOf(file), before);
    EXPECT_EQ(modeOf(file), 0644u);
}

} // namespace
