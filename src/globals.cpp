#include "globals.h"

namespace colors {
int black;
int vdgray;
int dgray;
int gray;
int lgray;
int white;
} // namespace colors

void makeColors() {
    colors::white = makecol(255, 255, 255);
    colors::lgray = makecol(206, 206, 206);
    colors::gray = makecol(156, 156, 156);
    colors::dgray = makecol(99, 99, 99);
    colors::vdgray = makecol(49, 49, 49);
    colors::black = 0;
}

namespace global {
BITMAP* dbuffer;
std::atomic<bool> exit{false};
} // namespace global
