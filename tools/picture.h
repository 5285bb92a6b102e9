// Pictures as the asset generator handles them: plain 24-bit pixels in memory, read from the
// character grids in art/ and written out as TGA or PNG files by the libraries that know them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const rgb& other) const { return !(*this == other); }
};

// The game draws every sprite with masked_blit: this colour stays transparent.
const rgb maskColor{255, 0, 255};

class picture {
  public:
    picture() = default;
    picture(int width, int height, rgb fill);
    int width() const { return w; }
    int height() const { return h; }
    rgb& at(int x, int y) { return pixels[static_cast<size_t>(y * w + x)]; }
    const rgb& at(int x, int y) const { return pixels[static_cast<size_t>(y * w + x)]; }
    // Copies every pixel of other that is not the mask colour, with its top-left at (x, y);
    // what falls outside is cut off.
    void paste(const picture& other, int x, int y);
    // The picture made larger by whole pixels, each one becoming a factor by factor block.
    picture scaled(int factor) const;
    // The picture made smaller by whole pixels: each factor by factor block becomes one pixel,
    // the average of its visible pixels, or transparent where most of the block is.
    picture shrunk(int factor) const;
    // The picture in the middle of a transparent square of size by size.
    picture centred(int size) const;

  private:
    int w = 0;
    int h = 0;
    std::vector<rgb> pixels;
};

using palette = std::map<char, rgb>;

// Reads a palette file: one colour a line, a character and then red, green and blue (0..255).
// Lines starting with '#' and text after a '#' that follows the numbers are comments.
palette readPalette(const std::string& file);
// Reads a sprite: every non-empty line that does not start with '#' is one row of pixels, one
// palette character per pixel. All rows must be equally long; the grid's size is the sprite's,
// which the game takes from its picture (the car's sets the shot's area, every height where
// enemies may appear).
picture readSprite(const std::string& file, const palette& colors);

// Writes a 24-bit TGA file through the game's own library, the one that loads it in the game.
void saveTga(const picture& image, const std::string& file);
// Writes a 32-bit RGBA PNG file, compressed by libpng, in which the mask colour becomes fully
// transparent.
void savePng(const picture& image, const std::string& file);

// Writes an XPM picture, which is also C source declaring the array name, as the library's
// window icon (allegro_icon) takes it; the mask colour becomes transparent ("None").
void saveXpm(const picture& image, const std::string& name, const std::string& file);

// Reads a whole file; throws std::runtime_error when it cannot.
std::string readFile(const std::string& file);
// Makes a folder and the folders above it that are missing; throws std::runtime_error when it
// cannot.
void makeFolder(const std::string& folder);
