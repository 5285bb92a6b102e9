#include "statusstrip.h"

#include "globals.h"
#include "layout.h"

void drawStatusStrip(BITMAP* target, int top, int damage, bool reloading, int hours, int minutes) {
    const int w = target->w;
    const int bottom = top + statusStripRows - 1;
    rectfill(target, 0, top, w - 1, bottom, colors::black);
    rectfill(target, 1, top + 2, (w >> 1) - damage, bottom - 2, colors::lgray);
    textprintf_right_ex(target, font, w - 2, top + 1, colors::white, -1, "Time: %2i:%2i", hours,
                        minutes);
    if (reloading)
        textout_ex(target, font, "Reloading", (w >> 1) - 3, top + 1, colors::gray, -1);
}
