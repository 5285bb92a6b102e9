// The program frame: start-up and shutdown, the tick counter, the title screen and the best
// result kept in "highscore.sav". The pieces of the title screen and of the best result, for the
// tests to drive one by one, are in main_internal.h.
#pragma once

#include <atomic>

struct returnStruct;

// The window's title, by which players' desktops and the tests find the game's window.
inline constexpr char windowTitle[] = "Gravelmoth - Tarnwick";

// Ticks not yet processed: the library's timer thread adds, the screen loops take away.
extern std::atomic<int> timerCounter;

// How the 320 by 200 picture reaches the display; the defaults are the game's own window.
struct windowOptions {
    int scale = 1;           // each pixel a scale by scale block
    bool autoScale = false;  // the largest scale whose window fits the desktop comfortably
    bool fullscreen = false; // the whole display, the picture centred on black
};

void init(const windowOptions& options = {});
void uninit();
// Copies the whole double buffer to the screen, enlarged as the window options asked.
void show();
void closeFunc();
void timerCounterUpdater();
// Waits, polling, until a tick is pending (true) or the game is to end (false). Ticks that
// stopped coming after a long stop are made to come again.
bool awaitTick();

// The title screen: 1 to start a race, 0 to quit.
int title();

// Stores the race's result when it beats the stored best, taking turns with other games
// saving in the same folder.
void updateHighscore(returnStruct* result);
