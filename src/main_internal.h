// Test seam of the program frame: the pieces the title screen is made of (its picture, one
// tick, the decision of one tick), so that tests can drive them one by one. The rest of the game
// needs only main.h.
#pragma once

#include <allegro.h>

// The title picture, loaded afresh, with the stored best printed on it; the caller frees it.
BITMAP* titlePicture();
// One tick of the title screen: its decision, then its frame. 1 race, 0 quit, 2 undecided.
int titleTick(BITMAP* picture);
// The title's decision for one tick: 1 race, 0 quit, 2 undecided.
int titleDecision();
