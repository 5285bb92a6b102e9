#include "sounds.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace {

const double pi = 3.14159265358979323846;

// sin(2 pi turns), from a plain polynomial: the same result on every machine.
double wave(double turns) {
    double t = turns - std::floor(turns); // 0 .. 1
    // Fold onto a quarter turn: sin is odd around 1/2 and even around 1/4.
    double sign = 1;
    if (t >= 0.5) {
        t -= 0.5;
        sign = -1;
    }
    if (t > 0.25)
        t = 0.5 - t;
    const double x = 2 * pi * t; // 0 .. pi/2
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 8; ++n) {
        term *= -x2 / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sign * sum;
}

// e to the power x for the modest x used here, from a series and exact halvings.
double expo(double x) {
    int halvings = 0;
    while (x < -0.5 || x > 0.5) {
        x /= 2;
        ++halvings;
    }
    double term = 1;
    double sum = 1;
    for (int n = 1; n <= 12; ++n) {
        term *= x / n;
        sum += term;
    }
    while (halvings-- > 0)
        sum *= sum;
    return sum;
}

// Rounds hard peaks off gently: roughly linear for small values, never beyond +-1.
double soften(double x) {
    return x / (1 + std::fabs(x));
}

// A fixed-seed noise source (xorshift), so the noise is the same in every build.
class noise {
  public:
    explicit noise(std::uint32_t seed) : state(seed) {}
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1; // -1 .. 1
    }

  private:
    std::uint32_t state;
};

// A one-pole low-pass filter; k near 0 is dark, near 1 passes almost everything.
class lowPass {
  public:
    double operator()(double in, double k) { return value += k * (in - value); }
    double value = 0;
};

// Scales the samples so that the loudest one reaches peak.
void normalise(waveform& samples, double peak) {
    double loudest = 0;
    for (double sample : samples)
        loudest = std::fmax(loudest, std::fabs(sample));
    if (loudest > 0)
        for (double& sample : samples)
            sample *= peak / loudest;
}

// A few milliseconds of fade at both ends, so a one-shot sound starts and stops without a click.
void fadeEnds(waveform& samples, int in, int out) {
    const int size = static_cast<int>(samples.size());
    for (int i = 0; i < in && i < size; ++i)
        samples[static_cast<size_t>(i)] *= static_cast<double>(i) / in;
    for (int i = 0; i < out && i < size; ++i)
        samples[static_cast<size_t>(size - 1 - i)] *= static_cast<double>(i) / out;
}

// Turns a loop round so that it starts where it rises through zero closest to it: the race
// starts the engine at the first sample, and a first sample far from zero clicks. The loop
// repeats as a whole, so it plays on round its end as before.
void startAtZero(waveform& loop) {
    const size_t size = loop.size();
    size_t best = size;
    for (size_t i = 0; i < size; ++i) {
        const double before = loop[(i + size - 1) % size];
        if (before < 0 && loop[i] >= 0 && (best == size || loop[i] < loop[best]))
            best = i;
    }
    if (best == size)
        return;
    std::rotate(loop.begin(), loop.begin() + static_cast<std::ptrdiff_t>(best), loop.end());
}

double seconds(int sample) {
    return static_cast<double>(sample) / sampleRate;
}

} // namespace

// Each period is one firing of the engine: a round note of a few soft harmonics, a low knock
// that dies away within the period, and a breath of exhaust noise. Four cylinders fire with
// slightly different strength, which gives the note a gentle beat. Everything repeats after
// the whole loop, the noise included, and the filter runs round the loop until it has settled,
// so the last sample leads into the first as smoothly as any two neighbours do. The ear has to
// live with this for minutes: nothing sharp, little above the low harmonics.
waveform engineLoop() {
    const int size = enginePeriod * enginePeriods;
    const double cylinders[4] = {1.0, 0.9, 0.96, 0.86};
    noise hiss(0x6a11e7u);
    waveform raw(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        const int firing = i / enginePeriod;
        const double phase = static_cast<double>(i % enginePeriod) / enginePeriod;
        const double strength = cylinders[firing % 4] * (1 + 0.04 * wave(firing / 14.0));
        double note = 0;
        for (int harmonic = 1; harmonic <= 6; ++harmonic)
            note += wave(harmonic * phase + 0.1 * harmonic) / (harmonic * harmonic);
        const double knock = expo(-phase * 5) * wave(phase * 2 + 0.25) * strength;
        const double puff = hiss.next() * expo(-phase * 4) * strength;
        raw[static_cast<size_t>(i)] = 0.8 * note + 0.7 * knock + 0.2 * puff;
    }
    lowPass body;
    lowPass softer;
    waveform samples(raw.size());
    for (int pass = 0; pass < 4; ++pass)
        for (size_t i = 0; i < raw.size(); ++i)
            samples[i] = softer(body(raw[i], 0.3), 0.4);
    for (double& sample : samples)
        sample = soften(1.4 * sample);
    normalise(samples, 0.3);
    startAtZero(samples);
    return samples;
}

// A crack of bright noise over a falling thump with the weight of a gun, and a body of
// darkening noise: a bang with something under its hiss.
waveform shotBlast() {
    const int size = sampleRate * 45 / 100;
    noise blast(0x5407u);
    lowPass tone;
    lowPass low;
    waveform samples(static_cast<size_t>(size));
    double thumpPhase = 0;
    for (int i = 0; i < size; ++i) {
        const double t = seconds(i);
        const double crack = blast.next() * expo(-t / 0.006);
        const double rumble = tone(blast.next(), 0.1 + 0.6 * expo(-t / 0.04));
        thumpPhase += (55 + 130 * expo(-t / 0.035)) / sampleRate;
        const double thump = wave(thumpPhase) * expo(-t / 0.09);
        const double boom = low(blast.next(), 0.03) * expo(-t / 0.12);
        const double body = rumble * (expo(-t / 0.06) + 0.3 * expo(-t / 0.16));
        samples[static_cast<size_t>(i)] =
            soften(1.6 * (0.9 * crack + 2.0 * body + 1.2 * thump + 2 * boom));
    }
    fadeEnds(samples, 22, sampleRate / 25);
    normalise(samples, 0.9);
    return samples;
}

// A deep falling thump under a roll of dark noise, with crackles as debris comes down, and
// over it the ring of the mine's steel shell bursting: a few inharmonic partials from 900 Hz
// up, as struck metal has. The ring is what tells a mine apart from the player's own shot,
// which is a boom alone.
waveform mineBoom() {
    const int size = sampleRate * 95 / 100;
    noise blast(0xb00au);
    noise crackle(0xc4ac1eu);
    lowPass dark;
    lowPass darker;
    const double partials[][3] = {// Hz, strength, seconds to fall by e
                                  {900, 1.0, 0.22},
                                  {1350, 0.8, 0.16},
                                  {2030, 0.35, 0.09},
                                  {2710, 0.2, 0.06}};
    waveform samples(static_cast<size_t>(size));
    double thumpPhase = 0;
    for (int i = 0; i < size; ++i) {
        const double t = seconds(i);
        const double attack = t < 0.004 ? t / 0.004 : 1;
        const double roll = darker(dark(blast.next(), 0.25 * expo(-t / 0.15) + 0.04), 0.3);
        thumpPhase += (40 + 90 * expo(-t / 0.08)) / sampleRate;
        const double thump = wave(thumpPhase) * expo(-t / 0.25);
        const double spark = crackle.next();
        const double pop = std::fabs(spark) > 0.996 ? spark * expo(-t / 0.35) : 0;
        const double body = roll * (expo(-t / 0.22) + 0.4 * expo(-t / 0.6));
        double ring = 0;
        for (const auto& partial : partials)
            ring += partial[1] * wave(partial[0] * t) * expo(-t / partial[2]);
        samples[static_cast<size_t>(i)] =
            soften(2.4 * attack * (3.0 * body + 0.8 * thump + 1.5 * ring) + 0.8 * pop);
    }
    fadeEnds(samples, 22, sampleRate / 10);
    normalise(samples, 0.95);
    return samples;
}

// Two rounded voices a fifth apart that sweep down, swelling in over a few milliseconds and
// dying away fast. It is the only warning of a falling bullet, heard about a thousand times
// a race: short, with no hard edge and nothing shrill, yet clearly over the engine.
waveform laserZap() {
    const int size = sampleRate * 16 / 100;
    const double swell = 0.016;
    waveform samples(static_cast<size_t>(size));
    double phase = 0;
    double upper = 0;
    for (int i = 0; i < size; ++i) {
        const double t = seconds(i);
        const double pitch = 480 + 900 * expo(-t / 0.04);
        phase += pitch / sampleRate;
        upper += 1.5 * pitch / sampleRate;
        const double voice = soften(2 * wave(phase));
        const double fifth = soften(1.5 * wave(upper));
        // A raised cosine: the swell starts and ends without a corner.
        const double rise = t < swell ? (1 - wave(t / swell / 2 + 0.25)) / 2 : 1;
        const double level = rise * expo(-t / 0.07);
        samples[static_cast<size_t>(i)] = (0.7 * voice + 0.3 * fifth) * level;
    }
    fadeEnds(samples, 0, sampleRate / 100);
    normalise(samples, 0.9);
    return samples;
}

// The samples as 16-bit values, clipped to the loudest the format holds.
static std::vector<short> pcm16(const waveform& samples) {
    std::vector<short> values;
    values.reserve(samples.size());
    for (double sample : samples) {
        const double clamped = std::fmax(-1.0, std::fmin(1.0, sample));
        values.push_back(static_cast<short>(std::lround(clamped * 32767)));
    }
    return values;
}

void saveWav(const waveform& samples, const std::string& file) {
    const std::vector<short> values = pcm16(samples);
    SF_INFO format{};
    format.samplerate = sampleRate;
    format.channels = 1;
    format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &format);
    if (!out)
        throw std::runtime_error("cannot write " + file + ": " + sf_strerror(nullptr));
    const sf_count_t count = static_cast<sf_count_t>(values.size());
    const bool written = sf_write_short(out, values.data(), count) == count;
    if (sf_close(out) != 0 || !written)
        throw std::runtime_error("cannot write " + file);
}
