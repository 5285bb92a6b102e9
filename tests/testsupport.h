// Shared set-up for the unit tests: the real game frame in a real window, and a scratch folder
// to run in.
#pragma once

#include "enemy.h"

#include <allegro.h>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// Brings the game up once per test process through its own init(), then stops the tick timer
// and the keyboard driver so that tests alone drive timerCounter and the key array.
void startGameFrame();

// Releases every key in the library's key array and re-arms every latch.
void releaseAllKeys();

// A fresh empty folder that becomes the working directory; the old one is restored and the
// folder removed when the object goes, or when the process ends through exit() before that
// (as a death test's child does).
class scratchFolder {
  public:
    scratchFolder();
    ~scratchFolder();
    scratchFolder(const scratchFolder&) = delete;
    scratchFolder& operator=(const scratchFolder&) = delete;
    const std::string& path() const { return dir; }

  private:
    std::string dir;
    std::string previous;
};

// Puts the stand-in xmessage of tests/bin first on PATH while it lives. The texts of the
// messages the game shows go to the file log, each followed by a line feed, or to standard
// error when log is empty (see tests/bin/xmessage); a log already chosen in the environment, as
// a death test's child inherits it from its parent, is kept.
class standInMessages {
  public:
    explicit standInMessages(const std::string& log);
    ~standInMessages();
    standInMessages(const standInMessages&) = delete;
    standInMessages& operator=(const standInMessages&) = delete;
    // The file the texts go to.
    static std::string log();

  private:
    std::string previousPath;
    bool setLog = false;
};

// Writes a TGA of the given size, filled with one colour, framed by a one-pixel mask border
// when masked is true.
void writePicture(const std::string& file, int width, int height, bool masked = false);
// A TGA header: colour-map type, image type, size, bits per pixel and descriptor (its bit 0x20
// puts the first stored row on top). A colour map, when there is one, holds the given number of
// 24-bit entries.
std::string tgaHeader(int colorMapType, int imageType, int width, int height, int bits,
                      int descriptor = 0, int mapEntries = 0);
// The 34 bytes on which allegro4.4's own run-length TGA reader writes past the end of its
// picture (CVE-2021-36489): a run-length true-colour header of 320 by 200 and a few runs.
std::string overflowingRleTga();
// Appends the lowest BYTES bytes of VALUE, lowest first.
void putLittleEndian(std::string& out, std::uint32_t value, int bytes);
// Writes a short, silent mono 8-bit PCM WAV file.
void writeSound(const std::string& file);
// Writes every sound of the game so, under its own name.
void writeSounds();
// Writes a file holding the given bytes.
void writeBytes(const std::string& file, const std::string& bytes);
std::string readBytes(const std::string& file);

// A rectangle of the double buffer: left column, top row, width, height (0 by 0 when empty).
struct pixelBox {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool empty() const { return w == 0; }
    bool operator==(const pixelBox& other) const {
        return x == other.x && y == other.y && w == other.w && h == other.h;
    }
};
std::ostream& operator<<(std::ostream& out, const pixelBox& box);
// The smallest rectangle holding every pixel of global::dbuffer in rows top to bottom (clipped
// to the buffer) that differs from the background colour.
pixelBox paintedBox(int background, int top = 0, int bottom = 1 << 20);

// True when the pixels of the given colour in the text's box are exactly the ones the library's
// font draws for this text: the text is there, and nothing else of that colour is.
bool showsText(BITMAP* bitmap, int left, int top, const std::string& text, int color);
bool showsCentredText(BITMAP* bitmap, int centreX, int top, const std::string& text, int color);
// Whether the race's status strip in the double buffer shows the clock text, white,
// right-aligned two columns from the edge.
bool stripShowsClock(const std::string& clock);

// ---- Helpers shared by the race, enemy, title and tools tests ----

// Holds a key down in the library's key array, or lets it go.
void press(int scancode);
void release(int scancode);

// How many pixels of the rectangle from (x0, y0) to (x1, y1), inclusive, have the colour.
int countColor(BITMAP* bitmap, int x0, int y0, int x1, int y1, int color);
int countColor(BITMAP* bitmap, int color);

// Clears the double buffer to white, draws the enemy alone and returns what it painted in rows
// top to bottom.
pixelBox drawnAlone(enemy& e, int top = 0, int bottom = 1 << 20);

// Writes every picture and sound a race and its four enemy kinds load: a car of carW by carH, a
// stone of 16 by 12 pixels, an enemy car of 20 by 12, a mine of 14 by 10, its explosion 30 by
// 21, a robot 24 by 11 and its bullet 6 by 5, each kind wider by the given number of columns.
void writeRaceFiles(int carW = 24, int carH = 12, int wider = 0);

// An enemy of the given kind whose place and state the test can read and set.
template <class kind> struct placed : kind {
    using kind::x;
    using kind::y;
    placed() = default;
    placed(int left, int centre) {
        x = left;
        y = centre;
    }
};

// The game frame up, an empty scratch folder as working directory, and no enemy kind holding
// its pictures or sounds, both while it lives and after it goes.
class enemyScene {
  public:
    enemyScene();
    ~enemyScene();
    scratchFolder folder;
};

// The eight bytes "highscore.sav" holds for a best of hours:minutes.
std::string highscoreBytes(int hours, int minutes);

// An enemy that deals a set damage on every move, is finished when told, and notes in a shared
// log, as "<id> <call>" with the rectangle it was given, what the race asks of it.
class spyEnemy : public enemy {
  public:
    spyEnemy(std::vector<std::string>& log, int id, int damage = 0, bool done = false)
        : log(log), id(id), damage(damage), done(done) {
        place(0, 0);
    }
    ~spyEnemy() override { note("delete"); }
    int move(int left, int centre, int w, int h) override {
        note("move", {left, centre, w, h});
        return damage;
    }
    bool finished() override {
        note("finished");
        return done;
    }
    void draw() override { note("draw"); }
    void attack(int left, int centre, int w, int h) override {
        note("attack", {left, centre, w, h});
    }
    void place(int left, int centre) {
        x = left;
        y = centre;
        hit = false;
    }

  private:
    void note(const std::string& call, const std::vector<int>& rectangle = {});
    std::vector<std::string>& log;
    int id;
    int damage;
    bool done;
};
