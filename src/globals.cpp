#include "globals.h"

namespace colors {
int black;
int vdgray;
int dgray;
int gray;
int lgray;
int white;
} // namespace colors

namespace global {
BITMAP* dbuffer;
std::atomic<bool> exit{false};
} // namespace global
