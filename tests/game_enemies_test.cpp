// The race's table of enemies: spawning at a rising rate, the passes over the table in slot
// order, damage, and the shared pictures and sounds of the kinds, released after every race.
// Also whole races with a fixed random seed, played tick by tick and through game().
#include "car.h"
#include "enemy.h"
#include "game.h"
#include "globals.h"
#include "main.h"
#include "mine.h"
#include "robot.h"
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

const int carW = 24;
const int carH = 12;
const int stoneW = 16;
const int stoneH = 12;

// The files of the race and of every kind, with pictures of the given sizes.
void writeRaceFiles(int stoneWidth = stoneW, int carWidth = 20, int mineWidth = 14,
                    int blastWidth = 30, int robotWidth = 24, int bulletWidth = 6) {
    writePicture("gfx/car.tga", carW, carH);
    writePicture("gfx/explosion.tga", carW, carH);
    writePicture("gfx/stone.tga", stoneWidth, stoneH);
    writePicture("gfx/enemycar.tga", carWidth, 12);
    writePicture("gfx/mine.tga", mineWidth, 10);
    writePicture("gfx/mineexplosion.tga", blastWidth, 21);
    writePicture("gfx/robot.tga", robotWidth, 11);
    writePicture("gfx/robotbullet.tga", bulletWidth, 5);
    writeSound("sfx/explosion.wav");
    writeSound("sfx/racecar.wav");
    writeSound("sfx/mineexplosion.wav");
    writeSound("sfx/robotshoot.wav");
}

// An enemy that writes down what the table asks of it.
class spy : public enemy {
  public:
    spy(std::vector<std::string>& log, int id, int damage = 0, bool done = false)
        : log(log), id(id), damage(damage), done(done) {
        x = y = 0;
        hit = false;
    }
    ~spy() override { note("delete"); }
    int move(int px, int py, int pw, int ph) override {
        note("move " + rectangle(px, py, pw, ph));
        return damage;
    }
    bool finished() override {
        note("finished");
        return done;
    }
    void draw() override { note("draw"); }
    void attack(int ax, int ay, int aw, int ah) override {
        note("attack " + rectangle(ax, ay, aw, ah));
    }

  private:
    static std::string rectangle(int a, int b, int c, int d) {
        return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
               std::to_string(d);
    }
    void note(const std::string& what) { log.push_back(std::to_string(id) + " " + what); }

    std::vector<std::string>& log;
    int id;
    int damage;
    bool done;
};

struct placedStone : stone {
    placedStone(int left, int centre) {
        x = left;
        y = centre;
    }
    using stone::x;
};

struct placedMine : mine {
    placedMine(int left, int centre) {
        x = left;
        y = centre;
    }
};

std::string kindOf(enemy* e) {
    if (!e)
        return "empty";
    if (dynamic_cast<stone*>(e))
        return "stone";
    if (dynamic_cast<robot*>(e))
        return "robot";
    if (dynamic_cast<mine*>(e))
        return "mine";
    if (dynamic_cast<enemycar*>(e))
        return "enemycar";
    return "other";
}

// The kind a spawn draw of p (0 to 99) brings.
std::string kindFor(int p) {
    return p < 45 ? "stone" : p < 62 ? "robot" : p < 92 ? "mine" : "enemycar";
}

// The first seed whose first rand() % 100 is p.
unsigned seedDrawing(int p) {
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if (std::rand() % 100 == p)
            return seed;
    }
}

class enemyTable : public testing::Test {
  protected:
    void SetUp() override {
        startGameFrame();
        releaseEnemyFiles();
        releaseAllKeys();
        writeRaceFiles();
        newRace();
    }
    void TearDown() override {
        if (race.car)
            delete endRace(race);
        releaseEnemyFiles();
        releaseAllKeys();
    }

    // A race with a plain car picture and no sounds, fresh from its start values.
    void newRace() {
        race.car = create_bitmap(carW, carH);
        race.explosion = create_bitmap(carW, carH);
        resetRace(race);
    }

    void fillWithSpies() {
        for (int slot = 0; slot < enemySlots; ++slot)
            race.enemies[slot] = new spy(log, slot);
    }

    pixelBox drawnEnemies() {
        clear_to_color(global::dbuffer, colors::white);
        drawEnemies(race);
        return paintedBox(colors::white);
    }

    scratchFolder folder;
    std::vector<std::string> log;
    raceState race;
};

} // namespace

TEST_F(enemyTable, firstTickBringsTheKindThatTheDrawPicks) {
    for (const int p : {0, 44, 45, 61, 62, 91, 92, 99}) {
        SCOPED_TRACE(p);
        deleteEnemies(race);
        resetRace(race);
        std::srand(seedDrawing(p));
        raceTick(race);
        EXPECT_EQ(kindOf(race.enemies[0]), kindFor(p));
        for (int slot = 1; slot < enemySlots; ++slot)
            EXPECT_EQ(race.enemies[slot], nullptr);
        EXPECT_EQ(race.spawnCountdown, 64);
    }
}

TEST_F(enemyTable, newEnemyFirstMovesOnTheNextTick) {
    std::srand(seedDrawing(0));
    raceTick(race);
    ASSERT_EQ(kindOf(race.enemies[0]), "stone");
    EXPECT_EQ(drawnEnemies().x, SCREEN_W - stoneW);
    raceTick(race);
    EXPECT_EQ(drawnEnemies().x, SCREEN_W - stoneW - 4);
}

// After the n-th spawn event the next one follows max(65 - n, 17) ticks later.
TEST_F(enemyTable, spawnIntervalsShrinkFrom64To17AndStay) {
    std::srand(3);
    std::vector<int> eventTicks;
    for (int tick = 1; eventTicks.size() < 60; ++tick) {
        spawnStep(race);
        if (race.enemies[0]) {
            eventTicks.push_back(tick);
            deleteEnemies(race);
        }
        ASSERT_LT(tick, 5000);
    }
    EXPECT_EQ(eventTicks.front(), 1);
    std::vector<int> gaps, expected;
    for (size_t n = 1; n < eventTicks.size(); ++n)
        gaps.push_back(eventTicks[n] - eventTicks[n - 1]);
    for (int gap = 64; gap >= 17; --gap)
        expected.push_back(gap);
    expected.resize(gaps.size(), 17);
    EXPECT_EQ(gaps, expected);
    EXPECT_EQ(race.spawnInterval, 17);
}

TEST_F(enemyTable, fullTableSpawnsNothingButCountersAndDrawsRunOn) {
    fillWithSpies();
    std::vector<enemy*> spies(race.enemies, race.enemies + enemySlots);
    std::srand(12);
    std::vector<int> draws;
    for (int i = 0; i < 4; ++i)
        draws.push_back(std::rand());
    std::srand(12);
    // Spawn events on ticks 1, 65 and 128.
    for (int tick = 1; tick <= 130; ++tick)
        spawnStep(race);
    EXPECT_EQ(std::vector<enemy*>(race.enemies, race.enemies + enemySlots), spies);
    EXPECT_EQ(race.spawnCountdown, 60);
    EXPECT_EQ(race.spawnInterval, 61);
    EXPECT_EQ(std::rand(), draws[3]) << "one draw per spawn event, full table or not";

    // A slot set free is filled at the next event, 60 ticks on, by the kind of that event's draw.
    delete race.enemies[7];
    race.enemies[7] = nullptr;
    spies[7] = nullptr;
    std::srand(5);
    const int p = std::rand() % 100;
    std::srand(5);
    for (int tick = 1; tick < 60; ++tick)
        spawnStep(race);
    EXPECT_EQ(race.enemies[7], nullptr);
    spawnStep(race);
    EXPECT_EQ(kindOf(race.enemies[7]), kindFor(p));
    for (int slot = 0; slot < enemySlots; ++slot) {
        if (slot != 7) {
            EXPECT_EQ(race.enemies[slot], spies[slot]) << slot;
        }
    }
}

TEST_F(enemyTable, finishedEnemyIsDeletedBeforeThatTicksMove) {
    race.enemies[0] = new spy(log, 0, 0, true);
    race.enemies[2] = new spy(log, 2);
    race.carX = 50;
    race.carY = 80;
    moveEnemies(race);
    EXPECT_EQ(race.enemies[0], nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"0 finished", "0 delete", "2 finished",
                                             "2 move 50,80,24,12"}));
    log.clear();
    drawEnemies(race);
    EXPECT_EQ(log, std::vector<std::string>{"2 draw"});
}

TEST_F(enemyTable, slotFreedInTheEnemyPassIsFilledInTheSameTick) {
    fillWithSpies();
    delete race.enemies[3];
    race.enemies[3] = new spy(log, 3, 0, true);
    std::vector<enemy*> before(race.enemies, race.enemies + enemySlots);
    race.spawnCountdown = 1;
    raceTick(race);
    const std::string newcomer = kindOf(race.enemies[3]);
    EXPECT_TRUE(newcomer != "other" && newcomer != "empty") << newcomer;
    for (int slot = 0; slot < enemySlots; ++slot) {
        if (slot != 3) {
            EXPECT_EQ(race.enemies[slot], before[slot]) << slot;
        }
    }
}

// Every pass runs slot 0 first; the shot's area is the car's size beside the car.
TEST_F(enemyTable, passesRunInSlotOrderWithTheCarsRectangle) {
    for (const int slot : {30, 1, 4})
        race.enemies[slot] = new spy(log, slot);
    race.carX = 50;
    race.carY = 80;
    race.spawnCountdown = 1000;
    key[KEY_LCONTROL] = 1;
    raceTick(race);
    EXPECT_EQ(log, (std::vector<std::string>{"1 finished", "1 move 50,80,24,12", "4 finished",
                                             "4 move 50,80,24,12", "30 finished",
                                             "30 move 50,80,24,12", "1 attack 26,80,24,12",
                                             "4 attack 26,80,24,12", "30 attack 26,80,24,12"}));
    releaseAllKeys();
    race.reload = 0;
    key[KEY_ALT] = 1;
    log.clear();
    raceTick(race);
    std::vector<std::string> attacks;
    std::copy_if(log.begin(), log.end(), std::back_inserter(attacks), [](const std::string& entry) {
        return entry.find("attack") != std::string::npos;
    });
    EXPECT_EQ(attacks, (std::vector<std::string>{"1 attack 74,80,24,12", "4 attack 74,80,24,12",
                                                 "30 attack 74,80,24,12"}));
    log.clear();
    drawEnemies(race);
    EXPECT_EQ(log, (std::vector<std::string>{"1 draw", "4 draw", "30 draw"}));
}

// Ten mine strikes of 16 make 160: the total stops at 159 and the race ends in that tick, after
// the enemies behind the tenth mine have moved.
TEST_F(enemyTable, damageIsClampedAndEndsTheRaceInThatTick) {
    race.spawnCountdown = 1000;
    const int row = race.carY;
    for (int slot = 0; slot < 9; ++slot)
        race.enemies[slot] = new placedMine(carW, row);
    raceTick(race);
    EXPECT_EQ(race.damage, 144);
    EXPECT_TRUE(run);

    raceTick(race); // the nine exploded mines are removed
    for (int slot = 0; slot < 10; ++slot)
        race.enemies[slot] = new placedMine(carW, row);
    auto* lateStrike = new placedStone(carW, row);
    auto* elsewhere = new placedStone(200, row);
    race.enemies[10] = lateStrike;
    race.enemies[11] = elsewhere;
    race.damage = 0;
    raceTick(race);
    EXPECT_EQ(race.damage, 159);
    EXPECT_FALSE(run);
    EXPECT_EQ(lateStrike->x, carW - 4);
    EXPECT_EQ(elsewhere->x, 196);
}

TEST_F(enemyTable, raceEndReleasesTheKindsPicturesAndSounds) {
    race.enemies[0] = new stone;
    race.enemies[5] = new enemycar;
    race.enemies[6] = new mine;
    race.enemies[31] = new robot;
    for (BITMAP* picture : {gfx, cargfx, minegfx, mineExplosion, robotgfx, robotbullet})
        ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(mineExplosionSfx.isActive());
    ASSERT_TRUE(robotshoot.isActive());
    returnStruct* result = endRace(race);
    EXPECT_EQ(result->hours, 2);
    EXPECT_EQ(result->minutes, 30);
    delete result;
    for (enemy* slot : race.enemies)
        EXPECT_EQ(slot, nullptr);
    for (BITMAP* picture : {gfx, cargfx, minegfx, mineExplosion, robotgfx, robotbullet})
        EXPECT_EQ(picture, nullptr);
    EXPECT_FALSE(mineExplosionSfx.isActive());
    EXPECT_FALSE(robotshoot.isActive());
}

TEST_F(enemyTable, secondRaceStartsEmptyAndReloadsEveryKindsFiles) {
    race.enemies[0] = new stone;
    race.enemies[1] = new enemycar;
    race.enemies[2] = new mine;
    race.enemies[3] = new robot;
    delete endRace(race);

    writeRaceFiles(30, 40, 18, 12, 50, 8);
    newRace();
    for (enemy* slot : race.enemies)
        EXPECT_EQ(slot, nullptr);
    std::srand(seedDrawing(10));
    raceTick(race);
    ASSERT_EQ(kindOf(race.enemies[0]), "stone");
    EXPECT_EQ(drawnEnemies().w, 30);
    race.enemies[1] = new enemycar;
    race.enemies[2] = new mine;
    race.enemies[3] = new robot;
    EXPECT_EQ(gfx->w, 30);
    EXPECT_EQ(cargfx->w, 40);
    EXPECT_EQ(minegfx->w, 18);
    EXPECT_EQ(mineExplosion->w, 12);
    EXPECT_EQ(robotgfx->w, 50);
    EXPECT_EQ(robotbullet->w, 8);
    EXPECT_TRUE(mineExplosionSfx.isActive());
    EXPECT_TRUE(robotshoot.isActive());
}

namespace {

struct raceResult {
    int hours;
    int minutes;
    int ticks;
    int damage;
    int nextRandom; // rand() after the race: every draw of the race was made
    bool operator==(const raceResult& o) const {
        return hours == o.hours && minutes == o.minutes && ticks == o.ticks && damage == o.damage &&
               nextRandom == o.nextRandom;
    }
};

std::ostream& operator<<(std::ostream& out, const raceResult& r) {
    return out << r.hours << ":" << r.minutes << " after " << r.ticks << " ticks, damage "
               << r.damage << ", then rand() " << r.nextRandom;
}

const unsigned raceSeed = 20240611;
const int ticksToMidnight = 41280; // 21 hours 30 minutes of 32-tick minutes

// A race with no input, one tick per pass of the loop: it stops as soon as run is false. With
// a tick count, that many ticks run whatever run says, as in one pass with that many pending.
raceResult playedTickByTick(unsigned seed, int tickCount = 0) {
    std::srand(seed);
    raceState race;
    loadRace(race);
    resetRace(race);
    int ticks = 0;
    while (tickCount > 0 ? ticks < tickCount : run) {
        raceTick(race);
        ++ticks;
    }
    returnStruct* result = endRace(race);
    const raceResult played{result->hours, result->minutes, ticks, race.damage, std::rand()};
    delete result;
    return played;
}

raceResult playedByGame(unsigned seed, int pending) {
    std::srand(seed);
    timerCounter = pending;
    returnStruct* result = game();
    const raceResult played{result->hours, result->minutes, pending - timerCounter, -1,
                            std::rand()};
    delete result;
    return played;
}

} // namespace

TEST_F(enemyTable, seededRaceWithoutInputEndsByDamageTheSameEveryTime) {
    const raceResult first = playedTickByTick(raceSeed);
    EXPECT_LT(first.hours, 24);
    EXPECT_EQ(first.damage, (SCREEN_W >> 1) - 1);
    EXPECT_EQ(playedTickByTick(raceSeed), first);
    EXPECT_EQ(gfx, nullptr);
}

// The loop runs every pending tick before it looks at run again. With exactly the ticks of the
// tick-by-tick race pending, game() ends where that race ended. With the whole day pending, the
// ticks after the fatal one still run: the clock goes on to 24:00 (the damage stays clamped),
// so the result is 24:00 and not the time of the damage; it equals the tick-by-tick race run on
// for the same 41,280 ticks, random draws included.
TEST_F(enemyTable, catchUpRunsEveryPendingTickBeforeLookingAtRun) {
    const raceResult byTicks = playedTickByTick(raceSeed);
    raceResult caughtUp = playedByGame(raceSeed, byTicks.ticks);
    caughtUp.damage = byTicks.damage;
    EXPECT_EQ(caughtUp, byTicks);
    EXPECT_EQ(timerCounter, 0);

    const raceResult wholeDay = playedTickByTick(raceSeed, ticksToMidnight);
    EXPECT_EQ(wholeDay.hours, 24);
    EXPECT_EQ(wholeDay.minutes, 0);
    raceResult dayCaughtUp = playedByGame(raceSeed, ticksToMidnight);
    dayCaughtUp.damage = wholeDay.damage;
    EXPECT_EQ(dayCaughtUp, wholeDay);
    EXPECT_EQ(timerCounter, 0);
}
