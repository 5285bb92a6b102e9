// The pictures that are composed from the sprites rather than drawn pixel by pixel: the title
// screen and the desktop icon. The title uses the library's own 8-pixel font, the one in which
// the game prints onto it.
#pragma once

#include "picture.h"

#include <map>
#include <string>

// Every sprite by the name of its grid in art/: the game's pictures by their file names (the
// shot's flash is "explosion"), and the moth of the title.
using sprites = std::map<std::string, picture>;

// Needs the library started (install_allegro) for its font.
picture titlePicture(const sprites& art);
picture iconPicture(const sprites& art);
