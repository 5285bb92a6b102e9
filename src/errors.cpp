#include "errors.h"

#include "tools.h"

#include <allegro.h>

#include <cstdlib>

namespace error {

static std::string quoted(const std::string& prefix, const std::string& fileName) {
    return prefix + "\"" + fileName + "\" failed";
}

void fatal(std::string message) {
    // Leave the window first so the message is not hidden behind it.
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message("%s", message.c_str());
    // A failure must never look like success to a launcher or a script.
    std::exit(EXIT_FAILURE);
}

void timer() {
    fatal("Error001: Timer could not be initialised");
}
void keyboard() {
    fatal("Error002: No keyboarddriver found");
}
void soundDriver() {
    fatal("Error003: Sound driver could not be initialised");
}
void graphicMode() {
    fatal("Error004: Graphic mode couldn't be set");
}
void create() {
    fatal("Error005: Creating bitmap failed");
}
void loadBit(std::string fileName) {
    fatal(quoted("Error006: Loading bitmap ", fileName));
}
void datafile(std::string fileName) {
    fatal(quoted("Error007: Loading datafile ", fileName));
}
void sampleLoad(std::string fileName) {
    fatal(quoted("Error008: Loading sample ", fileName));
}

void divBy0(std::string moduleName) {
    std::string message = "Error009: A division by 0 error was prevented in the following modul:\n";
    allegro_message("%s", (message + moduleName).c_str());
}

} // namespace error

BITMAP* loadPicture(const std::string& fileName) {
    BITMAP* picture = load_bitmap(fileName.c_str(), nullptr);
    if (!picture)
        error::loadBit(fileName);
    return picture;
}

void loadSound(sound& effect, const std::string& fileName) {
    if (!effect.load(fileName))
        error::sampleLoad(fileName);
}
