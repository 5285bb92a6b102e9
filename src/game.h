// One race: the player's car, the clock, damage, the shot, the status strip, the pause screen
// and the table of enemies. game() loads a race, runs its loop and returns its result. The
// pieces it is made of, for the tests to drive one by one, are in game_internal.h.
#pragma once

#include <cstdint>

// The race clock reached: a later clock is a better result.
struct returnStruct {
    std::int32_t hours;
    std::int32_t minutes;
};

// How loud (of 255) the player's shot is played, and the engine at standstill; each speed
// step adds to the engine.
const int shotVolume = 200;
const int engineVolumeAtRest = 120;

// True while the race goes on; the loop looks at it once per pass.
extern bool run;

returnStruct* game();
// The clock that the race under way, or else the last one, has reached; false before the first.
// Safe to call from any thread.
bool raceReached(returnStruct& clock);

// The pause screen; returns when the player resumes, quits (run becomes false) or closes.
void showProgress(int ticks, int minutes, int hours);
