// The game's sounds, synthesised from nothing but arithmetic so that every build writes the
// very same bytes: no rand(), no library mathematics that may round differently elsewhere.
#pragma once

#include <string>
#include <vector>

const int sampleRate = 22050;

// Samples between -1 and 1.
using waveform = std::vector<double>;

// The engine note: whole periods only, so the race can loop it without a click.
waveform engineLoop();
// The player's shot: a short, punchy blast.
waveform shotBlast();
// A mine going off: bigger and deeper than the shot.
waveform mineBoom();
// The robot firing: a short, soft falling zap.
waveform laserZap();

// Length in samples of one period of the engine note, and how many of them the loop holds.
const int enginePeriod = 160;
const int enginePeriods = 56;

// Writes a mono 16-bit PCM WAV file through libsndfile.
void saveWav(const waveform& samples, const std::string& file);
