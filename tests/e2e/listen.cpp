// Listens to what the game played into a raw file (see sound.sh): 16-bit unsigned little-endian
// stereo, silence at 0x8000, at the library's mixing rate of 44100 frames a second.
//   listen level RAW FROM TO        loudness of bytes FROM..TO in dB of full scale, or "silent"
//   listen period RAW FROM TO       the note's period in frames, or "none" without a clear one
//   listen period WAV               the same for a sample played at its own pitch
//   listen find WAV RAW FROM TO     how well the sample shows in the mix, 0 (not) to 1 (alone)
#include "analysis.h"

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const double mixRate = 44100;

using signal = std::vector<double>;

[[noreturn]] void die(const std::string& why) {
    std::fprintf(stderr, "listen: %s\n", why.c_str());
    std::exit(2);
}

// Both channels added, as values between -1 and 1. The offsets are rounded down to whole frames.
signal readMix(const char* file, long from, long to) {
    from -= from % 4;
    to -= to % 4;
    std::ifstream in(file, std::ios::binary);
    if (!in || to < from)
        die(std::string("cannot read ") + file);
    in.seekg(from);
    std::vector<unsigned char> bytes(static_cast<size_t>(to - from));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()) / 4 * 4);
    signal mix(bytes.size() / 4);
    for (size_t i = 0; i < mix.size(); ++i) {
        const unsigned char* frame = &bytes[4 * i];
        const int left = frame[0] | frame[1] << 8;
        const int right = frame[2] | frame[3] << 8;
        mix[i] = (left - 32768 + right - 32768) / 65536.0;
    }
    return mix;
}

// A sample file as the game loads it; rate receives its frames a second.
signal readSample(const char* file, double& rate) {
    SAMPLE* sample = load_sample(file);
    if (!sample)
        die(std::string("cannot load ") + file);
    const signal samples = sampleValues(sample);
    rate = sample->freq;
    destroy_sample(sample);
    return samples;
}

void level(const signal& mix) {
    const double meanSquare = power(mix);
    if (meanSquare == 0)
        std::printf("silent\n");
    else
        std::printf("%.1f\n", 10 * std::log10(meanSquare));
}

// The period of one stretch: the first lag whose match comes close to the best one, refined
// between its neighbours.
// Zero when nothing repeats clearly, as when another sound covers the note.
double stretchPeriod(const signal& s, size_t from, size_t length, size_t longest) {
    std::vector<double> match(longest + 2, 0.0);
    double best = 0;
    for (size_t lag = 8; lag < match.size(); ++lag) {
        match[lag] = correlation(s, from, from + lag, length);
        best = std::max(best, match[lag]);
    }
    if (best < 0.8)
        return 0;
    const size_t lag = firstPeak(match, 9, 0.9 * best);
    if (lag == 0)
        return 0;
    const double left = match[lag - 1], mid = match[lag], right = match[lag + 1];
    const double bend = left - 2 * mid + right;
    return lag + (bend < 0 ? 0.5 * (left - right) / bend : 0);
}

// The median of the periods of the stretches in which the note is clear; 0 when there are none.
double period(const signal& s, size_t longest) {
    const size_t length = 4 * longest;
    std::vector<double> periods;
    for (size_t from = 0; from + length + longest + 2 <= s.size(); from += length) {
        const double found = stretchPeriod(s, from, length, longest);
        if (found > 0)
            periods.push_back(found);
    }
    if (periods.empty())
        return 0;
    std::sort(periods.begin(), periods.end());
    return periods[periods.size() / 2];
}

void printPeriod(double frames) {
    if (frames > 0)
        std::printf("%.2f\n", frames);
    else
        std::printf("none\n");
}

// Averages pairs of frames: half the work for the search, and nothing of the sounds' character
// is lost at half of 44100 a second.
signal halved(const signal& s) {
    signal half(s.size() / 2);
    for (size_t i = 0; i < half.size(); ++i)
        half[i] = 0.5 * (s[2 * i] + s[2 * i + 1]);
    return half;
}

// The sample at the mixing rate, as the library's mixer steps through it.
signal atMixRate(const signal& samples, double rate) {
    const double step = rate / mixRate;
    signal out;
    for (double at = 0; at + 1 < samples.size(); at += step) {
        const size_t i = static_cast<size_t>(at);
        const double part = at - i;
        out.push_back(samples[i] * (1 - part) + samples[i + 1] * part);
    }
    return out;
}

using spectrum = std::vector<std::complex<double>>;

// The best normalised correlation of the sample's first quarter second with the mix at any
// offset: near 1 when the sample plays alone, about the sample's share of the loudness when
// other sounds play with it, and low when it does not play at all.
void find(const signal& sample, double rate, const signal& mix) {
    signal probe = halved(atMixRate(sample, rate));
    probe.resize(std::min(probe.size(), static_cast<size_t>(mixRate / 2 / 4)));
    const signal heard = halved(mix);
    double probePower = 0;
    for (double value : probe)
        probePower += value * value;
    if (probePower == 0 || heard.size() < probe.size())
        die("the sample is silent or the mix too short");
    size_t size = 1;
    while (size < heard.size() + probe.size())
        size <<= 1;
    spectrum h(size), p(size);
    std::copy(heard.begin(), heard.end(), h.begin());
    std::copy(probe.begin(), probe.end(), p.begin());
    fourier(h, false);
    fourier(p, false);
    for (size_t i = 0; i < size; ++i)
        h[i] *= std::conj(p[i]);
    fourier(h, true);
    double window = 0;
    for (size_t i = 0; i < probe.size(); ++i)
        window += heard[i] * heard[i];
    double best = 0;
    for (size_t at = 0;; ++at) {
        if (window > 1e-6 * probe.size())
            best = std::max(best, h[at].real() / size / std::sqrt(probePower * window));
        if (at + probe.size() >= heard.size())
            break;
        window += heard[at + probe.size()] * heard[at + probe.size()] - heard[at] * heard[at];
    }
    std::printf("%.3f\n", best);
}

long number(const char* text) {
    char* end;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0)
        die(std::string("not a byte offset: ") + text);
    return value;
}

} // namespace

int main(int argc, char** argv) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        die("the library did not start");
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "level" && argc == 5)
        level(readMix(argv[2], number(argv[3]), number(argv[4])));
    else if (what == "period" && argc == 5)
        printPeriod(period(readMix(argv[2], number(argv[3]), number(argv[4])), 1000));
    else if (what == "period" && argc == 3) {
        // In frames of the mix, as the sample sounds at its own pitch.
        double rate;
        const signal samples = readSample(argv[2], rate);
        printPeriod(period(samples, 500) * mixRate / rate);
    } else if (what == "find" && argc == 6) {
        double rate;
        const signal sample = readSample(argv[2], rate);
        find(sample, rate, readMix(argv[3], number(argv[4]), number(argv[5])));
    } else
        die("usage: listen level|period|find ... (see the source)");
    return 0;
}
END_OF_MAIN()
