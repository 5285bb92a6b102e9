// One race: the player's car, the clock, damage, the shot, the status strip, the pause screen
// and the table of enemies. game() loads a race, runs its loop and returns its result. The
// pieces it is made of, for the tests to drive one by one, are in game_internal.h.
#pragma once

#include "globals.h"
#include "layout.h"

#include <allegro.h>
#include <cstdint>

// The race clock reached: a later clock is a better result.
struct returnStruct {
    std::int32_t hours;
    std::int32_t minutes;
};

// A race ends at the latest when its clock reaches this hour, at 0 minutes.
const int raceEndHour = 24;
// Ticks in a race minute.
const int ticksPerMinute = 32;
// The points the health bar holds: what strikes the car takes them, and none left ends the
// race. The full bar fills the left half of the 320-column status strip, less its frame.
const int healthPoints = 159;

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

// The status strip across target, its top row at top, in the greys of colors::: the health
// left, "Reloading" while the shot reloads, the clock. Inline, so that the asset generator draws
// the title picture's strip with the race's own drawing without linking the race.
inline void drawStatusStrip(BITMAP* target, int top, int damage, bool reloading, int hours,
                            int minutes) {
    const int w = target->w;
    const int bottom = top + statusStripRows - 1;
    rectfill(target, 0, top, w - 1, bottom, colors::black);
    rectfill(target, 1, top + 2, (w >> 1) - damage, bottom - 2, colors::lgray);
    textprintf_right_ex(target, font, w - 2, top + 1, colors::white, -1, "Time: %2i:%2i", hours,
                        minutes);
    if (reloading)
        textout_ex(target, font, "Reloading", (w >> 1) - 3, top + 1, colors::gray, -1);
}
