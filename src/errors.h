// Numbered error reports. The fatal ones leave the graphics mode, show their message and end
// the program; divBy0 only shows its message.
#pragma once

#include <allegro.h>

#include <string>

class sound;

namespace error {
[[noreturn]] void fatal(std::string message);
[[noreturn]] void timer();
[[noreturn]] void keyboard();
[[noreturn]] void soundDriver();
[[noreturn]] void graphicMode();
[[noreturn]] void create();
[[noreturn]] void loadBit(std::string fileName);
[[noreturn]] void datafile(std::string fileName);
[[noreturn]] void sampleLoad(std::string fileName);
void divBy0(std::string moduleName);
} // namespace error

// Load a file the game cannot go on without: on failure the matching report ends the program.
BITMAP* loadPicture(const std::string& fileName);
void loadSound(sound& effect, const std::string& fileName);
