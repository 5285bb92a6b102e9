// Process-wide state shared by every screen: the double buffer, the close flag and the greys.
#pragma once

#include <allegro.h>

#include <atomic>

namespace colors {
// Pixel values for the current colour depth; valid once the graphics mode is set.
extern int black;
extern int vdgray;
extern int dgray;
extern int gray;
extern int lgray;
extern int white;
} // namespace colors
// Sets the greys for the colour depth set last (set_color_depth); the asset generator draws in
// them too.
void makeColors();

namespace global {
// Every frame is composed here and copied whole to the screen by show().
extern BITMAP* dbuffer;
// Set by the window's close button, from the library's own thread, or by a signal that ends
// the session; never cleared.
extern std::atomic<bool> exit;
} // namespace global
