// The program frame: start-up and shutdown, the tick counter, the title screen and the best
// result kept in "highscore.sav". The pieces of the title screen, for the tests to drive one by
// one, are in main_internal.h.
#pragma once

#include <atomic>

struct returnStruct;

// Ticks not yet processed: the library's timer thread adds, the screen loops take away.
extern std::atomic<int> timerCounter;

void init();
void uninit();
// Copies the whole double buffer to the screen.
void show();
void closeFunc();
void timerCounterUpdater();

// The title screen: 1 to start a race, 0 to quit.
int title();

// The stored best; a missing file reads as 0:00 and bytes missing from a short file as zeros.
// Anything but a regular file the player may read also reads as 0:00, and never blocks.
void readHighscore(int& hours, int& minutes);
// Replaces the stored best as a whole, keeping its permission bits; false, with the old file
// untouched, when that fails or when the file is one the game leaves alone (unreadable,
// without write permission bits, not a regular file).
bool saveHighscore(int hours, int minutes);
// Stores the race's result when it beats the stored best, taking turns with other games
// saving in the same folder.
void updateHighscore(returnStruct* result);
