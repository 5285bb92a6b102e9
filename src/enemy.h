// The abstract enemy every obstacle and opponent of a race derives from.
//
// Every rectangle is given by its left column, its centre row, its width and its height;
// halving a height is a shift right by one. An image of height H for the rectangle at (x, y)
// is drawn with its top-left pixel at (x, y - (H >> 1)).
#pragma once

#include <allegro.h>

#include <string>

class sound;

class enemy {
  public:
    // Advances one race tick against the player's car; returns the damage dealt.
    virtual int move(int carX, int carY, int carW, int carH) = 0;
    // True when the race may delete the enemy.
    virtual bool finished() = 0;
    virtual void draw() = 0;
    // The player's shot went off over the given area.
    virtual void attack(int areaX, int areaY, int areaW, int areaH) = 0;
    virtual ~enemy() = default;

    // Inclusive overlap of the other rectangle (a, b, width c, half height d) with this one at
    // (x, y), width w and half height hh: touching edges collide.
    bool collides(int a, int b, int c, int d, int w, int hh) const {
        return a <= x + w && a + c >= x && b - d <= y + hh && b + d >= y - hh;
    }

  protected:
    int x;
    int y;
    bool hit;
};

// rand() % range, where an empty or negative range counts as 1: a picture too large for the
// screen is placed at 0 instead of dividing by zero.
int randomBelow(int range);
// The centre row of a stone, an enemy car or a mine whose image is imageH rows high; it keeps
// the image above the status strip.
int randomRow(int imageH);
// Loads a kind's shared picture on its first use in a race; a failure ends the program.
void loadShared(BITMAP*& picture, const char* fileName);
// Loads a kind's shared sound on its first use in a race; a failure ends the program.
void loadShared(sound& effect, const char* fileName);
