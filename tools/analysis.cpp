#include "analysis.h"

#include <cmath>
#include <utility>

std::vector<double> sampleValues(const SAMPLE* sound) {
    const unsigned channels = sound->stereo ? 2 : 1;
    std::vector<double> values(sound->len);
    for (unsigned long i = 0; i < sound->len; ++i)
        for (unsigned c = 0; c < channels; ++c) {
            const unsigned long at = i * channels + c;
            values[i] +=
                sound->bits == 8
                    ? (static_cast<const unsigned char*>(sound->data)[at] - 128) / 128.0
                    : (static_cast<const unsigned short*>(sound->data)[at] - 32768) / 32768.0;
        }
    return values;
}

double power(const std::vector<double>& values) {
    double sum = 0;
    for (double value : values)
        sum += value * value;
    return values.empty() ? 0 : sum / values.size();
}

double correlation(const std::vector<double>& values, std::size_t a, std::size_t b,
                   std::size_t length) {
    double ab = 0;
    double aa = 0;
    double bb = 0;
    for (std::size_t i = 0; i < length; ++i) {
        ab += values[a + i] * values[b + i];
        aa += values[a + i] * values[a + i];
        bb += values[b + i] * values[b + i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

std::size_t firstPeak(const std::vector<double>& match, std::size_t from, double least) {
    for (std::size_t lag = from; lag + 1 < match.size(); ++lag)
        if (match[lag] >= least && match[lag] >= match[lag - 1] && match[lag] >= match[lag + 1])
            return lag;
    return 0;
}

void fourier(std::vector<std::complex<double>>& bins, bool inverse) {
    const std::size_t size = bins.size();
    for (std::size_t i = 1, j = 0; i < size; ++i) {
        std::size_t bit = size >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(bins[i], bins[j]);
    }
    const double pi = 3.14159265358979323846;
    for (std::size_t length = 2; length <= size; length *= 2) {
        const std::complex<double> turn = std::polar(1.0, (inverse ? 2 : -2) * pi / length);
        for (std::size_t start = 0; start < size; start += length) {
            std::complex<double> w = 1;
            for (std::size_t k = 0; k < length / 2; ++k, w *= turn) {
                const std::complex<double> even = bins[start + k];
                const std::complex<double> odd = bins[start + k + length / 2] * w;
                bins[start + k] = even + odd;
                bins[start + k + length / 2] = even - odd;
            }
        }
    }
}
