// Shared set-up for the unit tests: the real game frame in a real window, and a scratch folder
// to run in.
#pragma once

#include <allegro.h>

#include <iosfwd>
#include <string>

// Brings the game up once per test process through its own init(), then stops the tick timer
// and the keyboard driver so that tests alone drive timerCounter and the key array.
void startGameFrame();

// Releases every key in the library's key array and re-arms every latch.
void releaseAllKeys();

// A fresh empty folder that becomes the working directory; the old one is restored and the
// folder removed when the object goes.
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

// Writes a TGA of the given size, filled with one colour, framed by a one-pixel mask border
// when masked is true.
void writePicture(const std::string& file, int width, int height, bool masked = false);
// Writes a short, silent mono 8-bit PCM WAV file.
void writeSound(const std::string& file);
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
