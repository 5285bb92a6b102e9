#include "game_internal.h"

#include "enemy.h"
#include "errors.h"
#include "globals.h"
#include "layout.h"
#include "main.h"

#include <atomic>
#include <cstdlib>
#include <iterator>

bool run = false;

// Minutes since 0:00 of the clock that raceReached gives; -1 before the first race.
static std::atomic<int> clockReached{-1};

bool raceReached(returnStruct& clock) {
    const int minutes = clockReached;
    if (minutes < 0)
        return false;
    clock = {minutes / 60, minutes % 60};
    return true;
}

static void publishClock(const raceState& race) {
    clockReached = race.hours * 60 + race.minutes;
}

static const int ticksPerDay = raceEndHour * 60 * ticksPerMinute;

returnStruct* game() {
    raceState race;
    loadRace(race);
    resetRace(race);
    // A pass runs whenever a tick is pending.
    while (run && awaitTick())
        racePass(race);
    return endRace(race);
}

// No tick runs after the one that ended the race, however many came due while the game stood
// still: the clock at that tick is the result, 24:00 at most.
void racePass(raceState& race) {
    while (timerCounter > 0 && run) {
        raceTick(race);
        --timerCounter;
        race.ticked = true;
    }
    if (race.ticked) {
        drawRace(race);
        show();
        race.ticked = false;
    }
}

// The engine runs louder and higher with every speed step.
static int engineVolume(int speed) {
    return engineVolumeAtRest + 20 * speed;
}
static int enginePitch(int speed) {
    return 1000 + 100 * speed;
}
static void playEngine(sound& engine, int speed) {
    engine.play(1, engineVolume(speed), 127, enginePitch(speed));
}

void loadRace(raceState& race) {
    race.car = loadPicture("gfx/car.tga");
    race.explosion = loadPicture("gfx/explosion.tga");
    loadSound(race.shotSfx, "sfx/explosion.wav");
    loadSound(race.engine, "sfx/racecar.wav");
    playEngine(race.engine, 0);
}

void resetRace(raceState& race) {
    static_cast<raceStart&>(race) = raceStart{};
    publishClock(race);
    run = true;
}

static void pauseRace(raceState& race) {
    race.engine.stop();
    showProgress(race.ticks, race.minutes, race.hours);
    playEngine(race.engine, race.speed);
}

static void steerCar(raceState& race) {
    const int halfCarH = race.car->h >> 1;
    if (key[KEY_UP] && halfCarH < race.carY)
        race.carY -= 2;
    // The car may reach down to the row above the status strip.
    if (key[KEY_DOWN] && race.carY < screenH - halfCarH - (statusStripRows - 1))
        race.carY += 2;
    if (keyStates[KEY_LEFT] && race.speed >= -1)
        --race.speed;
    if (keyStates[KEY_RIGHT] && race.speed <= 1)
        ++race.speed;
}

static void moveCar(raceState& race) {
    race.carX += race.speed;
    if (race.carX < 0) {
        race.carX = 0;
        race.speed = 0;
    }
    if (race.carX > screenW - race.car->w) {
        race.carX = screenW - race.car->w;
        race.speed = 0;
    }
}

static void tuneEngine(raceState& race) {
    if (race.speed != race.lastSpeed)
        race.engine.adjust(1, engineVolume(race.speed), 127, enginePitch(race.speed));
    race.lastSpeed = race.speed;
}

// The fire key is asked in every tick, so a press made while reloading is used up and lost.
static void fire(raceState& race, bool pressed, bool right) {
    if (!pressed || race.reload != 0)
        return;
    race.reload = reloadTicks;
    race.shotRight = right;
    attackEnemies(race, right ? race.carX + race.car->w : race.carX - race.car->w);
    race.shotSfx.play(0, shotVolume, 127, 1000);
}

static void advanceClock(raceState& race) {
    if (++race.ticks == ticksPerMinute) {
        ++race.minutes;
        race.ticks = 0;
    }
    if (race.minutes == 60) {
        ++race.hours;
        race.minutes = 0;
    }
}

void raceTick(raceState& race) {
    if (race.reload != 0)
        --race.reload;
    if (keyStates[KEY_ENTER])
        pauseRace(race);
    steerCar(race);
    moveCar(race);
    tuneEngine(race);
    moveEnemies(race);
    fire(race, keyStates[KEY_LCONTROL], false);
    fire(race, keyStates[KEY_ALT], true);
    advanceClock(race);
    publishClock(race);
    if (race.hours == raceEndHour || race.damage == race.maxDamage)
        run = false;
    spawnStep(race);
}

void drawRace(raceState& race) {
    BITMAP* buffer = global::dbuffer;
    const int carW = race.car->w;
    const int carH = race.car->h;
    const int carTop = race.carY - (carH >> 1);

    clear_to_color(buffer, colors::white);
    drawEnemies(race);
    masked_blit(race.car, buffer, 0, 0, race.carX, carTop, carW, carH);
    // The flash shows only in the frame right after the tick that fired.
    if (race.reload == reloadTicks)
        blit(race.explosion, buffer, 0, 0, race.shotRight ? race.carX + carW : race.carX - carW,
             carTop, carW, carH);
    drawStatusStrip(buffer, screenH - statusStripRows, race.damage, race.reload != 0, race.hours,
                    race.minutes);
}

returnStruct* endRace(raceState& race) {
    deleteEnemies(race);
    destroy_bitmap(race.car);
    destroy_bitmap(race.explosion);
    race.car = nullptr;
    race.explosion = nullptr;
    releaseEnemyFiles();
    race.engine.stop();
    returnStruct* result = new returnStruct{race.hours, race.minutes};
    race.engine.destroy();
    race.shotSfx.destroy();
    return result;
}

static void addDamage(raceState& race, int amount) {
    race.damage += amount;
    if (race.damage > race.maxDamage)
        race.damage = race.maxDamage;
}

void moveEnemies(raceState& race) {
    for (enemy*& slot : race.enemies) {
        if (!slot)
            continue;
        if (slot->finished()) {
            delete slot;
            slot = nullptr;
            continue;
        }
        addDamage(race, slot->move(race.carX, race.carY, race.car->w, race.car->h));
    }
}

void attackEnemies(raceState& race, int areaX) {
    for (enemy* slot : race.enemies)
        if (slot)
            slot->attack(areaX, race.carY, race.car->w, race.car->h);
}

static enemy* newEnemy(int choice) {
    const enemyKind* kind = std::begin(enemyKinds);
    while (choice >= kind->spawnBelow)
        ++kind;
    return kind->make();
}

void spawnStep(raceState& race) {
    if (--race.spawnCountdown > 0)
        return;
    race.spawnCountdown = race.spawnInterval;
    if (--race.spawnInterval <= 16)
        race.spawnInterval = 17;
    // Drawn even when the table is full, so the random sequence does not depend on it.
    const int choice = std::rand() % 100;
    for (enemy*& slot : race.enemies)
        if (!slot) {
            slot = newEnemy(choice);
            return;
        }
}

void drawEnemies(raceState& race) {
    for (enemy* slot : race.enemies)
        if (slot)
            slot->draw();
}

void deleteEnemies(raceState& race) {
    for (enemy*& slot : race.enemies) {
        delete slot;
        slot = nullptr;
    }
}

// The first enemy of each kind in the next race loads its files again.
void releaseEnemyFiles() {
    for (const enemyKind& kind : enemyKinds)
        releaseShared(kind.files, kind.fileCount);
}

// The percentage counts from 0:00, so a race never shows less than 10 %.
dayProgress progressOf(int ticks, int minutes, int hours) {
    const int sinceMidnight = ticks + ticksPerMinute * (minutes + 60 * hours);
    const double fraction = static_cast<double>(sinceMidnight) / ticksPerDay;
    return {static_cast<int>(fraction * 100), static_cast<int>(fraction * screenW)};
}

void drawProgress(const dayProgress& day, int blink, int minutes, int hours) {
    BITMAP* buffer = global::dbuffer;
    const int w = screenW;
    const int h = screenH;
    clear_to_color(buffer, colors::white);
    hline(buffer, 0, h >> 1, w - 1, colors::black);
    circlefill(buffer, day.dotX, h >> 1, 4, blink < 0 ? colors::dgray : colors::lgray);
    if (blink < 0)
        textout_centre_ex(buffer, font, "-PAUSE-", w >> 1, 20, colors::vdgray, -1);
    textout_centre_ex(buffer, font, "Press select to quit", w >> 1, 30, colors::vdgray, -1);
    textprintf_centre_ex(buffer, font, w >> 1, 120, colors::vdgray, -1, "%i%% done...",
                         day.percent);
    textprintf_centre_ex(buffer, font, w >> 1, 130, colors::vdgray, -1, "The time is: %2i:%2i",
                         hours, minutes);
}

// The ticks pending, from a stop too, are used up with one frame before a key decides: ENTER
// held through a stop must not send the race on with the ticks that came due while it was
// paused.
void showProgress(int ticks, int minutes, int hours) {
    const dayProgress day = progressOf(ticks, minutes, hours);
    int blink = -32;
    while (awaitTick()) {
        int shown = blink;
        for (; timerCounter > 0; --timerCounter) {
            shown = blink;
            if (++blink == 31)
                blink = -32;
        }
        const bool resume = keyStates[KEY_ENTER];
        const bool quit = !resume && keyStates[KEY_TAB];
        drawProgress(day, shown, minutes, hours);
        show();
        if (quit)
            run = false;
        if (resume || quit)
            return;
    }
}
