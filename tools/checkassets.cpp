// Loads every picture and sound of the game through the library, as the game does, and checks
// the rules the game relies on:
//   checkassets FOLDER
// where FOLDER holds gfx/ and sfx/. Prints one line for each broken rule and fails if any is.
#include "analysis.h"
#include "enemy.h"
#include "game.h"
#include "layout.h"
#include "mine.h"
#include "robot.h"

#include <allegro.h>
#include <dirent.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

int failures = 0;

void fail(const std::string& file, const std::string& problem) {
    std::printf("%s: %s\n", file.c_str(), problem.c_str());
    ++failures;
}

std::string size(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// A picture loaded twice: at 24 bits for its exact colours, and at 16 bits as the game sees it,
// where every colour close enough to magenta turns into the mask.
struct loaded {
    BITMAP* exact = nullptr;
    BITMAP* game = nullptr;
    ~loaded() {
        if (exact)
            destroy_bitmap(exact);
        if (game)
            destroy_bitmap(game);
    }
};

bool load(const std::string& file, loaded& picture) {
    set_color_depth(24);
    picture.exact = load_bitmap(file.c_str(), nullptr);
    set_color_depth(16);
    picture.game = load_bitmap(file.c_str(), nullptr);
    if (!picture.exact || !picture.game) {
        fail(file, "load_bitmap cannot load it");
        return false;
    }
    return true;
}

struct color {
    int r, g, b;
    bool magenta() const { return r == 255 && g == 0 && b == 255; }
    bool dark() const { return r * 299 + g * 587 + b * 114 <= 100 * 1000; }
    bool white() const { return r == 255 && g == 255 && b == 255; }
    bool light() const { return r >= 200 && g >= 200 && b >= 200; }
};

color at(BITMAP* picture, int x, int y) {
    const int pixel = getpixel(picture, x, y);
    return {getr24(pixel), getg24(pixel), getb24(pixel)};
}

// The mask at 16 bits must be exactly the magenta at 24: a colour that is nearly magenta
// would vanish in the game by accident.
void checkMask(const std::string& file, const loaded& picture) {
    int stray = 0;
    for (int y = 0; y < picture.exact->h; ++y)
        for (int x = 0; x < picture.exact->w; ++x) {
            const bool masked = getpixel(picture.game, x, y) == bitmap_mask_color(picture.game);
            if (masked != at(picture.exact, x, y).magenta())
                ++stray;
        }
    if (stray)
        fail(file, std::to_string(stray) + " pixels are nearly magenta and turn transparent");
}

// A sprite reads on the white road only with a dark rim: every visible pixel next to a
// transparent one, or on the picture's edge, must be dark.
void checkSprite(const std::string& file, const loaded& picture) {
    BITMAP* image = picture.exact;
    int transparent = 0;
    int lightRim = 0;
    std::string first;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            const color pixel = at(image, x, y);
            if (pixel.magenta()) {
                ++transparent;
                continue;
            }
            bool rim = x == 0 || y == 0 || x == image->w - 1 || y == image->h - 1;
            const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& step : steps)
                if (!rim)
                    rim = at(image, x + step[0], y + step[1]).magenta();
            if (rim && !pixel.dark() && lightRim++ == 0)
                first = " (the first at " + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    if (transparent == 0)
        fail(file, "has no transparent (magenta) pixel");
    if (transparent == image->w * image->h)
        fail(file, "is all transparent");
    if (lightRim)
        fail(file, std::to_string(lightRim) + " pixels of its rim are not dark" + first);
}

// What strikes the car strikes over its whole box, so the player must see that box: drawn
// pixels on all four of its edges, and most of it filled.
void checkStrikes(const std::string& file, BITMAP* image) {
    int drawn = 0;
    bool top = false, bottom = false, left = false, right = false;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x)
            if (!at(image, x, y).magenta()) {
                ++drawn;
                top |= y == 0;
                bottom |= y == image->h - 1;
                left |= x == 0;
                right |= x == image->w - 1;
            }
    const int percent = 100 * drawn / (image->w * image->h);
    std::printf("%s: fills %d %% of its box\n", file.c_str(), percent);
    if (!top || !bottom || !left || !right)
        fail(file, "leaves an edge of its box undrawn, where it strikes unseen");
    if (percent < 60)
        fail(file, "fills only " + std::to_string(percent) + " % of the box it strikes with");
}

// Warm and vivid, red to yellow: the colour of a warning sign.
bool warning(const color& c) {
    const int most = std::max({c.r, c.g, c.b});
    const int least = std::min({c.r, c.g, c.b});
    return most >= 180 && most - least >= 0.6 * most && c.r == most && c.b == least;
}

double saturation(const color& c) {
    const int most = std::max({c.r, c.g, c.b});
    return most ? (most - std::min({c.r, c.g, c.b})) / static_cast<double>(most) : 0;
}

// The share of the visible pixels for which test holds, and their mean saturation.
template <class test> double share(BITMAP* image, test holds, double* meanSaturation = nullptr) {
    int visible = 0;
    int matching = 0;
    double saturated = 0;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            const color pixel = at(image, x, y);
            if (pixel.magenta())
                continue;
            ++visible;
            matching += holds(pixel);
            saturated += saturation(pixel);
        }
    if (meanSaturation)
        *meanSaturation = visible ? saturated / visible : 0;
    return visible ? static_cast<double>(matching) / visible : 0;
}

// A mine costs four times what a stone does: it must be told from one at a glance, by a
// warning colour against the stone's muted one.
void checkMineAgainstStone(const std::string& mineFile, BITMAP* mine, const std::string& stoneFile,
                           BITMAP* stone) {
    const double mineWarning = share(mine, warning);
    double stoneSaturation = 0;
    const double stoneWarning = share(stone, warning, &stoneSaturation);
    std::printf("%s: %.0f %% warning colour; %s: %.0f %%, mean saturation %.2f\n", mineFile.c_str(),
                100 * mineWarning, stoneFile.c_str(), 100 * stoneWarning, stoneSaturation);
    if (mineWarning < 0.4)
        fail(mineFile, "is not mostly a warning colour (red to yellow, vivid)");
    if (stoneWarning > 0 || stoneSaturation > 0.3)
        fail(stoneFile, "is not muted: it could pass for a mine");
}

// Luma of the Rec. 601 weights, 0 to 255.
double luma(const color& c) {
    return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
}

// A bullet falls fast over the white road: the eye catches it only if enough of it is dark,
// so at least 32 of its pixels (half an 8x8 box) must lie 100 or more below white in luma, and
// it must be darker than mid-grey on average.
void checkStandsOut(const std::string& file, BITMAP* image) {
    double total = 0;
    int visible = 0;
    int dark = 0;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x)
            if (!at(image, x, y).magenta()) {
                const double value = luma(at(image, x, y));
                total += value;
                dark += value <= 155;
                ++visible;
            }
    const double mean = visible ? total / visible : 255;
    std::printf("%s: %d dark pixels, mean luma %.0f of 255\n", file.c_str(), dark, mean);
    if (dark < 32 || mean > 127.5)
        fail(file, "is too small or too light to stand out on the white road");
}

// Colour as the eye and the simulations of colour blindness see it. Channels are linear
// light, 0 to 1.
struct light {
    double r, g, b;
};

double linear(double channel) {
    const double c = channel / 255;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

light linear(const color& c) {
    return {linear(c.r), linear(c.g), linear(c.b)};
}

// Relative luminance, as the web's contrast guidelines (WCAG) define it.
double luminance(const light& c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

double contrast(double one, double other) {
    return (std::fmax(one, other) + 0.05) / (std::fmin(one, other) + 0.05);
}

// Normal vision and the two commonest colour blindnesses, at full severity, as the matrices of
// Machado, Oliveira and Fernandes (2009) simulate them in linear RGB.
struct vision {
    const char* name;
    double m[3][3];
};

const vision visions[] = {
    {"normal vision", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {"deuteranopia",
     {{0.367322, 0.860646, -0.227968},
      {0.280085, 0.672501, 0.047413},
      {-0.011820, 0.042940, 0.968881}}},
    {"protanopia",
     {{0.152286, 1.052583, -0.204868},
      {0.114503, 0.786281, 0.099216},
      {-0.003882, -0.048116, 1.051998}}},
};

light seenWith(const vision& eye, const light& c) {
    const auto row = [&](int i) {
        const double v = eye.m[i][0] * c.r + eye.m[i][1] * c.g + eye.m[i][2] * c.b;
        return std::fmin(1.0, std::fmax(0.0, v));
    };
    return {row(0), row(1), row(2)};
}

struct lab {
    double l, a, b;
};

// CIELAB under the sRGB white point (D65).
lab toLab(const light& c) {
    const double x = (0.4124 * c.r + 0.3576 * c.g + 0.1805 * c.b) / 0.95047;
    const double y = 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
    const double z = (0.0193 * c.r + 0.1192 * c.g + 0.9505 * c.b) / 1.08883;
    const auto f = [](double t) {
        return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
    };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

// CIE76: the distance in CIELAB.
double deltaE(const lab& one, const lab& other) {
    return std::sqrt((one.l - other.l) * (one.l - other.l) + (one.a - other.a) * (one.a - other.a) +
                     (one.b - other.b) * (one.b - other.b));
}

// The mean of the drawn pixels' colours, the mask left out: at the size these pictures have
// on the road, the eye sees little more of them than that.
color meanColor(BITMAP* image) {
    double r = 0, g = 0, b = 0;
    int visible = 0;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            const color pixel = at(image, x, y);
            if (pixel.magenta())
                continue;
            r += pixel.r;
            g += pixel.g;
            b += pixel.b;
            ++visible;
        }
    if (!visible)
        return {0, 0, 0};
    return {static_cast<int>(std::lround(r / visible)), static_cast<int>(std::lround(g / visible)),
            static_cast<int>(std::lround(b / visible))};
}

// Pictures of about one size that only their colour tells apart must stay apart for every
// player: their mean colours lie at least 40 apart in CIELAB, with normal vision and with
// either colour blindness.
void checkColorsApart(const std::string& oneFile, BITMAP* one, const std::string& otherFile,
                      BITMAP* other) {
    const light oneMean = linear(meanColor(one));
    const light otherMean = linear(meanColor(other));
    for (const vision& eye : visions) {
        const double difference =
            deltaE(toLab(seenWith(eye, oneMean)), toLab(seenWith(eye, otherMean)));
        std::printf("%s and %s: colour difference %.1f with %s\n", oneFile.c_str(),
                    otherFile.c_str(), difference, eye.name);
        if (difference < 40)
            fail(oneFile, "looks like " + otherFile + " with " + eye.name + ": colour difference " +
                              std::to_string(difference) + ", not 40");
    }
}

// The bullet must stand out on the white road at a glance: its drawn pixels, as the eye
// averages them, reach a contrast of 3:1 against white.
void checkContrastOnRoad(const std::string& file, BITMAP* image) {
    double total = 0;
    int visible = 0;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x)
            if (!at(image, x, y).magenta()) {
                total += luminance(linear(at(image, x, y)));
                ++visible;
            }
    const double ratio = contrast(visible ? total / visible : 1, 1);
    std::printf("%s: contrast %.1f:1 against the white road\n", file.c_str(), ratio);
    if (ratio < 3)
        fail(file, "has a contrast of only " + std::to_string(ratio) + ":1 against the road");
}

// The shot's flash is copied without a mask: the car-sized corner that the race copies must
// hold no magenta and fade into the white road at its edges.
void checkFlash(const std::string& file, const loaded& picture, int carW, int carH) {
    BITMAP* image = picture.exact;
    if (image->w < carW || image->h < carH) {
        fail(file, "is smaller than the car (" + size(carW, carH) + "), whose size it is drawn at");
        return;
    }
    int masked = 0;
    int edge = 0;
    for (int y = 0; y < carH; ++y)
        for (int x = 0; x < carW; ++x) {
            const color pixel = at(image, x, y);
            if (pixel.magenta() || getpixel(picture.game, x, y) == bitmap_mask_color(picture.game))
                ++masked;
            const bool onEdge = x == 0 || y == 0 || x == carW - 1 || y == carH - 1;
            if (onEdge && !pixel.white())
                ++edge;
        }
    if (masked)
        fail(file, std::to_string(masked) + " magenta pixels in the corner the race copies");
    if (edge)
        fail(file, std::to_string(edge) + " pixels on the edge of that corner are not white");
}

// The game prints the best result onto the title, centred on bestResultX from bestResultY
// (264 and 175), in dark grey: that spot must be plain and light.
void checkTitle(const std::string& file, const loaded& picture) {
    BITMAP* image = picture.exact;
    if (image->w != 320 || image->h != 200) {
        fail(file, "is " + size(image->w, image->h) + ", not the screen's 320x200");
        return;
    }
    const color ground = at(image, bestResultX - 28, bestResultY - 3);
    if (!ground.light())
        fail(file, "the spot of the best result is not light");
    int unlike = 0;
    for (int y = bestResultY - 3; y <= bestResultY + 11; ++y)
        for (int x = bestResultX - 28; x <= bestResultX + 28; ++x) {
            const color pixel = at(image, x, y);
            if (pixel.r != ground.r || pixel.g != ground.g || pixel.b != ground.b)
                ++unlike;
        }
    if (unlike)
        fail(file, "the spot of the best result is not plain (" + std::to_string(unlike) +
                       " pixels differ)");
    int magenta = 0;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x)
            if (at(image, x, y).magenta())
                ++magenta;
    if (magenta)
        fail(file, std::to_string(magenta) + " magenta pixels, but the title is not masked");
}

// The library's 8-pixel font, one glyph a character: which pixels of its cell are ink.
struct glyph {
    char letter;
    bool ink[8][8];
};

std::vector<glyph> fontGlyphs() {
    std::vector<glyph> glyphs;
    BITMAP* cell = create_bitmap_ex(8, 8, 8);
    for (char letter = '!'; letter <= '~'; ++letter) {
        clear_to_color(cell, 0);
        const char text[2] = {letter, 0};
        textout_ex(cell, font, text, 0, 0, 1, -1);
        glyph g{letter, {}};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                g.ink[y][x] = getpixel(cell, x, y) == 1;
        glyphs.push_back(g);
    }
    destroy_bitmap(cell);
    return glyphs;
}

bool same(const color& one, const color& other) {
    return one.r == other.r && one.g == other.g && one.b == other.b;
}

// A picture's pixels, read once: the search for letters looks at each of them many times.
struct grid {
    int w, h;
    std::vector<color> pixels;
    explicit grid(BITMAP* image) : w(image->w), h(image->h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.push_back(at(image, x, y));
    }
    const color& operator()(int x, int y) const { return pixels[static_cast<size_t>(y * w + x)]; }
};

// How many pixels wide and high one pixel of the font is drawn.
struct blowUp {
    int x, y;
};

// A letter found on a picture: where, in which colour, and its least contrast against the
// pixels around its strokes.
struct letterSeen {
    int x, y;
    blowUp scale;
    char letter;
    color ink;
    double contrast;
};

// Whether glyph g is printed at (x, y) blown up by scale, in one colour with none of that
// colour touching its strokes inside its cell (read in the middle of each font pixel's block);
// if so, the letter as seen.
bool printed(const grid& image, const glyph& g, int x, int y, blowUp scale, letterSeen& seen) {
    bool inked = false;
    color first{};
    double least = 21;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if (!g.ink[row][column])
                continue;
            for (int dy = 0; dy < scale.y; ++dy)
                for (int dx = 0; dx < scale.x; ++dx) {
                    const color& pixel = image(x + column * scale.x + dx, y + row * scale.y + dy);
                    if (!inked) {
                        first = pixel;
                        inked = true;
                    } else if (!same(pixel, first))
                        return false;
                }
        }
    if (!inked)
        return false;
    const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if (!g.ink[row][column])
                continue;
            for (const auto& step : steps) {
                const int c = column + step[0];
                const int r = row + step[1];
                if (c < 0 || r < 0 || c >= 8 || r >= 8 || g.ink[r][c])
                    continue;
                const color around =
                    image(x + c * scale.x + scale.x / 2, y + r * scale.y + scale.y / 2);
                if (same(around, first))
                    return false;
                least =
                    std::fmin(least, contrast(luminance(linear(first)), luminance(linear(around))));
            }
        }
    seen = {x, y, scale, g.letter, first, least};
    return true;
}

// Every text on the title must be readable by every player: at least 4.5:1 contrast against
// what lies around its letters. The checker finds the texts itself, as words of the library's
// font (two letters or more, in one colour, at the font's size or blown up by whole pixels,
// up to three times in either direction).
void checkTitleTexts(const std::string& file, BITMAP* picture) {
    const grid image(picture);
    const std::vector<glyph> glyphs = fontGlyphs();
    std::vector<std::pair<letterSeen, const glyph*>> found;
    for (int sx = 1; sx <= 3; ++sx)
        for (int sy = 1; sy <= 3; ++sy)
            for (int y = 0; y + 8 * sy <= image.h; ++y)
                for (int x = 0; x + 8 * sx <= image.w; ++x)
                    for (const glyph& g : glyphs) {
                        letterSeen seen{};
                        if (printed(image, g, x, y, {sx, sy}, seen))
                            found.emplace_back(seen, &g);
                    }
    // A letter is part of a word: another in its colour and size one or two cells beside it.
    // That leaves out most shapes in the drawings that only look like a letter.
    const auto key = [](const letterSeen& seen, int x) {
        return std::make_tuple(x, seen.y, seen.scale.x, seen.scale.y, seen.ink.r, seen.ink.g,
                               seen.ink.b);
    };
    std::set<decltype(key(letterSeen{}, 0))> places;
    for (const auto& match : found)
        places.insert(key(match.first, match.first.x));
    const auto inWord = [&](const std::pair<letterSeen, const glyph*>& match) {
        const letterSeen& seen = match.first;
        for (int cells : {-2, -1, 1, 2})
            if (places.count(key(seen, seen.x + cells * 8 * seen.scale.x)))
                return true;
        return false;
    };
    found.erase(
        std::remove_if(found.begin(), found.end(), [&](const auto& m) { return !inWord(m); }),
        found.end());
    // A smaller letter, or one blown up less, may fit insidemaller letter, or one blown up less,
    // may fit inside a bigger one (a dot in a colon, a stroke in an l): the letters with the most
    // ink claim their pixels first, and one that needs a claimed pixel is no letter of its own.
    const auto inkOf = [](const std::pair<letterSeen, const glyph*>& one) {
        int count = 0;
        for (const auto& row : one.second->ink)
            count += static_cast<int>(std::count(std::begin(row), std::end(row), true));
        return count * one.first.scale.x * one.first.scale.y;
    };
    std::stable_sort(found.begin(), found.end(),
                     [&](const auto& one, const auto& other) { return inkOf(one) > inkOf(other); });
    std::vector<bool> claimed(image.pixels.size(), false);
    std::vector<letterSeen> letters;
    for (const auto& [seen, g] : found) {
        std::vector<size_t> pixels;
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 8; ++column)
                for (int dy = 0; g->ink[row][column] && dy < seen.scale.y; ++dy)
                    for (int dx = 0; dx < seen.scale.x; ++dx)
                        pixels.push_back(
                            static_cast<size_t>((seen.y + row * seen.scale.y + dy) * image.w +
                                                seen.x + column * seen.scale.x + dx));
        if (std::any_of(pixels.begin(), pixels.end(), [&](size_t at) { return claimed[at]; }))
            continue;
        for (size_t at : pixels)
            claimed[at] = true;
        letters.push_back(seen);
    }
    // Letters one cell apart (or a space between) in one colour make a word of a text.
    const auto follows = [](const letterSeen& one, const letterSeen& next) {
        const int gap = next.x - one.x;
        return next.y == one.y && next.scale.x == one.scale.x && next.scale.y == one.scale.y &&
               same(next.ink, one.ink) && (gap == 8 * one.scale.x || gap == 16 * one.scale.x);
    };
    std::sort(letters.begin(), letters.end(), [](const letterSeen& one, const letterSeen& other) {
        return std::make_pair(one.y, one.x) < std::make_pair(other.y, other.x);
    });
    size_t texts = 0;
    for (size_t start = 0; start < letters.size();) {
        size_t end = start + 1;
        std::string words(1, letters[start].letter);
        double least = letters[start].contrast;
        for (; end < letters.size() && follows(letters[end - 1], letters[end]); ++end) {
            if (letters[end].x - letters[end - 1].x == 16 * letters[start].scale.x)
                words += ' ';
            words += letters[end].letter;
            least = std::fmin(least, letters[end].contrast);
        }
        const bool word =
            std::any_of(words.begin(), words.end(), [](char c) { return std::isalnum(c) != 0; });
        if (end - start >= 2 && word) {
            ++texts;
            std::printf("%s: \"%s\" at %d, %d: contrast %.1f:1\n", file.c_str(), words.c_str(),
                        letters[start].x, letters[start].y, least);
            if (least < 4.5)
                fail(file, "\"" + words + "\" has a contrast of only " + std::to_string(least) +
                               ":1 against what is behind it, not 4.5");
        }
        start = end;
    }
    if (texts == 0)
        fail(file, "no text found on it");
}

// An icon as the desktop reads it, decoded by libpng: red, green, blue and alpha a pixel.
struct icon {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
    const unsigned char* at(int x, int y) const { return &pixels[4 * (y * width + x)]; }
    bool clear(int x, int y) const { return at(x, y)[3] == 0; }
};

bool decode(const std::string& file, icon& decoded) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        fail(file, std::string("libpng cannot read it: ") + image.message);
        return false;
    }
    if (image.format != PNG_FORMAT_RGBA) {
        fail(file, "is not an 8-bit RGBA PNG");
        png_image_free(&image);
        return false;
    }
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr)) {
        fail(file, std::string("libpng cannot decode it: ") + image.message);
        return false;
    }
    return true;
}

// An icon must read on a light panel as on a dark one: it is outlined, every pixel it shows
// next to a clear one (or on its edge) dark. At 32 pixels and less there is no room for a
// tile: the car's vivid paint spans at least three quarters of the width.
void checkIcon(const std::string& file, int size) {
    icon decoded;
    if (!decode(file, decoded))
        return;
    if (decoded.width != size || decoded.height != size) {
        fail(file, "is " + ::size(decoded.width, decoded.height) + ", not " + ::size(size, size));
        return;
    }
    int lightRim = 0;
    int left = size;
    int right = -1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (decoded.clear(x, y))
                continue;
            const unsigned char* rgba = decoded.at(x, y);
            const color pixel{rgba[0], rgba[1], rgba[2]};
            bool rim = x == 0 || y == 0 || x == size - 1 || y == size - 1;
            rim = rim || decoded.clear(x - 1, y) || decoded.clear(x + 1, y) ||
                  decoded.clear(x, y - 1) || decoded.clear(x, y + 1);
            lightRim += rim && !pixel.dark();
            if (saturation(pixel) >= 0.5 && std::max({pixel.r, pixel.g, pixel.b}) >= 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    const int span = right >= left ? right - left + 1 : 0;
    std::printf("%s: paint spans %d of %d columns\n", file.c_str(), span, size);
    if (lightRim)
        fail(file, std::to_string(lightRim) + " pixels of its outline are not dark");
    if (size <= 32 && 4 * span < 3 * size)
        fail(file, "the car spans only " + std::to_string(span) + " of its " +
                       std::to_string(size) + " columns");
}

// Every icon the desktop may pick, whatever sizes the generator writes.
void checkIcons(const std::string& folder) {
    const std::string icons = folder + "linux/icons/";
    DIR* sizes = opendir(icons.c_str());
    if (!sizes) {
        fail(icons, "missing");
        return;
    }
    std::vector<int> found;
    while (const dirent* entry = readdir(sizes)) {
        int width = 0;
        int height = 0;
        char rest = 0;
        if (std::sscanf(entry->d_name, "%dx%d%c", &width, &height, &rest) == 2 && width == height)
            found.push_back(width);
    }
    closedir(sizes);
    std::sort(found.begin(), found.end());
    if (found.empty())
        fail(icons, "holds no icon");
    for (int size : found)
        checkIcon(icons + ::size(size, size) + "/gravelmoth.png", size);
}

// The race starts the engine at the loop's first sample, at every race start and every
// resume after a pause: unless that sample is a zero crossing, the speaker jumps with a
// click. It must lie between its neighbours, on either side of zero, and nearer to zero than
// half a step. Round the loop the wave goes on as it does beside the seam, with no step.
void checkSeam(const std::string& file, const std::vector<double>& samples, double seam) {
    const size_t count = samples.size();
    const double first = samples[0];
    const double before = samples[count - 1];
    const double after = samples[1];
    const double beside =
        std::fmax(std::fabs(after - first), std::fabs(before - samples[count - 2]));
    std::printf("%s: starts at %.0f of 32768, steps %.0f across the seam, %.0f beside it\n",
                file.c_str(), 32768 * first, 32768 * seam, 32768 * beside);
    if (std::fabs(first) > 0.02 || std::fabs(first) > beside / 2 || before * after > 0)
        fail(file, "does not start at a zero crossing, so starting it clicks");
    if (seam > 2 * beside)
        fail(file, "steps where it loops, more than twice the steps beside the seam");
}

// The race loops the engine note: the file must hold whole periods of it, so that its end
// leads into its start as any period leads into the next.
void checkLoop(const std::string& file, const std::vector<double>& samples) {
    const size_t count = samples.size();
    if (count < 80) {
        fail(file, "is too short to hold a note");
        return;
    }
    // The pitch is the first strong peak of the autocorrelation: its multiples match as well.
    std::vector<double> match(count / 4 + 2, 0.0);
    double best = 0;
    for (size_t lag = 20; lag < match.size(); ++lag) {
        match[lag] = correlation(samples, 0, lag, count - lag);
        best = std::fmax(best, match[lag]);
    }
    const size_t period = firstPeak(match, 21, 0.95 * best);
    if (best < 0.5 || period == 0) {
        fail(file, "has no clear pitch to loop");
        return;
    }
    if (count % period != 0)
        fail(file, std::to_string(count) + " samples are not a whole number of periods of " +
                       std::to_string(period));
    if (correlation(samples, 0, count - period, period) < 0.8)
        fail(file, "its last period does not lead into its first");
    double largest = 0;
    for (size_t i = 1; i < count; ++i)
        largest = std::fmax(largest, std::fabs(samples[i] - samples[i - 1]));
    const double seam = std::fabs(samples[0] - samples[count - 1]);
    if (seam > largest)
        fail(file, "jumps where it loops, more than anywhere inside it");
    checkSeam(file, samples, seam);
}

// A sound's samples and their rate a second; no samples when it cannot be loaded.
struct soundData {
    std::vector<double> values;
    double rate = 0;
};

soundData checkSound(const std::string& file, bool loops) {
    SAMPLE* sound = load_sample(file.c_str());
    if (!sound) {
        fail(file, "load_sample cannot load it");
        return {};
    }
    if (sound->stereo)
        fail(file, "is stereo, not mono");
    if (sound->len == 0 || sound->len >= static_cast<unsigned long>(sound->freq))
        fail(file, "lasts " + std::to_string(sound->len) + " samples at " +
                       std::to_string(sound->freq) + " a second: not under a second");
    const std::vector<double> samples = sampleValues(sound);
    double peak = 0;
    for (double sample : samples)
        peak = std::fmax(peak, std::fabs(sample));
    if (peak < 0.25)
        fail(file, "is nearly silent");
    if (loops && !samples.empty())
        checkLoop(file, samples);
    if (!loops && !samples.empty() &&
        (std::fabs(samples.front()) > 0.02 || std::fabs(samples.back()) > 0.02))
        fail(file, "does not start and end at silence, so it clicks");
    const double rate = sound->freq;
    destroy_sample(sound);
    return {samples, rate};
}

// A two-pole filter (the usual biquad of the audio cookbook), low-pass or high-pass at cutoff
// Hz, with no resonance.
std::vector<double> filtered(const soundData& sound, double cutoff, bool high) {
    const std::vector<double>& samples = sound.values;
    const double pi = 3.14159265358979323846;
    const double w = 2 * pi * cutoff / sound.rate;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double c = std::cos(w);
    const double a0 = 1 + alpha;
    const double b1 = (high ? -(1 + c) : 1 - c) / a0;
    const double b0 = (high ? (1 + c) / 2 : (1 - c) / 2) / a0;
    const double a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
    std::vector<double> out(samples.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        out[i] = b0 * samples[i] + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = samples[i];
        y2 = y1;
        y1 = out[i];
    }
    return out;
}

// The share of a sound's energy below (or above) cutoff Hz.
double band(const soundData& sound, double cutoff, bool high) {
    const double all = power(sound.values);
    return all > 0 ? power(filtered(sound, cutoff, high)) / all : 0;
}

// How loud a sound is heard: its RMS over its whole length at the volume (of 255) the game
// plays it with, in dB of full scale.
double heardLevel(const soundData& sound, int volume) {
    const double rms = std::sqrt(power(sound.values)) * volume / 255;
    return rms > 0 ? 20 * std::log10(rms) : -200;
}

// The engine plays through the whole race; it must stay a bed under the sounds that tell the
// player something, and not tire the ear.
void checkEngine(const std::string& file, const soundData& engine) {
    const double harsh = band(engine, 1000, true);
    std::printf("%s: %.1f dB at volume %d, %.1f %% of its energy above 1 kHz\n", file.c_str(),
                heardLevel(engine, engineVolumeAtRest), engineVolumeAtRest, 100 * harsh);
    if (harsh > 0.03)
        fail(file, "is harsh: more than 3 % of its energy lies above 1 kHz");
}

// Each sound that tells the player something stands at least 3 dB above the engine, at the
// volumes the game plays them with.
void checkAboveEngine(const std::string& file, const soundData& sound, int volume,
                      const soundData& engine) {
    const double level = heardLevel(sound, volume);
    const double above = level - heardLevel(engine, engineVolumeAtRest);
    std::printf("%s: %.1f dB at volume %d, %.1f dB above the engine\n", file.c_str(), level, volume,
                above);
    if (above < 3)
        fail(file, "is heard only " + std::to_string(above) + " dB above the engine, not 3");
}

// The shot is a bang with a crack: most of it lies low, but not all.
void checkBody(const std::string& file, const soundData& shot) {
    const double low = band(shot, 300, false);
    const double hiss = band(shot, 2000, true);
    std::printf("%s: %.0f %% of its energy below 300 Hz, %.0f %% above 2 kHz\n", file.c_str(),
                100 * low, 100 * hiss);
    if (low < 0.5)
        fail(file, "has little body: less than half of its energy lies below 300 Hz");
    if (hiss < 0.08)
        fail(file, "is dull: less than 8 % of its energy lies above 2 kHz");
}

// A sound's loudness over time: the RMS of each 2 ms of it.
std::vector<double> envelope(const soundData& sound) {
    const size_t window = static_cast<size_t>(sound.rate / 500);
    std::vector<double> levels;
    for (size_t start = 0; start + window <= sound.values.size(); start += window) {
        double sum = 0;
        for (size_t i = start; i < start + window; ++i)
            sum += sound.values[i] * sound.values[i];
        levels.push_back(std::sqrt(sum / window));
    }
    return levels;
}

// The robot fires about a thousand times a race: its shot must not tire the ear. It is short,
// it swells in rather than starting with a step, and little of it is shrill.
void checkGentle(const std::string& file, const soundData& shot) {
    const double length = shot.values.size() / shot.rate;
    const std::vector<double> levels = envelope(shot);
    const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
    size_t swell = 0;
    while (swell < levels.size() && levels[swell] < loudest / 2)
        ++swell;
    const double attack = 2.0 * swell;
    const double shrill = band(shot, 3000, true);
    std::printf("%s: lasts %.0f ms, reaches half its loudness after %.0f ms, %.1f %% of its "
                "energy above 3 kHz\n",
                file.c_str(), 1000 * length, attack, 100 * shrill);
    if (length > 0.2)
        fail(file, "lasts " + std::to_string(length) + " s, more than 0.2 s");
    if (attack < 6)
        fail(file, "starts with a step: half its loudness within " + std::to_string(attack) +
                       " ms, not 6");
    if (shrill > 0.05)
        fail(file, "is shrill: more than 5 % of its energy lies above 3 kHz");
}

// The magnitudes of a sound's spectrum, from 0 Hz up to half its rate, over the sound padded
// with silence to a power of two.
std::vector<double> spectrum(const std::vector<double>& samples) {
    size_t size = 1;
    while (size < samples.size())
        size *= 2;
    std::vector<std::complex<double>> bins(size);
    for (size_t i = 0; i < samples.size(); ++i)
        bins[i] = samples[i];
    fourier(bins, false);
    std::vector<double> magnitudes(size / 2 + 1);
    for (size_t i = 0; i < magnitudes.size(); ++i)
        magnitudes[i] = std::abs(bins[i]);
    return magnitudes;
}

// Where a sound's energy is centred in its spectrum, in Hz, on the scale the ear hears pitch
// on: the mean of the frequencies' octaves, weighted by their energy. What lies below 20 Hz
// is not heard.
double centroid(const soundData& sound) {
    const std::vector<double> magnitudes = spectrum(sound.values);
    const double binWidth = sound.rate / (2.0 * (magnitudes.size() - 1));
    double weighted = 0;
    double total = 0;
    for (size_t i = static_cast<size_t>(std::ceil(20 / binWidth)); i < magnitudes.size(); ++i) {
        const double energy = magnitudes[i] * magnitudes[i];
        weighted += std::log2(i * binWidth) * energy;
        total += energy;
    }
    return total > 0 ? std::exp2(weighted / total) : 0;
}

// "I fired" and "a mine hit me" must not sound alike: their spectra are centred at least an
// octave apart.
void checkUnlike(const std::string& shotFile, const soundData& shot, const std::string& mineFile,
                 const soundData& mine) {
    const double shotCentre = centroid(shot);
    const double mineCentre = centroid(mine);
    const double ratio =
        std::fmax(shotCentre, mineCentre) / std::fmax(1.0, std::fmin(shotCentre, mineCentre));
    std::printf("%s: centred at %.0f Hz; %s: at %.0f Hz, %.2f times apart\n", shotFile.c_str(),
                shotCentre, mineFile.c_str(), mineCentre, ratio);
    if (ratio < 2)
        fail(mineFile, "sounds like " + shotFile + ": their spectra are centred only " +
                           std::to_string(ratio) + " times apart, not 2");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "checkassets: the library did not start\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";

    // The player's car and every picture of every kind of enemy.
    std::vector<std::string> sprites{"car"};
    for (const enemyKind& kind : enemyKinds)
        for (const sharedFile* file = kind.files; file != kind.files + kind.fileCount; ++file)
            if (file->picture)
                sprites.push_back(std::filesystem::path(file->name).stem());
    int carW = 0;
    int carH = 0;
    for (const std::string& name : sprites) {
        const std::string file = folder + "gfx/" + name + ".tga";
        loaded picture;
        if (!load(file, picture))
            continue;
        if (picture.exact->w >= 320 || picture.exact->h >= 200)
            fail(file, "is " + size(picture.exact->w, picture.exact->h) +
                           ", not smaller than the screen");
        checkMask(file, picture);
        checkSprite(file, picture);
        const std::string& kind = name;
        if (kind == "stone" || kind == "mine" || kind == "enemycar" || kind == "robotbullet")
            checkStrikes(file, picture.exact);
        if (kind == "robotbullet") {
            checkStandsOut(file, picture.exact);
            checkContrastOnRoad(file, picture.exact);
        }
        if (kind == "car") {
            carW = picture.exact->w;
            carH = picture.exact->h;
        }
    }
    {
        const std::string mineFile = folder + "gfx/mine.tga";
        const std::string stoneFile = folder + "gfx/stone.tga";
        loaded mine, stone;
        if (load(mineFile, mine) && load(stoneFile, stone))
            checkMineAgainstStone(mineFile, mine.exact, stoneFile, stone.exact);
    }
    const char* const lookAlikes[][2] = {
        {"car", "enemycar"}, {"stone", "mine"}, {"mine", "robotbullet"}, {"stone", "robotbullet"}};
    for (const auto& pair : lookAlikes) {
        const std::string oneFile = folder + "gfx/" + pair[0] + ".tga";
        const std::string otherFile = folder + "gfx/" + pair[1] + ".tga";
        loaded one, other;
        if (load(oneFile, one) && load(otherFile, other))
            checkColorsApart(oneFile, one.exact, otherFile, other.exact);
    }
    {
        const std::string file = folder + "gfx/explosion.tga";
        loaded picture;
        if (load(file, picture)) {
            checkMask(file, picture);
            checkFlash(file, picture, carW, carH);
        }
    }
    {
        const std::string file = folder + "gfx/title.tga";
        loaded picture;
        if (load(file, picture)) {
            checkTitle(file, picture);
            checkTitleTexts(file, picture.exact);
        }
    }
    checkIcons(folder);
    const std::string engineFile = folder + "sfx/racecar.wav";
    const soundData engine = checkSound(engineFile, true);
    if (!engine.values.empty())
        checkEngine(engineFile, engine);
    const struct {
        const char* name;
        int volume;
    } signals[] = {
        {"explosion", shotVolume}, {"mineexplosion", mineVolume}, {"robotshoot", robotShotVolume}};
    soundData shot, mine;
    for (const auto& signal : signals) {
        const std::string name = signal.name;
        const std::string file = folder + "sfx/" + name + ".wav";
        const soundData sound = checkSound(file, false);
        if (sound.values.empty())
            continue;
        if (!engine.values.empty())
            checkAboveEngine(file, sound, signal.volume, engine);
        if (name == "explosion") {
            checkBody(file, sound);
            shot = sound;
        }
        if (name == "mineexplosion")
            mine = sound;
        if (name == "robotshoot")
            checkGentle(file, sound);
    }
    if (!shot.values.empty() && !mine.values.empty())
        checkUnlike(folder + "sfx/explosion.wav", shot, folder + "sfx/mineexplosion.wav", mine);

    if (failures)
        std::printf("%d problems\n", failures);
    return failures ? 1 : 0;
}
END_OF_MAIN()
