// Test seam of the race: the pieces game() is made of (its state, one tick, one frame, the
// enemy table's hooks, the pause screen's frame), so that tests can drive them one by one. The
// rest of the game needs only game.h.
#pragma once

#include "game.h"
#include "layout.h"
#include "tools.h"

#include <allegro.h>

class enemy;

const int enemySlots = 32;
const int reloadTicks = 112;

// The values every race starts with; resetRace() gives them back.
struct raceStart {
    int carX = 0;            // left edge of the car
    int carY = screenH >> 1; // centre row of the car
    int speed = 0;           // -2 .. 2 columns per tick
    int lastSpeed = 0;       // speed at the end of the previous tick
    int damage = 0;
    int maxDamage = healthPoints;
    int ticks = 0; // ticks run in the current race minute
    int minutes = 30;
    int hours = 2;
    int reload = 0; // ticks until the shot can fire again
    bool shotRight = false;
    bool ticked = false; // a tick has run since the last frame was drawn

    enemy* enemies[enemySlots] = {};
    int spawnCountdown = 1;
    int spawnInterval = 64;
};

struct raceState : raceStart {
    BITMAP* car = nullptr;
    BITMAP* explosion = nullptr;
    sound shotSfx;
    sound engine;
};

// Loads the car, the shot flash and both sounds, and starts the engine.
void loadRace(raceState& race);
// Gives the race its start values: car at the left edge, clock at 2:30, empty enemy table.
void resetRace(raceState& race);
// One pass of the race loop: the pending ticks up to the end of the race, then one frame.
void racePass(raceState& race);
void raceTick(raceState& race);
// Draws one frame of the race into the double buffer.
void drawRace(raceState& race);
// Frees everything the race loaded and returns its result, which the caller owns.
returnStruct* endRace(raceState& race);

// The enemy table's hooks into the race.
void moveEnemies(raceState& race);
void attackEnemies(raceState& race, int areaX);
void spawnStep(raceState& race);
void drawEnemies(raceState& race);
void deleteEnemies(raceState& race);
void releaseEnemyFiles();

// How far the race clock has come through its 24-hour day.
struct dayProgress {
    int percent;
    int dotX;
};
dayProgress progressOf(int ticks, int minutes, int hours);
void drawProgress(const dayProgress& day, int blink, int minutes, int hours);
