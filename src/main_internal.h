// Test seam of the program frame: the pieces the title screen is made of (its picture, one
// tick, the decision of one tick), the screens' look at the ticks, and the reading and saving of
// the best result, so that tests can drive them one by one. The rest of the game needs only main.h.
#pragma once

#include "main.h"

#include <allegro.h>

#include <string>

// The command line's options; false, with a one-line reason, for an unknown option or a bad
// scale. HELP is set by --help.
bool parseOptions(int argc, char** argv, windowOptions& options, bool& help, std::string& error);
// What --help prints: every option, once.
extern const char* const optionsHelp;
// The largest whole scale at which the 320 by 200 frame fits in WIDTH by HEIGHT; 1 at least.
int fittingScale(int width, int height);
// Opens the window the options ask for (again, if one is open) and places the frame in it.
void openWindow(const windowOptions& options);
// show() puts the frame enlarged SCALE times with its top left corner at X, Y.
void placeFrame(int scale, int x, int y);
// Whether ALSA's default device, opened in a child process, answers within SECONDS.
bool soundAnswers(double seconds);

// The title picture, loaded afresh, with the stored best printed on it; the caller frees it.
BITMAP* titlePicture();
// One tick of the title screen: its decision, then its frame. 1 race, 0 quit, 2 undecided.
int titleTick(BITMAP* picture);
// The title's decision for one tick: 1 race, 0 quit, 2 undecided.
int titleDecision();

// One look of the screens' wait at the ticks, at NOW seconds of the monotonic clock: true when
// the game stood still since the last look. When ticks have stopped coming for seconds, as
// after a stop of half an hour, the tick is installed afresh and the ticks due are added.
bool lookAtTicks(double now);
// The clock the screens' wait reads, in seconds: the monotonic one, or a test's own.
extern double (*screenClock)();

// The stored best; a missing file reads as 0:00 and bytes missing from a short file as zeros.
// Anything but a regular file the player may read also reads as 0:00, and never blocks.
void readHighscore(int& hours, int& minutes);
// Replaces the stored best as a whole, keeping its permission bits; false, with the old file
// untouched, when that fails, when the file is one the game leaves alone (unreadable, without
// write permission bits, not a regular file), or when it holds as good a result by the time the
// new one is ready.
bool saveHighscore(int hours, int minutes);
