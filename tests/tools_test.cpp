// The small tools every screen leans on: one report per key press, the sound wrapper and the
// file helpers.
#include "testsupport.h"
#include "tools.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

namespace {

// ---------------------------------------------------------------------------------------------
// Keyboard latches. The keyboard driver is off in the test frame, so the key array is ours.

class keyLatch : public testing::Test {
  protected:
    void SetUp() override { releaseAllKeys(); }
    void TearDown() override { releaseAllKeys(); }
    static void press(int scancode) { key[scancode] = 1; }
    static void release(int scancode) { key[scancode] = 0; }
    static void pressEveryKey() {
        for (int k = 0; k < keyStatesClass::keyCount; ++k)
            press(k);
    }
    static void releaseEveryKey() {
        for (int k = 0; k < keyStatesClass::keyCount; ++k)
            release(k);
    }
    // Queries every key once; each must answer as expected.
    static void expectEveryKeyReports(keyStatesClass& states, int expected) {
        for (int k = 0; k < keyStatesClass::keyCount; ++k)
            ASSERT_EQ(states[k], expected) << "scancode " << k;
    }
};

TEST_F(keyLatch, heldKeyIsReportedOnceAndRearmedOnlyByAQueryThatSeesItUp) {
    EXPECT_EQ(keyStates[KEY_ENTER], 0) << "armed and up";
    press(KEY_ENTER);
    EXPECT_EQ(keyStates[KEY_ENTER], 1) << "first query of the press";
    EXPECT_EQ(keyStates[KEY_ENTER], 0) << "second query in the same frame";
    for (int frame = 0; frame < 20; ++frame)
        ASSERT_EQ(keyStates.getKey(KEY_ENTER), 0) << "still held in frame " << frame;
    release(KEY_ENTER);
    EXPECT_EQ(keyStates[KEY_ENTER], 0) << "the query that sees the release reports nothing";
    EXPECT_EQ(keyStates[KEY_ENTER], 0);
    press(KEY_ENTER);
    EXPECT_EQ(keyStates.getKey(KEY_ENTER), 1) << "the next press is reported again";
    EXPECT_EQ(keyStates[KEY_ENTER], 0);
}

TEST_F(keyLatch, onlyWhatAQuerySeesCounts) {
    // A press and its release between two queries are never reported.
    EXPECT_EQ(keyStates[KEY_LEFT], 0);
    press(KEY_LEFT);
    release(KEY_LEFT);
    EXPECT_EQ(keyStates[KEY_LEFT], 0);

    // A release and a new press between two queries are not reported again: the latch holds.
    press(KEY_RIGHT);
    ASSERT_EQ(keyStates[KEY_RIGHT], 1);
    release(KEY_RIGHT);
    press(KEY_RIGHT);
    EXPECT_EQ(keyStates[KEY_RIGHT], 0);
    release(KEY_RIGHT);
    EXPECT_EQ(keyStates[KEY_RIGHT], 0);
    press(KEY_RIGHT);
    EXPECT_EQ(keyStates[KEY_RIGHT], 1);
}

TEST_F(keyLatch, aQueryOfOneKeyNeverTouchesAnother) {
    press(KEY_ALT);
    press(KEY_LCONTROL);
    ASSERT_EQ(keyStates[KEY_ALT], 1);
    EXPECT_EQ(keyStates[KEY_LCONTROL], 1) << "latching one key must not latch another";

    // The released key's query and setState re-arm only that key.
    release(KEY_ALT);
    EXPECT_EQ(keyStates[KEY_ALT], 0);
    keyStates.setState(KEY_ALT, 0);
    EXPECT_EQ(keyStates[KEY_LCONTROL], 0);
}

TEST_F(keyLatch, anyKeyLatchesEveryFreshKeyInOneScan) {
    // The lowest and the highest scancode, so an early stop or a short scan shows.
    press(0);
    press(KEY_ENTER);
    press(keyStatesClass::keyCount - 1);
    EXPECT_TRUE(keyStates.anyKey());
    EXPECT_EQ(keyStates[0], 0);
    EXPECT_EQ(keyStates[KEY_ENTER], 0);
    EXPECT_EQ(keyStates[keyStatesClass::keyCount - 1], 0);
    EXPECT_FALSE(keyStates.anyKey()) << "held keys are already reported";
}

TEST_F(keyLatch, anyKeyWithNothingDownLatchesNothingAndRearmsEverything) {
    EXPECT_FALSE(keyStates.anyKey());
    pressEveryKey();
    expectEveryKeyReports(keyStates, 1);

    releaseEveryKey();
    EXPECT_FALSE(keyStates.anyKey());
    pressEveryKey();
    expectEveryKeyReports(keyStates, 1);
}

TEST_F(keyLatch, scancodesOutsideTheTableReportNothingAndChangeNoLatch) {
    // Scancodes the library has beyond the table, if any, are held down too.
    for (int k = keyStatesClass::keyCount; k < KEY_MAX; ++k)
        press(k);
    pressEveryKey();
    const int outside[] = {-1, -2, keyStatesClass::keyCount, 128, 1000, INT_MAX, INT_MIN};
    for (int k : outside) {
        EXPECT_EQ(keyStates[k], 0) << "scancode " << k;
        EXPECT_EQ(keyStates.getKey(k), 0) << "scancode " << k;
        keyStates.setState(k, 1);
    }
    // Every latch is still armed; once all are set, forcing the outside ones to 0 re-arms none.
    expectEveryKeyReports(keyStates, 1);
    for (int k : outside)
        keyStates.setState(k, 0);
    expectEveryKeyReports(keyStates, 0);
}

TEST_F(keyLatch, resetAllAndSetStateZeroReportAHeldKeyOnceMore) {
    press(KEY_ENTER);
    press(KEY_UP);
    ASSERT_EQ(keyStates[KEY_ENTER], 1);
    ASSERT_EQ(keyStates[KEY_UP], 1);
    keyStates.resetAll();
    EXPECT_EQ(keyStates[KEY_ENTER], 1);
    EXPECT_EQ(keyStates[KEY_UP], 1);
    EXPECT_EQ(keyStates[KEY_ENTER], 0);

    keyStates.setState(KEY_UP, 0);
    EXPECT_EQ(keyStates[KEY_UP], 1);
    EXPECT_EQ(keyStates[KEY_UP], 0);
}

TEST_F(keyLatch, setStateNonZeroSuppressesUntilReleased) {
    for (int value : {1, 5, -1}) {
        SCOPED_TRACE(value);
        releaseAllKeys();
        keyStates.setState(KEY_TAB, value);
        press(KEY_TAB);
        EXPECT_EQ(keyStates[KEY_TAB], 0);
        EXPECT_EQ(keyStates[KEY_TAB], 0);
        release(KEY_TAB);
        EXPECT_EQ(keyStates[KEY_TAB], 0);
        press(KEY_TAB);
        EXPECT_EQ(keyStates[KEY_TAB], 1);
    }
}

TEST_F(keyLatch, aNewObjectStartsWithEveryLatchArmed) {
    // Built over garbage, so a latch the constructor misses shows up.
    alignas(keyStatesClass) unsigned char storage[sizeof(keyStatesClass)];
    std::memset(storage, 0xA5, sizeof storage);
    keyStatesClass* fresh = new (storage) keyStatesClass;
    pressEveryKey();
    expectEveryKeyReports(*fresh, 1);
    fresh->~keyStatesClass();
}

// ---------------------------------------------------------------------------------------------
// The sound wrapper, on the frame's real (silent) sound driver.

// A Standard MIDI File of one track: a note one beat long, then the end of the track.
const std::string midiSong = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) +
                             std::string("MTrk\0\0\0\x0c", 8) +
                             std::string("\0\x90\x3c\x40\x60\x80\x3c\x40\0\xff\x2f\0", 12);

// A MIDI song so short that a single play is over in a few milliseconds.
const std::string shortMidiSong = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) +
                                  std::string("MTrk\0\0\0\x0c", 8) +
                                  std::string("\0\x90\x3c\x40\x01\x80\x3c\x40\0\xff\x2f\0", 12);

// The library picks its sample loader by the name's extension. This one is registered for the
// made-up extension "xwav", so that a name ending in wav without a dot right before it can still
// load, and so that it counts every call the library makes to it.
int xwavLoads = 0;
SAMPLE* loadXwav(const char* file) {
    ++xwavLoads;
    return load_wav(file);
}

class soundTest : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        register_sample_file_type("xwav", loadXwav, nullptr);
        writeSound("sfx/explosion.wav");
        writeSound("sfx/engine.xwav");
        std::filesystem::create_directory("music");
        writeBytes("music/song.mid", midiSong);
        writeBytes("music/song.midi", midiSong);
        writeBytes("music/short.mid", shortMidiSong);
    }
    void TearDown() override { stop_midi(); }
    scratchFolder folder;

    static bool midiPlaying() { return midi_pos >= 0; }
    // Waits, within a generous bound, for the library's player to reach the end of a song.
    static bool midiEndsSoon() {
        for (int waited = 0; waited < 3000 && midiPlaying(); waited += 10)
            rest(10);
        return !midiPlaying();
    }
};

TEST_F(soundTest, theEndingOfTheNameChoosesTheLoader) {
    const struct {
        const char* path;
        int kind;
    } cases[] = {
        {"sfx/explosion.wav", 1},
        {"sfx/engine.xwav", 1}, // wav with no dot right before it
        {"music/song.mid", 2},
        {"music/song.midi", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        sound s;
        EXPECT_TRUE(s.load(c.path));
        EXPECT_EQ(s.isActive(), c.kind);
    }
}

TEST_F(soundTest, upperCaseEndingsLoadNothingAndEmptyTheObject) {
    writeSound("sfx/beep.WAV");
    writeSound("sfx/beep.XWAV");
    writeBytes("music/song.MID", midiSong);
    writeBytes("music/song.MIDI", midiSong);
    // The library itself would take these: its own extension check ignores case.
    SAMPLE* direct = load_sample("sfx/beep.WAV");
    ASSERT_NE(direct, nullptr);
    destroy_sample(direct);
    const int loadsBefore = xwavLoads;

    for (const char* path :
         {"sfx/beep.WAV", "sfx/beep.XWAV", "music/song.MID", "music/song.MIDI"}) {
        SCOPED_TRACE(path);
        sound s;
        ASSERT_TRUE(s.load("sfx/explosion.wav"));
        EXPECT_FALSE(s.load(path));
        EXPECT_EQ(s.isActive(), 0);
    }
    EXPECT_EQ(xwavLoads, loadsBefore) << "no sample loader may be asked about an upper-case name";
}

TEST_F(soundTest, otherAndTooShortNamesLoadNothing) {
    writeSound("sfx/beep.wave");
    for (const char* path : {"sfx/beep.wave", "", "v", "av", "id", "idi", "sfx/notes.txt"}) {
        SCOPED_TRACE(path);
        sound s;
        ASSERT_TRUE(s.load("music/song.mid"));
        EXPECT_FALSE(s.load(path));
        EXPECT_EQ(s.isActive(), 0);
    }
}

TEST_F(soundTest, aFailedLoadLeavesTheObjectEmpty) {
    writeBytes("sfx/broken.wav", "RIFF, but nothing after it");
    writeBytes("music/broken.mid", "not a song");
    for (const char* held : {"sfx/explosion.wav", "music/song.mid"}) {
        for (const char* path :
             {"sfx/missing.wav", "sfx/broken.wav", "music/missing.midi", "music/broken.mid"}) {
            SCOPED_TRACE(std::string(held) + " then " + path);
            sound s;
            ASSERT_TRUE(s.load(held));
            EXPECT_FALSE(s.load(path));
            EXPECT_EQ(s.isActive(), 0);
            // A reload after the failure works as on a new object.
            EXPECT_TRUE(s.load(held));
        }
    }
}

TEST_F(soundTest, destroyTwiceThenLoadAgain) {
    for (const char* path : {"sfx/explosion.wav", "music/song.mid"}) {
        SCOPED_TRACE(path);
        sound s;
        ASSERT_TRUE(s.load(path));
        s.destroy();
        EXPECT_EQ(s.isActive(), 0);
        s.destroy();
        EXPECT_EQ(s.isActive(), 0);
        EXPECT_TRUE(s.load(path));
        EXPECT_NE(s.isActive(), 0);
    }
    sound empty;
    empty.destroy();
    EXPECT_EQ(empty.isActive(), 0);
}

TEST_F(soundTest, midiPlaysOnceOrLoopsByTheFirstArgument) {
    sound song;
    ASSERT_TRUE(song.load("music/short.mid"));
    // A loud, panned, high play still passes nothing but the loop flag to the song.
    song.play(0, 255, 255, 5000);
    EXPECT_TRUE(midiEndsSoon()) << "a song played with loop flag 0 must end";

    song.play(1, 0, 0, 0);
    ASSERT_TRUE(midiPlaying());
    rest(200); // many times the song's length
    EXPECT_TRUE(midiPlaying()) << "a song played with loop flag 1 must start over";
    song.adjust(0, 0, 0, 0);
    EXPECT_TRUE(midiPlaying()) << "a song cannot be adjusted";
    song.stop();
    EXPECT_FALSE(midiPlaying());
    EXPECT_EQ(song.isActive(), 2);
}

TEST_F(soundTest, stopOnAnyMidiObjectStopsTheSongThatPlays) {
    sound first;
    sound second;
    ASSERT_TRUE(first.load("music/song.mid"));
    ASSERT_TRUE(second.load("music/song.midi"));
    first.play(1, 0, 0, 0);
    ASSERT_TRUE(midiPlaying());
    second.stop();
    EXPECT_FALSE(midiPlaying());
}

TEST_F(soundTest, emptyAndSampleObjectsPlayAdjustAndStopAndLeaveTheSongAlone) {
    sound song;
    ASSERT_TRUE(song.load("music/song.mid"));
    song.play(1, 0, 0, 0);
    ASSERT_TRUE(midiPlaying());

    sound empty;
    empty.play(1, 120, 127, 1000);
    empty.adjust(1, 120, 127, 1000);
    empty.stop();
    EXPECT_EQ(empty.isActive(), 0);
    EXPECT_TRUE(midiPlaying()) << "an empty object has nothing to stop";

    sound sample;
    ASSERT_TRUE(sample.load("sfx/explosion.wav"));
    sample.play(1, 120, 127, 1000);
    sample.adjust(1, 200, 100, 1500);
    sample.stop();
    sample.play(0, 200, 127, 1000);
    sample.adjust(0, 0, 0, 1000);
    sample.stop();
    EXPECT_EQ(sample.isActive(), 1);
    EXPECT_TRUE(midiPlaying()) << "stopping a sample is not stopping the song";
}

// ---------------------------------------------------------------------------------------------
// File helpers.

class fileHelpers : public testing::Test {
  protected:
    scratchFolder folder;
};

TEST_F(fileHelpers, missingFilesAndTheEmptyNameDoNotExist) {
    EXPECT_FALSE(fileExists("highscore.sav"));
    EXPECT_EQ(fileSize("highscore.sav"), 0);
    EXPECT_FALSE(fileExists("nowhere/highscore.sav"));
    EXPECT_FALSE(fileExists(""));
    EXPECT_EQ(fileSize(""), 0);
    writeBytes("highscore.sav", std::string("\x12\0\0\0\x2a\0\0\0", 8));
    EXPECT_TRUE(fileExists("highscore.sav"));
    EXPECT_EQ(fileSize("highscore.sav"), 8);
    EXPECT_TRUE(fileExists(folder.path() + "/highscore.sav")) << "absolute names work too";
}

TEST_F(fileHelpers, sizesOfEmptyAndLargerFiles) {
    writeBytes("empty", "");
    EXPECT_TRUE(fileExists("empty"));
    EXPECT_EQ(fileSize("empty"), 0);
    writeBytes("big", std::string(70000, 'x'));
    EXPECT_EQ(fileSize("big"), 70000);
}

TEST_F(fileHelpers, anUnreadableFileDoesNotExist) {
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root, which may read any file whatever its permissions";
    writeBytes("locked", "12345678");
    ASSERT_EQ(chmod("locked", 0), 0);
    EXPECT_FALSE(fileExists("locked"));
    EXPECT_EQ(fileSize("locked"), 0);
}

TEST_F(fileHelpers, aDirectoryCountsAsItOpensForReading) {
    std::filesystem::create_directory("highscore.sav");
    // A file counts as there exactly when it opens for reading; the system decides that.
    const int fd = open("highscore.sav", O_RDONLY);
    const bool opens = fd >= 0;
    if (opens)
        close(fd);
    EXPECT_EQ(fileExists("highscore.sav"), opens);
}

} // namespace
