// The abstract enemy every obstacle and opponent of a race derives from.
//
// Every rectangle is given by its left column, its centre row, its width and its height;
// halving a height is a shift right by one. An image of height H for the rectangle at (x, y)
// is drawn with its top-left pixel at (x, y - (H >> 1)).
#pragma once

#include <allegro.h>

#include <cstddef>

class sound;

// Columns per tick that stones and mines slide left with the road.
const int roadSpeed = 4;

// rand() % range, where an empty or negative range counts as 1: a picture too large for the
// screen is placed at 0 instead of dividing by zero.
int randomBelow(int range);
// The centre row of a stone, an enemy car or a mine whose image is imageH rows high; it keeps
// the image above the status strip.
int randomRow(int imageH);

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

    // Inclusive overlap of the other rectangle with this one at (x, y), ownW wide and
    // 2 * ownHalfH + 1 rows high: touching edges collide.
    bool collides(int otherX, int otherY, int otherW, int otherHalfH, int ownW,
                  int ownHalfH) const {
        return otherX <= x + ownW && otherX + otherW >= x && otherY - otherHalfH <= y + ownHalfH &&
               otherY + otherHalfH >= y - ownHalfH;
    }

  protected:
    // Places a new stone, enemy car or mine, not yet hit, on the column and on a random row for
    // its picture.
    void enter(int column, const BITMAP* picture) {
        hit = false;
        x = column;
        y = randomRow(picture->h);
    }

    // collides() for the other rectangle at its full height and this one the size of picture.
    bool touches(const BITMAP* picture, int otherX, int otherY, int otherW, int otherH) const {
        return collides(otherX, otherY, otherW, otherH >> 1, picture->w, picture->h >> 1);
    }

    // Slides one road step left, then tells whether a picture of this size, not yet hit, now
    // strikes the car.
    bool slideInto(const BITMAP* picture, int carX, int carY, int carW, int carH) {
        x -= roadSpeed;
        return !hit && touches(picture, carX, carY, carW, carH);
    }

    int x;
    int y;
    bool hit;
};

// Draws the whole picture masked into the double buffer with its left column at x and its
// centre row at y.
void drawCentred(BITMAP* picture, int x, int y);

// A picture or a sound that every object of one kind shares: the kind's first object in a race
// loads it, and the race releases it at its end.
struct sharedFile {
    sharedFile(BITMAP*& picture, const char* name) : picture(&picture), name(name) {}
    sharedFile(sound& effect, const char* name) : effect(&effect), name(name) {}
    BITMAP** picture = nullptr;
    sound* effect = nullptr;
    const char* name;
};

// Loads those of a kind's files that are not loaded yet; a failure ends the program.
void loadShared(const sharedFile* files, std::size_t count);
// Frees a kind's files, so that its next object loads them again.
void releaseShared(const sharedFile* files, std::size_t count);
template <std::size_t count> void loadShared(const sharedFile (&files)[count]) {
    loadShared(files, count);
}
template <std::size_t count> void releaseShared(const sharedFile (&files)[count]) {
    releaseShared(files, count);
}

// A kind of enemy, as the race brings it on and as the tools that make and check the game's
// pictures and sounds, the benchmark and the tests go through the kinds.
struct enemyKind {
    const char* name;
    // A spawn draw of rand() % 100 brings the first kind in enemyKinds it is below.
    int spawnBelow;
    enemy* (*make)();
    // The files all enemies of the kind share: the first in a race loads them, the race's end
    // releases them.
    const sharedFile* files;
    std::size_t fileCount;
};

// Every kind, in the order of the spawn draw.
extern const enemyKind enemyKinds[4];
