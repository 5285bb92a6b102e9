// The small tools every screen leans on: one report per key press, the sound wrapper, the file
// helpers and the reader of the game's pictures.
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

// ---- The game's picture reader, which load_bitmap calls for ".tga" files.

namespace fs = std::filesystem;

const fs::path sourceDir = GRAVELMOTH_SOURCE_DIR;

struct rgba {
    int r, g, b, a;
};

// A small picture with the mask colour in it, as a player sees it, top row first.
const int knownW = 3;
const int knownH = 2;
const rgba knownPixels[knownH][knownW] = {
    {{255, 0, 0, 255}, {255, 0, 255, 0}, {10, 20, 30, 128}},
    {{200, 100, 50, 1}, {0, 255, 0, 255}, {0, 0, 255, 77}},
};

// The known picture as an uncompressed true-colour file, rows and pixels stored in the order
// the origin bits say.
std::string knownPicture(int bits, bool topDown, bool rightToLeft = false) {
    std::string file =
        tgaHeader(0, 2, knownW, knownH, bits, (topDown ? 0x20 : 0) | (rightToLeft ? 0x10 : 0));
    for (int stored = 0; stored < knownH; ++stored)
        for (int column = 0; column < knownW; ++column) {
            const rgba& p = knownPixels[topDown ? stored : knownH - 1 - stored]
                                       [rightToLeft ? knownW - 1 - column : column];
            file += {static_cast<char>(p.b), static_cast<char>(p.g), static_cast<char>(p.r)};
            if (bits == 32)
                file += static_cast<char>(p.a);
        }
    return file;
}

// The library's own reader, for comparison: load_tga itself is the game's.
BITMAP* libraryLoad(const std::string& file) {
    PACKFILE* in = pack_fopen(file.c_str(), F_READ);
    if (!in)
        return nullptr;
    BITMAP* picture = load_tga_pf(in, nullptr);
    pack_fclose(in);
    return picture;
}

// The colour the known picture has at (x, y) when a file of the given bits per pixel is loaded
// at the given depth: a 32-bit file keeps its alpha only at 32 bits.
int knownColor(int x, int y, int bits, int depth) {
    const rgba& p = knownPixels[y][x];
    return bits == 32 && depth == 32 ? makeacol32(p.r, p.g, p.b, p.a)
                                     : makecol_depth(depth, p.r, p.g, p.b);
}

// Debian's allegro4.4 2:4.4.3.1-8 and later read no uncompressed TGA: the picture keeps
// whatever its memory held, black or not.
bool libraryReaderBroken() {
    writeBytes("known.tga", knownPicture(24, false));
    set_color_conversion(COLORCONV_NONE);
    BITMAP* known = libraryLoad("known.tga");
    bool right = known && bitmap_color_depth(known) == 24;
    for (int y = 0; right && y < knownH; ++y)
        for (int x = 0; x < knownW; ++x)
            right = right && getpixel(known, x, y) == knownColor(x, y, 24, 24);
    if (known)
        destroy_bitmap(known);
    set_color_conversion(COLORCONV_TOTAL);
    return !right;
}

std::string describe(int width, int height, int depth) {
    return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(depth) +
           " bits";
}

std::string describe(BITMAP* picture) {
    return picture ? describe(picture->w, picture->h, bitmap_color_depth(picture)) : "nothing";
}

testing::AssertionResult samePicture(BITMAP* game, BITMAP* library) {
    if (describe(game) != describe(library))
        return testing::AssertionFailure()
               << "the game read " << describe(game) << ", the library " << describe(library);
    for (int y = 0; game && y < game->h; ++y)
        for (int x = 0; x < game->w; ++x)
            if (getpixel(game, x, y) != getpixel(library, x, y))
                return testing::AssertionFailure()
                       << "at (" << x << ", " << y << ") the game read " << std::hex
                       << getpixel(game, x, y) << ", the library " << getpixel(library, x, y);
    return testing::AssertionSuccess();
}

// The depth and colour conversion a picture is loaded for: the game's own (the screen's 16
// bits), none at all (the file's own depth), the other true-colour depth, and 15 bits with the
// mask colour kept apart.
struct loadSettings {
    const char* name;
    int depth;
    int conversion;
};
const loadSettings everySetting[] = {
    {"the game's", 16, COLORCONV_TOTAL},
    {"no conversion", 16, COLORCONV_NONE},
    {"32 bits", 32, COLORCONV_TOTAL},
    {"15 bits keeping the mask", 15, COLORCONV_TOTAL | COLORCONV_KEEP_TRANS},
};

class tgaReader : public testing::Test {
  protected:
    void SetUp() override { startGameFrame(); }
    void TearDown() override { use({"the game's", 16, COLORCONV_TOTAL}); }
    static void use(const loadSettings& settings) {
        set_color_depth(settings.depth);
        set_color_conversion(settings.conversion);
    }
    // Loads the file through load_bitmap, as the game does, and through the library's reader
    // under every setting, and expects the same picture.
    static void expectAsLibrary(const std::string& file) {
        for (const loadSettings& settings : everySetting) {
            use(settings);
            BITMAP* game = load_bitmap(file.c_str(), nullptr);
            BITMAP* library = libraryLoad(file);
            EXPECT_TRUE(samePicture(game, library)) << file << ", " << settings.name;
            if (game)
                destroy_bitmap(game);
            if (library)
                destroy_bitmap(library);
        }
    }
    scratchFolder folder;
};

// Every committed picture, whole and cut short anywhere from the end of the header to its last
// byte, and the forms the generator might write instead.
TEST_F(tgaReader, readsWhatTheLibraryReads) {
    if (libraryReaderBroken())
        GTEST_SKIP() << "this allegro4.4 cannot read an uncompressed TGA";
    int pictures = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(sourceDir / "gfx")) {
        if (entry.path().extension() != ".tga")
            continue;
        ++pictures;
        const std::string bytes = readBytes(entry.path().string());
        expectAsLibrary(entry.path().string());
        for (size_t length : {size_t{18}, size_t{19}, size_t{22}, bytes.size() / 3,
                              bytes.size() / 2 + 1, bytes.size() - 1}) {
            writeBytes("cut.tga", bytes.substr(0, length));
            SCOPED_TRACE(entry.path().filename().string() + " cut to " + std::to_string(length));
            expectAsLibrary("cut.tga");
        }
    }
    EXPECT_GT(pictures, 0) << "no picture in gfx/";
    for (int bits : {24, 32})
        for (bool topDown : {false, true}) {
            writeBytes("known.tga", knownPicture(bits, topDown));
            SCOPED_TRACE(std::to_string(bits) + " bits, top down " + std::to_string(topDown));
            expectAsLibrary("known.tga");
        }
}

// The rest of this file's tests check without the library's reader, so also where it is broken.

// A picture cut short keeps its size; every byte past the end reads as 0xFF, as in the
// library's reader, so the missing pixels come out white.
TEST_F(tgaReader, aPictureCutShortLoadsWithItsMissingPixelsWhite) {
    // The bottom row whole, then the blue of the top row's first pixel.
    const size_t bottomRowAndOneByte = 18 + 3 * knownW + 1;
    writeBytes("cut.tga", knownPicture(24, false).substr(0, bottomRowAndOneByte));
    BITMAP* picture = load_bitmap("cut.tga", nullptr);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(describe(picture), describe(knownW, knownH, 16));
    for (int x = 0; x < knownW; ++x) {
        const rgba& p = knownPixels[1][x];
        EXPECT_EQ(getpixel(picture, x, 1), makecol(p.r, p.g, p.b)) << "bottom row, " << x;
        const int blue = x == 0 ? knownPixels[0][0].b : 255;
        EXPECT_EQ(getpixel(picture, x, 0), makecol(255, 255, blue)) << "top row, " << x;
    }
    destroy_bitmap(picture);
}

// Uncompressed true colour of 24 or 32 bits with its whole header is read; for every other form
// load_bitmap gives nothing, as for a missing file, and the game reports the picture.
TEST_F(tgaReader, refusesEveryOtherForm) {
    const std::string pixels(4 * 3 * 2, '\x40');
    const std::string colorMap(3 * 2, '\x10');
    const std::pair<const char*, std::string> refused[] = {
        {"run-length true colour", overflowingRleTga()},
        {"run-length true colour, whole", tgaHeader(0, 10, 3, 2, 24) + "\x85" + pixels.substr(3)},
        {"colour-mapped", tgaHeader(1, 1, 3, 2, 8, 0, 2) + colorMap + std::string(6, '\0')},
        {"run-length colour-mapped", tgaHeader(1, 9, 3, 2, 8, 0, 2) + colorMap + "\x85\x01"},
        {"greyscale", tgaHeader(0, 3, 3, 2, 8) + pixels.substr(6)},
        {"run-length greyscale", tgaHeader(0, 11, 3, 2, 8) + "\x85\x40"},
        {"16-bit true colour", tgaHeader(0, 2, 3, 2, 16) + pixels},
        {"true colour with a colour map", tgaHeader(1, 2, 3, 2, 24, 0, 2) + colorMap + pixels},
        {"no width", tgaHeader(0, 2, 0, 2, 24) + pixels},
        {"no height", tgaHeader(0, 2, 3, 0, 24) + pixels},
        {"no image data", tgaHeader(0, 0, 3, 2, 24)},
        {"interleaved rows", tgaHeader(0, 2, 3, 2, 24, 0x40) + pixels},
        {"four-way interleaved rows", tgaHeader(0, 2, 3, 2, 24, 0x80) + pixels},
        {"a sound", readBytes((sourceDir / "sfx/explosion.wav").string())},
    };
    for (const auto& [form, bytes] : refused) {
        writeBytes("refused.tga", bytes);
        EXPECT_EQ(load_bitmap("refused.tga", nullptr), nullptr) << form;
    }
    const std::string whole = knownPicture(24, false);
    for (size_t length = 0; length < 18; ++length) {
        writeBytes("refused.tga", whole.substr(0, length));
        EXPECT_EQ(load_bitmap("refused.tga", nullptr), nullptr) << "header cut to " << length;
    }
    fs::create_directory("folder.tga");
    EXPECT_EQ(load_bitmap("folder.tga", nullptr), nullptr);
    EXPECT_EQ(load_bitmap("missing.tga", nullptr), nullptr);
}

TEST_F(tgaReader, readsEveryPixelOfBothDepthsAndEveryOrigin) {
    for (int bits : {24, 32})
        for (int origin = 0; origin < 4; ++origin)
            for (const loadSettings& settings : everySetting) {
                const bool topDown = origin & 1;
                const bool rightToLeft = origin & 2;
                SCOPED_TRACE(std::to_string(bits) + " bits, top down " + std::to_string(topDown) +
                             ", right to left " + std::to_string(rightToLeft) + ", " +
                             settings.name);
                writeBytes("known.tga", knownPicture(bits, topDown, rightToLeft));
                use(settings);
                BITMAP* picture = load_bitmap("known.tga", nullptr);
                ASSERT_NE(picture, nullptr);
                const int depth = settings.conversion == COLORCONV_NONE ? bits : settings.depth;
                ASSERT_EQ(describe(picture), describe(knownW, knownH, depth));
                for (int y = 0; y < knownH; ++y)
                    for (int x = 0; x < knownW; ++x) {
                        EXPECT_EQ(getpixel(picture, x, y), knownColor(x, y, bits, depth))
                            << "at " << x << ", " << y;
                    }
                EXPECT_EQ(getpixel(picture, 1, 0), bitmap_mask_color(picture))
                    << "magenta stays the mask colour";
                destroy_bitmap(picture);
            }
}

// A header alone makes the reader fill the whole picture it claims with white, so the size it
// accepts is what a file of 18 bytes costs. The largest side loads; one pixel more either way
// is refused, and so is every size whose bytes overflow an int, which once had the library
// allocate a small block for the reader to write a whole picture into.
TEST_F(tgaReader, takesPicturesUpToTheLargestSideAndNoLarger) {
    const int side = largestPictureSide;
    for (int bits : {24, 32}) {
        writeBytes("largest.tga", tgaHeader(0, 2, side, side, bits));
        BITMAP* picture = load_bitmap("largest.tga", nullptr);
        ASSERT_NE(picture, nullptr) << bits << " bits";
        EXPECT_EQ(describe(picture), describe(side, side, 16));
        EXPECT_EQ(getpixel(picture, side - 1, side - 1), makecol(255, 255, 255));
        destroy_bitmap(picture);
    }
    const std::pair<int, int> refused[] = {
        {side + 1, 1},  {1, side + 1},  {side + 1, side}, {65535, 21846},
        {65535, 16385}, {16000, 16000}, {23170, 23170},   {65535, 65535},
    };
    for (int bits : {24, 32})
        for (const auto& [width, height] : refused) {
            writeBytes("huge.tga", tgaHeader(0, 2, width, height, bits) + std::string(64, '\0'));
            EXPECT_EQ(load_bitmap("huge.tga", nullptr), nullptr) << describe(width, height, bits);
        }
}

// A FIFO, even one with a whole picture waiting in it, is not a picture file: it is refused
// without reading, so the game never waits on it.
TEST_F(tgaReader, refusesAFifo) {
    ASSERT_EQ(mkfifo("fifo.tga", 0600), 0);
    // Held open for writing, so that a reader opening it would not wait but read the picture.
    const int writer = open("fifo.tga", O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const std::string picture = knownPicture(24, false);
    ASSERT_EQ(write(writer, picture.data(), picture.size()), static_cast<ssize_t>(picture.size()));
    EXPECT_EQ(load_bitmap("fifo.tga", nullptr), nullptr);
    close(writer);
}

// ---- The game's check of a WAV file before load_sample's reader in the library sees it.

std::string chunk(const char* id, const std::string& body) {
    std::string out = id;
    putLittleEndian(out, static_cast<unsigned>(body.size()), 4);
    return out + body;
}

// A chunk whose length field says length, whatever follows.
std::string chunkClaiming(const char* id, unsigned length, const std::string& body) {
    std::string out = id;
    putLittleEndian(out, length, 4);
    return out + body;
}

std::string format(int channels, unsigned rate, int bits, int tag = 1, int size = 16) {
    std::string body;
    putLittleEndian(body, static_cast<unsigned>(tag), 2);
    putLittleEndian(body, static_cast<unsigned>(channels), 2);
    putLittleEndian(body, rate, 4);
    putLittleEndian(body, rate * static_cast<unsigned>(channels * bits / 8), 4);
    putLittleEndian(body, static_cast<unsigned>(channels * bits / 8), 2);
    putLittleEndian(body, static_cast<unsigned>(bits), 2);
    body.resize(static_cast<size_t>(size), '\0');
    return chunk("fmt ", body);
}

std::string riff(const std::string& chunks) {
    std::string out = "RIFF";
    putLittleEndian(out, static_cast<unsigned>(4 + chunks.size()), 4);
    return out + "WAVE" + chunks;
}

const std::string frames(48, '\x10');
const std::string data = chunk("data", frames);
const std::string mono16 = format(1, 22050, 16);

struct wavForm {
    const char* name;
    std::string bytes;
};

class wavCheck : public testing::Test {
  protected:
    void SetUp() override { startGameFrame(); }
    scratchFolder folder;
};

// What a sound card plays, in every layout the library's reader takes: the sample is the one
// the header describes, and a file of chunks with odd lengths, which the library reads without
// pad bytes, or with more after the data, is read as the library reads it.
TEST_F(wavCheck, loadsPcmOf8Or16BitsMonoOrStereoAtEveryPlayableRate) {
    struct accepted {
        const char* name;
        std::string bytes;
        int bits;
        bool stereo;
        int rate;
        unsigned long length;
    };
    const accepted forms[] = {
        {"8-bit mono", riff(format(1, 8000, 8) + data), 8, false, 8000, 48},
        {"8-bit stereo", riff(format(2, 44100, 8) + data), 8, true, 44100, 24},
        {"16-bit mono", riff(format(1, 192000, 16) + data), 16, false, 192000, 24},
        {"16-bit stereo", riff(format(2, 22050, 16) + data), 16, true, 22050, 12},
        {"a longer format chunk", riff(format(1, 22050, 16, 1, 18) + data), 16, false, 22050, 24},
        {"odd chunks around", riff(chunk("LIST", "abc") + mono16 + chunk("junk", "x") + data), 16,
         false, 22050, 24},
        {"chunks and bytes after the data", riff(mono16 + data + chunk("LIST", "ab") + "dat"), 16,
         false, 22050, 24},
    };
    for (const accepted& form : forms) {
        writeBytes("sound.wav", form.bytes);
        SAMPLE* sample = load_sample("sound.wav");
        ASSERT_NE(sample, nullptr) << form.name;
        EXPECT_EQ(sample->bits, form.bits) << form.name;
        EXPECT_EQ(sample->stereo != 0, form.stereo) << form.name;
        EXPECT_EQ(sample->freq, form.rate) << form.name;
        EXPECT_EQ(sample->len, form.length) << form.name;
        destroy_sample(sample);
    }
}

// Every form the library's reader would take on trust (a file without a format, a format
// after the data, a second data chunk it leaks, sizes past the end, rates no card plays) is
// refused before it gets there, as are the forms it refuses itself.
TEST_F(wavCheck, refusesEveryOtherForm) {
    const wavForm refused[] = {
        {"no format", riff(data)},
        {"the format after the data", riff(data + mono16)},
        {"two data chunks", riff(mono16 + data + data)},
        {"two formats", riff(mono16 + mono16 + data)},
        {"no data", riff(mono16)},
        {"empty data", riff(mono16 + chunk("data", ""))},
        {"data size 0xFFFFFFFF", riff(mono16 + chunkClaiming("data", 0xFFFFFFFF, frames))},
        {"data one byte past the end", riff(mono16 + chunkClaiming("data", 49, frames))},
        {"a chunk past the end", riff(mono16 + chunkClaiming("LIST", 0x7FFFFFFF, "ab") + data)},
        {"a chunk of negative length", riff(mono16 + chunkClaiming("LIST", 0x80000000, "") + data)},
        {"half a frame", riff(format(2, 22050, 16) + chunk("data", frames.substr(0, 6)))},
        {"rate 0", riff(format(1, 0, 16) + data)},
        {"rate 0xFFFFFFFF", riff(format(1, 0xFFFFFFFF, 16) + data)},
        {"rate 7999", riff(format(1, 7999, 16) + data)},
        {"rate 192001", riff(format(1, 192001, 16) + data)},
        {"3 channels", riff(format(3, 22050, 16) + data)},
        {"no channel", riff(format(0, 22050, 16) + data)},
        {"12 bits", riff(format(1, 22050, 12) + data)},
        {"floating point", riff(format(1, 22050, 16, 3) + data)},
        {"a format of 14 bytes", riff(format(1, 22050, 16, 1, 14) + data)},
        {"not WAVE", "RIFF" + std::string(4, '\0') + "AVI " + mono16 + data},
        {"only the RIFF header", riff("")},
        {"a picture", readBytes((sourceDir / "gfx/stone.tga").string())},
    };
    for (const wavForm& form : refused) {
        writeBytes("sound.wav", form.bytes);
        EXPECT_EQ(load_sample("sound.wav"), nullptr) << form.name;
    }
    const std::string whole = riff(mono16 + data);
    for (size_t length = 0; length < whole.size(); ++length) {
        writeBytes("sound.wav", whole.substr(0, length));
        EXPECT_EQ(load_sample("sound.wav"), nullptr) << "cut to " << length;
    }
    // A file larger than any sound of the game, sparse so the test costs no disk.
    writeBytes("sound.wav", whole);
    ASSERT_EQ(truncate("sound.wav", static_cast<off_t>(largestSoundFile) + 1), 0);
    EXPECT_EQ(load_sample("sound.wav"), nullptr) << "a file over the largest size";
}

} // namespace
