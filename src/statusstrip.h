// The race's status strip: the health bar, the clock and "Reloading". The asset generator
// draws the title picture's strip with it too, so the title shows the race's own.
#pragma once

#include <allegro.h>

// Draws the strip across target with its top row at top, in the greys of colors::.
void drawStatusStrip(BITMAP* target, int top, int damage, bool reloading, int hours, int minutes);
