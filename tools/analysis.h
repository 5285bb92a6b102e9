// Measures of sounds that the asset check and the end-to-end tests' listener share: a loaded
// sound's values, their power, how well two stretches match, the first clear repeat among
// matches, and a Fourier transform.
#pragma once

#include <allegro.h>

#include <complex>
#include <cstddef>
#include <vector>

// A loaded sound's frames as values between -1 and 1, its channels added, whatever its bit
// depth.
std::vector<double> sampleValues(const SAMPLE* sound);

// The mean square of the values; 0 for none.
double power(const std::vector<double>& values);

// How alike values[a, a + length) and values[b, b + length) are: 1 when one is the other
// scaled, 0 when either is silent.
double correlation(const std::vector<double>& values, std::size_t a, std::size_t b,
                   std::size_t length);

// The first lag from `from` on whose match is a peak (no lower than its neighbours) of at
// least least; 0 when there is none. A note matches itself again at every multiple of its
// period, so the first strong peak is the period itself.
std::size_t firstPeak(const std::vector<double>& match, std::size_t from, double least);

// An in-place radix-2 Fourier transform; the size is a power of two. inverse leaves out the
// 1/n.
void fourier(std::vector<std::complex<double>>& bins, bool inverse);
