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

// ---- Keyboard latches. The keyboard driver is off in the test frame, so the key array is ours.

class keyLatch : public testing::Test {
  protected:
    void SetUp() override { releaseAllKeys(); }
    void TearDown() override { releaseAllKeys(); }
    static void setEveryKey(int down) {
        for (int k = 0; k < keyStatesClass::keyCount; ++k)
            key[k] = down;
    }
    // Queries every key once; each must answer as expected.
    static void expectEveryKeyReports(keyStatesClass& states, int expected) {
        for (int k = 0; k < keyStatesClass::keyCount; ++k)
            ASSERT_EQ(states[k], expected) << "scancode " << k;
    }
};

// A held key is reported once; only a query that sees it up re-arms its latch, so a press and
// release between two queries, or a release and a new press, go unseen.
TEST_F(keyLatch, heldKeyIsReportedOnceAndRearmedOnlyByAQueryThatSeesItUp) {
    EXPECT_EQ(keyStates[KEY_ENTER], 0);
    press(KEY_ENTER);
    EXPECT_EQ(keyStates[KEY_ENTER], 1);
    for (int frame = 0; frame < 20; ++frame)
        ASSERT_EQ(keyStates.getKey(KEY_ENTER), 0) << "still held in frame " << frame;
    release(KEY_ENTER);
    press(KEY_ENTER);
    EXPECT_EQ(keyStates[KEY_ENTER], 0) << "released and pressed again between two queries";
    release(KEY_ENTER);
    EXPECT_EQ(keyStates[KEY_ENTER], 0) << "the query that sees the release reports nothing";
    press(KEY_ENTER);
    EXPECT_EQ(keyStates[KEY_ENTER], 1);

    press(KEY_LEFT);
    release(KEY_LEFT);
    EXPECT_EQ(keyStates[KEY_LEFT], 0) << "pressed and released between two queries";
}

// Latching one key must not latch another; re-arming one must not re-arm another.
TEST_F(keyLatch, aQueryOfOneKeyNeverTouchesAnother) {
    press(KEY_ALT);
    press(KEY_LCONTROL);
    ASSERT_EQ(keyStates[KEY_ALT], 1);
    EXPECT_EQ(keyStates[KEY_LCONTROL], 1);
    release(KEY_ALT);
    EXPECT_EQ(keyStates[KEY_ALT], 0);
    keyStates.setState(KEY_ALT, 0);
    EXPECT_EQ(keyStates[KEY_LCONTROL], 0);
}

// The lowest and the highest scancode are down, so an early stop or a short scan shows; with
// nothing down a scan latches nothing and re-arms everything.
TEST_F(keyLatch, anyKeyLatchesEveryFreshKeyInOneScan) {
    press(0);
    press(KEY_ENTER);
    press(keyStatesClass::keyCount - 1);
    EXPECT_TRUE(keyStates.anyKey());
    EXPECT_EQ(keyStates[0], 0);
    EXPECT_EQ(keyStates[KEY_ENTER], 0);
    EXPECT_EQ(keyStates[keyStatesClass::keyCount - 1], 0);
    EXPECT_FALSE(keyStates.anyKey()) << "held keys are already reported";

    setEveryKey(0);
    EXPECT_FALSE(keyStates.anyKey());
    setEveryKey(1);
    expectEveryKeyReports(keyStates, 1);
}

TEST_F(keyLatch, scancodesOutsideTheTableReportNothingAndChangeNoLatch) {
    // Scancodes the library has beyond the table, if any, are held down too.
    for (int k = 0; k < KEY_MAX; ++k)
        press(k);
    const int outside[] = {-1, -2, keyStatesClass::keyCount, 128, 1000, INT_MAX, INT_MIN};
    for (int k : outside) {
        EXPECT_EQ(keyStates[k], 0) << "scancode " << k;
        keyStates.setState(k, 1);
    }
    // Every latch is still armed; once all are set, forcing the outside ones to 0 re-arms none.
    expectEveryKeyReports(keyStates, 1);
    for (int k : outside)
        keyStates.setState(k, 0);
    expectEveryKeyReports(keyStates, 0);
}

// resetAll and setState(k, 0) report a held key once more; any other value holds the latch
// until the key is seen up.
TEST_F(keyLatch, resetAllAndSetStateSetTheLatchByHand) {
    press(KEY_ENTER);
    press(KEY_UP);
    ASSERT_EQ(keyStates[KEY_ENTER], 1);
    ASSERT_EQ(keyStates[KEY_UP], 1);
    keyStates.resetAll();
    EXPECT_EQ(keyStates[KEY_ENTER], 1);
    EXPECT_EQ(keyStates[KEY_UP], 1);
    keyStates.setState(KEY_UP, 0);
    EXPECT_EQ(keyStates[KEY_UP], 1);

    for (int value : {1, 5, -1}) {
        SCOPED_TRACE(value);
        releaseAllKeys();
        keyStates.setState(KEY_TAB, value);
        press(KEY_TAB);
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
    setEveryKey(1);
    expectEveryKeyReports(*fresh, 1);
    fresh->~keyStatesClass();
}

// ---- The sound wrapper, on the frame's real (silent) sound driver.

// A Standard MIDI File of one track: a note of the given length, then the end of the track.
std::string midiSong(char noteLength) {
    return std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + std::string("MTrk\0\0\0\x0c", 8) +
           std::string("\0\x90\x3c\x40", 4) + noteLength +
           std::string("\x80\x3c\x40\0\xff\x2f\0", 7);
}

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
        for (const char* name :
             {"explosion.wav", "engine.xwav", "beep.WAV", "beep.XWAV", "beep.wave"})
            writeSound(std::string("sfx/") + name);
        std::filesystem::create_directory("music");
        for (const char* name : {"song.mid", "song.midi", "song.MID", "song.MIDI"})
            writeBytes(std::string("music/") + name, midiSong('\x60'));
        writeBytes("music/short.mid", midiSong('\x01'));
    }
    void TearDown() override { stop_midi(); }
    scratchFolder folder;

    static bool midiPlaying() { return midi_pos >= 0; }
};

// Only the exact endings "wav", "mid" and "midi" load, each by its own kind; anything else,
// upper case included, empties the object without asking any loader.
TEST_F(soundTest, theEndingOfTheNameChoosesTheLoader) {
    writeBytes("sfx/broken.wav", "RIFF, but nothing after it");
    writeBytes("music/broken.mid", "not a song");
    const int xwavBefore = xwavLoads;
    const auto loads = [](const char* held, const char* path, int kind) {
        SCOPED_TRACE(std::string(held) + " then " + path);
        sound s;
        ASSERT_TRUE(s.load(held));
        EXPECT_EQ(s.load(path), kind != 0);
        EXPECT_EQ(s.isActive(), kind);
        // After a failure a reload works as on a new object.
        EXPECT_TRUE(s.load(held));
    };
    for (const char* held : {"sfx/explosion.wav", "music/song.mid"}) {
        loads(held, "sfx/explosion.wav", 1);
        loads(held, "sfx/engine.xwav", 1);
        loads(held, "music/song.mid", 2);
        loads(held, "music/song.midi", 2);
        for (const char* path :
             {"sfx/beep.WAV", "sfx/beep.XWAV", "music/song.MID", "music/song.MIDI", "sfx/beep.wave",
              "", "v", "av", "id", "idi", "sfx/missing.wav", "sfx/broken.wav", "music/missing.midi",
              "music/broken.mid"})
            loads(held, path, 0);
    }
    EXPECT_EQ(xwavLoads, xwavBefore + 2) << "no loader may be asked about an upper-case name";
}

TEST_F(soundTest, destroyTwiceThenLoadAgain) {
    for (const char* path : {"sfx/explosion.wav", "music/song.mid"}) {
        SCOPED_TRACE(path);
        sound s;
        ASSERT_TRUE(s.load(path));
        s.destroy();
        s.destroy();
        EXPECT_EQ(s.isActive(), 0);
        EXPECT_TRUE(s.load(path));
    }
}

// A song passes nothing but the loop flag on; stopping any song object stops the song that
// plays, while an empty or a sample object leaves it alone.
TEST_F(soundTest, songsPlayOnceOrLoopAndOnlySongObjectsStopThem) {
    sound song;
    ASSERT_TRUE(song.load("music/short.mid"));
    song.play(0, 255, 255, 5000);
    for (int waited = 0; waited < 3000 && midiPlaying(); waited += 10)
        rest(10);
    EXPECT_FALSE(midiPlaying()) << "a song played with loop flag 0 must end";

    song.play(1, 0, 0, 0);
    ASSERT_TRUE(midiPlaying());
    rest(200); // many times the song's length
    EXPECT_TRUE(midiPlaying()) << "a song played with loop flag 1 must start over";
    song.adjust(0, 0, 0, 0);

    sound empty;
    empty.play(1, 120, 127, 1000);
    empty.adjust(1, 120, 127, 1000);
    empty.stop();
    sound sample;
    ASSERT_TRUE(sample.load("sfx/explosion.wav"));
    sample.play(1, 120, 127, 1000);
    sample.adjust(1, 200, 100, 1500);
    sample.stop();
    EXPECT_TRUE(midiPlaying()) << "only a song object stops the song";

    sound other;
    ASSERT_TRUE(other.load("music/song.midi"));
    other.stop();
    EXPECT_FALSE(midiPlaying());
}

// ---- File helpers.

TEST(fileHelpers, existenceAndSize) {
    scratchFolder folder;
    for (const char* missing : {"highscore.sav", "nowhere/highscore.sav", ""}) {
        EXPECT_FALSE(fileExists(missing)) << missing;
        EXPECT_EQ(fileSize(missing), 0) << missing;
    }
    writeBytes("highscore.sav", std::string("\x12\0\0\0\x2a\0\0\0", 8));
    EXPECT_TRUE(fileExists(folder.path() + "/highscore.sav"));
    EXPECT_EQ(fileSize("highscore.sav"), 8);
    writeBytes("empty", "");
    EXPECT_TRUE(fileExists("empty"));
    EXPECT_EQ(fileSize("empty"), 0);
    writeBytes("big", std::string(70000, 'x'));
    EXPECT_EQ(fileSize("big"), 70000);
    // A file counts as there exactly when it opens for reading; the system decides that.
    std::filesystem::create_directory("folder");
    const int fd = open("folder", O_RDONLY);
    if (fd >= 0)
        close(fd);
    EXPECT_EQ(fileExists("folder"), fd >= 0);
}

TEST(fileHelpers, anUnreadableFileDoesNotExist) {
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root, which may read any file whatever its permissions";
    scratchFolder folder;
    writeBytes("locked", "12345678");
    ASSERT_EQ(chmod("locked", 0), 0);
    EXPECT_FALSE(fileExists("locked"));
    EXPECT_EQ(fileSize("locked"), 0);
}

} // namespace
