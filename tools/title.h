// The pictures that are composed from the sprites rather than drawn pixel by pixel: the title
// screen and the desktop icon. The title uses the library's own 8-pixel font, the one in which
// the game prints onto it.
#pragma once

#include "picture.h"

struct sprites {
    picture car;
    picture enemyCar;
    picture stone;
    picture mine;
    picture robot;
    picture robotBullet;
    picture flash;
    picture mineExplosion;
    picture moth;
};

// Needs the library started (install_allegro) for its font.
picture titlePicture(const sprites& art);
picture iconPicture(const sprites& art);
