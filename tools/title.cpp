#include "title.h"

#include "car.h"
#include "game.h"
#include "globals.h"
#include "layout.h"
#include "mine.h"
#include "robot.h"
#include "stone.h"

#include <allegro.h>

#include <stdexcept>
#include <string>

namespace {

int color(int r, int g, int b) {
    return makecol_depth(24, r, g, b);
}

// The game's greys (colors::), as pixel values of the 24-bit canvases below.
void useGameGreys() {
    set_color_depth(24);
    makeColors();
}

// A 24-bit library bitmap that frees itself.
class canvas {
  public:
    canvas(int width, int height) : bitmap(create_bitmap_ex(24, width, height)) {
        if (!bitmap)
            throw std::runtime_error("cannot create a bitmap");
    }
    explicit canvas(const picture& image) : canvas(image.width(), image.height()) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const rgb& pixel = image.at(x, y);
                putpixel(bitmap, x, y, color(pixel.r, pixel.g, pixel.b));
            }
    }
    ~canvas() { destroy_bitmap(bitmap); }
    canvas(const canvas&) = delete;
    canvas& operator=(const canvas&) = delete;
    operator BITMAP*() const { return bitmap; }

    picture toPicture() const {
        picture image(bitmap->w, bitmap->h, maskColor);
        for (int y = 0; y < bitmap->h; ++y)
            for (int x = 0; x < bitmap->w; ++x) {
                const int pixel = getpixel(bitmap, x, y);
                image.at(x, y) = rgb{static_cast<std::uint8_t>(getr_depth(24, pixel)),
                                     static_cast<std::uint8_t>(getg_depth(24, pixel)),
                                     static_cast<std::uint8_t>(getb_depth(24, pixel))};
            }
        return image;
    }

  private:
    BITMAP* bitmap;
};

void paste(BITMAP* target, const picture& sprite, int x, int y) {
    canvas source(sprite);
    masked_blit(source, target, 0, 0, x, y, sprite.width(), sprite.height());
}

void text(BITMAP* target, const std::string& words, int x, int y, int ink) {
    textout_ex(target, font, words.c_str(), x, y, ink, -1);
}

void centredText(BITMAP* target, const std::string& words, int x, int y, int ink) {
    textout_centre_ex(target, font, words.c_str(), x, y, ink, -1);
}

int textWidth(const std::string& words) {
    return text_length(font, words.c_str());
}

// The 8-pixel font blown up to scaleX by scaleY pixels a font pixel.
void bigText(BITMAP* target, const std::string& words, int x, int y, int scaleX, int scaleY,
             int ink) {
    const int width = textWidth(words);
    canvas small(width, 8);
    clear_to_color(small, color(255, 0, 255));
    textout_ex(small, font, words.c_str(), 0, 0, ink, -1);
    masked_stretch_blit(small, target, 0, 0, width, 8, x, y, width * scaleX, 8 * scaleY);
}

// A key cap with a label: a white face with a black rim and a grey lower edge. Returns its
// width.
const int capHeight = 13;

int capWidth(const std::string& label) {
    return textWidth(label) + 7;
}

void capFrame(BITMAP* target, int x, int y, int width) {
    rectfill(target, x + 1, y, x + width - 2, y + capHeight - 1, colors::black);
    rectfill(target, x, y + 1, x + width - 1, y + capHeight - 2, colors::black);
    rectfill(target, x + 1, y + 1, x + width - 2, y + capHeight - 3, colors::white);
    hline(target, x + 1, y + capHeight - 3, x + width - 2, colors::gray);
    hline(target, x + 2, y + capHeight - 2, x + width - 3, colors::dgray);
}

int keyCap(BITMAP* target, int x, int y, const std::string& label) {
    const int width = capWidth(label);
    capFrame(target, x, y, width);
    text(target, label, x + 4, y + 2, colors::black);
    return width;
}

enum class arrow { up, down, left, right };

// A key cap with an arrow drawn on it, since the font has no arrows.
int arrowCap(BITMAP* target, int x, int y, arrow direction) {
    const int width = 13;
    capFrame(target, x, y, width);
    const int cx = x + 6;
    const int cy = y + 5;
    const int ink = colors::black;
    switch (direction) {
    case arrow::up:
        triangle(target, cx, cy - 3, cx - 3, cy + 1, cx + 3, cy + 1, ink);
        vline(target, cx, cy + 1, cy + 3, ink);
        break;
    case arrow::down:
        triangle(target, cx, cy + 3, cx - 3, cy - 1, cx + 3, cy - 1, ink);
        vline(target, cx, cy - 3, cy - 1, ink);
        break;
    case arrow::left:
        triangle(target, cx - 3, cy, cx + 1, cy - 3, cx + 1, cy + 3, ink);
        hline(target, cx + 1, cy, cx + 3, ink);
        break;
    case arrow::right:
        triangle(target, cx + 3, cy, cx - 1, cy - 3, cx - 1, cy + 3, ink);
        hline(target, cx - 3, cy, cx - 1, ink);
        break;
    }
    return width;
}

// A framed panel with a one-pixel black rim and a dark shadow to the lower right.
void panel(BITMAP* target, int left, int top, int right, int bottom, int fill) {
    rectfill(target, left + 2, top + 2, right + 2, bottom + 2, colors::dgray);
    rectfill(target, left, top, right, bottom, colors::black);
    rectfill(target, left + 1, top + 1, right - 1, bottom - 1, fill);
}

// The band at the top: the name, large, between two moths. Returns the row below it.
int drawName(BITMAP* target, const sprites& art) {
    rectfill(target, 0, 0, 319, 26, colors::black);
    hline(target, 0, 27, 319, colors::dgray);
    const std::string name = "Gravelmoth";
    const int width = textWidth(name) * 3;
    const int x = (320 - width) / 2;
    bigText(target, name, x + 2, 3, 3, 2, colors::dgray);
    bigText(target, name, x, 1, 3, 2, colors::white);
    paste(target, art.at("moth"), x - 34, 1);
    paste(target, art.at("moth"), x + width + 10, 1);
    centredText(target, "a race against the clock", 160, 19, colors::gray);
    return 28;
}

// A slice of a race, as wide as the screen and at the sprites' real size: the player fires to
// the right and sets off a mine, a chasing car comes in from the left, a robot drops a bullet,
// stones slide past. The status strip at its bottom is the race's own, clock form included.
void drawRace(BITMAP* target, const sprites& art, int top, int roadHeight) {
    hline(target, 0, top, 319, colors::black);
    canvas road(320, roadHeight + statusStripRows);
    clear_to_color(road, colors::white);

    // Speed lines behind what slides along with the road.
    const int streak = colors::lgray;
    hline(road, 252, 8, 268, streak);
    hline(road, 256, 12, 266, streak);
    hline(road, 166, 24, 182, streak);
    hline(road, 170, 28, 180, streak);
    hline(road, 306, 18, 319, streak);
    hline(road, 308, 24, 319, streak);

    paste(road, art.at("stone"), 236, 4);
    paste(road, art.at("stone"), 150, 20);
    paste(road, art.at("mine"), 290, 14);
    paste(road, art.at("robot"), 192, 0);
    paste(road, art.at("robotbullet"), 182, 22);
    paste(road, art.at("enemycar"), -8, 15);
    const int carX = 52;
    const int carTop = 8;
    paste(road, art.at("car"), carX, carTop);
    paste(road, art.at("explosion"), carX + art.at("car").width(), carTop);
    paste(road, art.at("mineexplosion"), carX + 2 * art.at("car").width() + 2, carTop - 4);

    // The race's own status strip, well into a race: hit a few times, reloading, at 14:05.
    drawStatusStrip(road, roadHeight, 42, true, 14, 5);
    blit(road, target, 0, 0, 0, top + 1, 320, roadHeight + statusStripRows);
    hline(target, 0, top + roadHeight + 10, 319, colors::dgray);
}

// What each thing on the road costs when it strikes, and what the shot does to it: the
// sprite at its real size, centred in a car-wide slot, and two lines beside it. The second
// line is a shade lighter, yet dark enough to read at a glance on the grey.
void hazard(BITMAP* target, const picture& sprite, int x, int y, const std::string& cost,
            const std::string& shot) {
    paste(target, sprite, x + (32 - sprite.width()) / 2, y + (16 - sprite.height()) / 2);
    text(target, cost, x + 35, y, colors::black);
    text(target, shot, x + 35, y + 8, colors::vdgray);
}

std::string costs(const std::string& name, int damage) {
    return name + " costs " + std::to_string(damage);
}

// The health bar as the status strip shows it, in a car-wide slot, named beside it.
void healthBar(BITMAP* target, int x, int y) {
    rectfill(target, x, y + 3, x + 31, y + 3 + statusStripRows - 1, colors::black);
    rectfill(target, x + 1, y + 5, x + 22, y + 9, colors::lgray);
    text(target, "health bar", x + 35, y, colors::black);
    text(target, "empty ends race", x + 35, y + 8, colors::vdgray);
}

// Returns the row below the list.
int drawHazards(BITMAP* target, const sprites& art, int top) {
    hazard(target, art.at("stone"), 4, top, costs("stone", stoneDamage), "shot: no effect");
    hazard(target, art.at("mine"), 162, top, costs("mine", mineDamage), "shot: explodes");
    hazard(target, art.at("enemycar"), 4, top + 17, costs("car", carDamage), "shot: it flees");
    hazard(target, art.at("robotbullet"), 162, top + 17, costs("bullet", bulletDamage),
           "shot: no effect");
    hazard(target, art.at("robot"), 4, top + 34, "robot harmless", "shot: no effect");
    healthBar(target, 162, top + 34);
    return top + 51;
}

// What the keys do in a race, in two columns. Only the left ALT and CTRL keys act.
// Returns the row below them.
int drawRaceKeys(BITMAP* target, int left, int top) {
    const int rowY[3] = {top, top + 14, top + 28};
    int x = left;
    x += arrowCap(target, x, rowY[0], arrow::up) + 2;
    x += arrowCap(target, x, rowY[0], arrow::down) + 5;
    text(target, "move", x, rowY[0] + 3, colors::black);
    x = left;
    x += arrowCap(target, x, rowY[1], arrow::left) + 2;
    x += arrowCap(target, x, rowY[1], arrow::right) + 5;
    text(target, "speed", x, rowY[1] + 3, colors::black);
    x = left;
    x += keyCap(target, x, rowY[2], "ENTER") + 5;
    text(target, "pause", x, rowY[2] + 3, colors::black);
    x += textWidth("pause") + 6;
    x += keyCap(target, x, rowY[2], "TAB") + 5;
    text(target, "then quit", x, rowY[2] + 3, colors::black);

    const int column = left + 112;
    x = column + keyCap(target, column, rowY[0], "L-CTRL") + 5;
    text(target, "fire left", x, rowY[0] + 3, colors::black);
    x = column + keyCap(target, column, rowY[1], "L-ALT") + 5;
    text(target, "fire right", x, rowY[1] + 3, colors::black);
    return rowY[2] + capHeight;
}

// What the keys do here, on the title.
void drawTitleKeys(BITMAP* target, int left, int top) {
    hline(target, left, top - 4, left + 212, colors::gray);
    int x = left;
    x += keyCap(target, x, top, "ENTER") + 5;
    text(target, "start a race", x, top + 3, colors::black);
    x = left;
    x += keyCap(target, x, top + 14, "L-ALT") + 2;
    x += keyCap(target, x, top + 14, "L-CTRL") + 2;
    x += keyCap(target, x, top + 14, "TAB") + 5;
    text(target, "quit game", x, top + 17, colors::black);
}

// The frame round the best result. The game prints the result itself, so the inside stays
// plain white.
void drawBestFrame(BITMAP* target) {
    panel(target, bestResultX - 34, bestResultY - 14, bestResultX + 34, bestResultY + 17,
          colors::white);
    rectfill(target, bestResultX - 33, bestResultY - 13, bestResultX + 33, bestResultY - 5,
             colors::vdgray);
    centredText(target, "BEST", bestResultX, bestResultY - 13, colors::white);
}

} // namespace

picture titlePicture(const sprites& art) {
    useGameGreys();
    canvas title(320, 200);
    clear_to_color(title, colors::lgray);
    const int raceTop = drawName(title, art);
    const int roadHeight = 32;
    drawRace(title, art, raceTop, roadHeight);
    const int hazardsTop = raceTop + roadHeight + 10 + 3;
    const int keysTop = drawHazards(title, art, hazardsTop) + 3;
    drawTitleKeys(title, 8, drawRaceKeys(title, 8, keysTop) + 5);
    drawBestFrame(title);
    return title.toPicture();
}

// A rounded square, filled.
static void roundedBox(BITMAP* target, int left, int top, int right, int bottom, int radius,
                       int fill) {
    rectfill(target, left + radius, top, right - radius, bottom, fill);
    rectfill(target, left, top + radius, right, bottom - radius, fill);
    circlefill(target, left + radius, top + radius, radius, fill);
    circlefill(target, right - radius, top + radius, radius, fill);
    circlefill(target, left + radius, bottom - radius, radius, fill);
    circlefill(target, right - radius, bottom - radius, radius, fill);
}

// The player's car speeding over a white tile with a dark rim, as the desktop shows the game.
picture iconPicture(const sprites& art) {
    useGameGreys();
    canvas icon(48, 48);
    clear_to_color(icon, color(255, 0, 255));
    roundedBox(icon, 0, 0, 47, 47, 8, colors::black);
    roundedBox(icon, 2, 2, 45, 45, 6, colors::white);
    hline(icon, 5, 19, 12, colors::gray);
    hline(icon, 3, 23, 10, colors::lgray);
    hline(icon, 5, 27, 12, colors::gray);
    paste(icon, art.at("car"), 13, 15);
    return icon.toPicture();
}
