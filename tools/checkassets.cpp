// Loads every picture and sound of the game through the library, as the game does, and checks
// the rules the game relies on:
//   checkassets FOLDER
// where FOLDER holds gfx/ and sfx/. Prints one line for each broken rule and fails if any is.
#include "layout.h"

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// Samples as signed values between -1 and 1, whatever the file's bit depth.
std::vector<double> values(const SAMPLE* sound) {
    std::vector<double> result(sound->len);
    for (unsigned long i = 0; i < sound->len; ++i)
        result[i] = sound->bits == 8
                        ? (static_cast<const unsigned char*>(sound->data)[i] - 128) / 128.0
                        : (static_cast<const unsigned short*>(sound->data)[i] - 32768) / 32768.0;
    return result;
}

double correlation(const std::vector<double>& samples, size_t a, size_t b, size_t length) {
    double ab = 0;
    double aa = 0;
    double bb = 0;
    for (size_t i = 0; i < length; ++i) {
        ab += samples[a + i] * samples[b + i];
        aa += samples[a + i] * samples[a + i];
        bb += samples[b + i] * samples[b + i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
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
    size_t period = 0;
    for (size_t lag = 21; lag + 1 < match.size() && period == 0; ++lag)
        if (match[lag] >= 0.95 * best && match[lag] >= match[lag - 1] &&
            match[lag] >= match[lag + 1])
            period = lag;
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
    if (std::fabs(samples[0] - samples[count - 1]) > largest)
        fail(file, "jumps where it loops, more than anywhere inside it");
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
    const std::vector<double> samples = values(sound);
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

double power(const std::vector<double>& samples) {
    double sum = 0;
    for (double sample : samples)
        sum += sample * sample;
    return samples.empty() ? 0 : sum / samples.size();
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
    std::printf("%s: %.1f dB at volume 120, %.1f %% of its energy above 1 kHz\n", file.c_str(),
                heardLevel(engine, 120), 100 * harsh);
    if (harsh > 0.03)
        fail(file, "is harsh: more than 3 % of its energy lies above 1 kHz");
}

// Each sound that tells the player something stands at least 3 dB above the engine, at the
// volumes the game plays them with.
void checkAboveEngine(const std::string& file, const soundData& sound, int volume,
                      const soundData& engine) {
    const double level = heardLevel(sound, volume);
    const double above = level - heardLevel(engine, 120);
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

    const char* const sprites[] = {"car",   "enemycar",    "stone",        "mine",
                                   "robot", "robotbullet", "mineexplosion"};
    int carW = 0;
    int carH = 0;
    for (const char* name : sprites) {
        const std::string file = folder + "gfx/" + name + ".tga";
        loaded picture;
        if (!load(file, picture))
            continue;
        if (picture.exact->w >= 320 || picture.exact->h >= 200)
            fail(file, "is " + size(picture.exact->w, picture.exact->h) +
                           ", not smaller than the screen");
        checkMask(file, picture);
        checkSprite(file, picture);
        const std::string kind = name;
        if (kind == "stone" || kind == "mine" || kind == "enemycar" || kind == "robotbullet")
            checkStrikes(file, picture.exact);
        if (kind == "robotbullet")
            checkStandsOut(file, picture.exact);
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
        if (load(file, picture))
            checkTitle(file, picture);
    }
    const std::string engineFile = folder + "sfx/racecar.wav";
    const soundData engine = checkSound(engineFile, true);
    if (!engine.values.empty())
        checkEngine(engineFile, engine);
    const struct {
        const char* name;
        int volume;
    } signals[] = {{"explosion", 200}, {"mineexplosion", 200}, {"robotshoot", 150}};
    for (const auto& signal : signals) {
        const std::string file = folder + "sfx/" + signal.name + ".wav";
        const soundData sound = checkSound(file, false);
        if (!sound.values.empty() && !engine.values.empty())
            checkAboveEngine(file, sound, signal.volume, engine);
        if (!sound.values.empty() && std::string(signal.name) == "explosion")
            checkBody(file, sound);
    }

    if (failures)
        std::printf("%d problems\n", failures);
    return failures ? 1 : 0;
}
END_OF_MAIN()
