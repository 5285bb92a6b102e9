// The race's table of enemies: spawning at a rising rate, the passes over the table in slot
// order, and the shared pictures and sounds of the kinds, released after every race. Also whole
// races through game(), with a fixed random seed.
#include "car.h"
#include "enemy.h"
#include "game_internal.h"
#include "gamefiles.h"
#include "globals.h"
#include "main.h"
#include "mine.h"
#include "robot.h"
#include "stone.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <typeindex>
#include <vector>

namespace {

const int carW = 24;
const int carH = 12;

// The name in enemyKinds of each kind's class. Made once before any test seeds the random
// numbers: making an enemy draws them.
const std::map<std::type_index, std::string>& kindNames() {
    static const std::map<std::type_index, std::string> names = [] {
        std::map<std::type_index, std::string> made;
        for (const enemyKind& kind : enemyKinds) {
            const std::unique_ptr<enemy> one(kind.make());
            made.emplace(typeid(*one), kind.name);
        }
        return made;
    }();
    return names;
}

std::string kindOf(enemy* e) {
    if (!e)
        return "empty";
    const auto name = kindNames().find(typeid(*e));
    return name == kindNames().end() ? "other" : name->second;
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
        releaseAllKeys();
        writeRaceFiles(carW, carH);
        kindNames();
        newRace();
    }
    void TearDown() override {
        if (race.car)
            delete endRace(race);
        releaseAllKeys();
        timerCounter = 0;
        global::exit = false;
    }

    // A race with a plain car picture and no sounds, fresh from its start values.
    void newRace() {
        race.car = create_bitmap(carW, carH);
        race.explosion = create_bitmap(carW, carH);
        resetRace(race);
    }

    void fillWithSpies() {
        for (int slot = 0; slot < enemySlots; ++slot)
            race.enemies[slot] = new spyEnemy(log, slot);
    }

    pixelBox drawnEnemies() {
        clear_to_color(global::dbuffer, colors::white);
        drawEnemies(race);
        return paintedBox(colors::white);
    }

    enemyScene scene;
    std::vector<std::string> log;
    raceState race;
};

} // namespace

// The first tick spawns into slot 0 after the enemies' pass, so the newcomer first moves in the
// next tick.
TEST_F(enemyTable, firstTickBringsTheKindThatTheDrawPicks) {
    for (const int p : {0, 44, 45, 61, 62, 91, 92, 99}) {
        SCOPED_TRACE(p);
        deleteEnemies(race);
        resetRace(race);
        std::srand(seedDrawing(p));
        raceTick(race);
        EXPECT_EQ(kindOf(race.enemies[0]), kindFor(p));
        EXPECT_EQ(race.enemies[1], nullptr);
        EXPECT_EQ(race.spawnCountdown, 64);
    }
    deleteEnemies(race);
    resetRace(race);
    std::srand(seedDrawing(0));
    raceTick(race);
    EXPECT_EQ(drawnEnemies().x, SCREEN_W - 16);
    raceTick(race);
    EXPECT_EQ(drawnEnemies().x, SCREEN_W - 16 - 4);
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
}

// A full table takes no newcomer, but the counters and the draws run on; a slot set free is
// filled at the next event by the kind of that event's draw.
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
    EXPECT_EQ(std::rand(), draws[3]) << "one draw per spawn event, full table or not";

    delete race.enemies[7];
    race.enemies[7] = nullptr;
    std::srand(5);
    const int p = std::rand() % 100;
    std::srand(5);
    for (int tick = 1; tick < 60; ++tick)
        spawnStep(race);
    EXPECT_EQ(race.enemies[7], nullptr);
    spawnStep(race);
    EXPECT_EQ(kindOf(race.enemies[7]), kindFor(p));
}

TEST_F(enemyTable, finishedEnemyIsDeletedBeforeThatTicksMove) {
    race.enemies[0] = new spyEnemy(log, 0, 0, true);
    race.enemies[2] = new spyEnemy(log, 2);
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

// Every pass runs slot 0 first; the shot's area is the car's size beside the car.
TEST_F(enemyTable, passesRunInSlotOrderWithTheCarsRectangle) {
    for (const int slot : {30, 1, 4})
        race.enemies[slot] = new spyEnemy(log, slot);
    race.carX = 50;
    race.carY = 80;
    race.spawnCountdown = 1000;
    press(KEY_LCONTROL);
    raceTick(race);
    EXPECT_EQ(log, (std::vector<std::string>{"1 finished", "1 move 50,80,24,12", "4 finished",
                                             "4 move 50,80,24,12", "30 finished",
                                             "30 move 50,80,24,12", "1 attack 26,80,24,12",
                                             "4 attack 26,80,24,12", "30 attack 26,80,24,12"}));
    releaseAllKeys();
    race.reload = 0;
    press(KEY_ALT);
    log.clear();
    raceTick(race);
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"1 attack 74,80,24,12", "4 attack 74,80,24,12",
                                        "30 attack 74,80,24,12"}));
    log.clear();
    drawEnemies(race);
    EXPECT_EQ(log, (std::vector<std::string>{"1 draw", "4 draw", "30 draw"}));
}

// The first enemy of each kind in the next race loads the kind's files afresh.
TEST_F(enemyTable, raceEndReleasesTheKindsFilesAndTheNextRaceReloadsThem) {
    const auto fillTable = [this] {
        int slot = enemySlots - 1;
        for (const enemyKind& kind : enemyKinds) {
            race.enemies[slot] = kind.make();
            slot -= 7;
        }
    };
    // Every kind's files: a picture's width, a sound -1, either 0 when released.
    const auto files = [] {
        std::vector<int> seen;
        for (const enemyKind& kind : enemyKinds)
            for (const sharedFile* file = kind.files; file != kind.files + kind.fileCount; ++file)
                if (file->picture)
                    seen.push_back(*file->picture ? (*file->picture)->w : 0);
                else
                    seen.push_back(file->effect->isActive() ? -1 : 0);
        return seen;
    };
    fillTable();
    const std::vector<int> first = files();
    EXPECT_EQ(std::count(first.begin(), first.end(), 0), 0);
    returnStruct* result = endRace(race);
    EXPECT_EQ(result->hours, 2);
    EXPECT_EQ(result->minutes, 30);
    delete result;
    EXPECT_EQ(files(), std::vector<int>(first.size(), 0));

    writeRaceFiles(carW, carH, 10);
    newRace();
    for (enemy* slot : race.enemies)
        EXPECT_EQ(slot, nullptr);
    fillTable();
    std::vector<int> wider = first;
    for (int& seen : wider)
        seen += seen > 0 ? 10 : 0;
    EXPECT_EQ(files(), wider) << "every picture read afresh";
}

// The kinds' lists hold every file of the game that the title and the race do not load
// themselves, each once: the race releases by these lists.
TEST(enemyKinds, listEveryFileTheTitleAndTheRaceLeaveToThem) {
    std::multiset<std::string> listed{"gfx/title.tga", "gfx/car.tga", "gfx/explosion.tga",
                                      "sfx/explosion.wav", "sfx/racecar.wav"};
    for (const enemyKind& kind : enemyKinds)
        for (const sharedFile* file = kind.files; file != kind.files + kind.fileCount; ++file)
            listed.insert(file->name);
    EXPECT_EQ(listed, std::multiset<std::string>(std::begin(gameFiles), std::end(gameFiles)));
}

// ---- Whole races ----

namespace {

struct raceResult {
    int hours;
    int minutes;
    int ticks;
    int nextRandom; // rand() after the race: every draw of the race was made
    bool operator==(const raceResult& o) const {
        return hours == o.hours && minutes == o.minutes && ticks == o.ticks &&
               nextRandom == o.nextRandom;
    }
};

std::ostream& operator<<(std::ostream& out, const raceResult& r) {
    return out << r.hours << ":" << r.minutes << " after " << r.ticks << " ticks, then rand() "
               << r.nextRandom;
}

const unsigned raceSeed = 20240611;
const int ticksToMidnight = 41280; // 21 hours 30 minutes of 32-tick minutes

// A race with no input, one tick per pass of the loop: it stops as soon as run is false.
raceResult playedTickByTick(unsigned seed) {
    std::srand(seed);
    raceState race;
    loadRace(race);
    resetRace(race);
    int ticks = 0;
    for (; run; ++ticks)
        raceTick(race);
    EXPECT_EQ(race.damage, race.maxDamage) << "the enemies wear the car down";
    returnStruct* result = endRace(race);
    const raceResult played{result->hours, result->minutes, ticks, std::rand()};
    delete result;
    return played;
}

raceResult playedByGame(unsigned seed, int pending) {
    std::srand(seed);
    timerCounter = pending;
    returnStruct* result = game();
    const raceResult played{result->hours, result->minutes, pending - timerCounter, std::rand()};
    delete result;
    return played;
}

} // namespace

// A whole day pending, as after a long stall: the pass stops at the tick that ended the race,
// so game() ends where the tick-by-tick race ended, with its clock in the last frame, and
// leaves the other ticks pending.
TEST_F(enemyTable, aPassRunsNoTickAfterTheOneThatEndedTheRace) {
    const raceResult byTicks = playedTickByTick(raceSeed);
    EXPECT_LT(byTicks.hours, raceEndHour);
    clear_bitmap(global::dbuffer);
    EXPECT_EQ(playedByGame(raceSeed, ticksToMidnight), byTicks);
    EXPECT_EQ(timerCounter, ticksToMidnight - byTicks.ticks);
    char clock[32];
    std::snprintf(clock, sizeof clock, "Time: %2i:%2i", byTicks.hours, byTicks.minutes);
    EXPECT_TRUE(stripShowsClock(clock));
}

TEST_F(enemyTable, theCloseButtonBeforeARaceStillGivesItsResult) {
    global::exit = true;
    timerCounter = 5;
    returnStruct* result = game();
    EXPECT_EQ(result->hours, 2);
    EXPECT_EQ(result->minutes, 30);
    delete result;
    EXPECT_EQ(timerCounter, 5);
}

// The pause takes the tick's count for its own frame, and the race ends with one tick less.
TEST_F(enemyTable, quittingFromThePauseLeavesTheCounterAtMinusOne) {
    timerCounter = 1;
    press(KEY_ENTER);
    press(KEY_TAB);
    returnStruct* result = game();
    EXPECT_EQ(result->hours, 2);
    EXPECT_EQ(result->minutes, 30);
    delete result;
    EXPECT_EQ(timerCounter, -1);
    EXPECT_FALSE(run);
}

// The README tells players what each enemy costs, how much health there is and when the race
// ends, in its own words: the numbers there are the game's.
TEST(readme, tellsTheGamesDamageHealthAndEnd) {
    std::ifstream file(GRAVELMOTH_SOURCE_DIR "/README.md");
    const std::string readme{std::istreambuf_iterator<char>(file), {}};
    ASSERT_FALSE(readme.empty());
    // The cost column of the enemy's row in the table "What comes at you".
    const auto cost = [&readme](const std::string& enemy) {
        const std::size_t row = readme.find("\n| " + enemy + " |");
        if (row == std::string::npos)
            return std::string("no row");
        std::istringstream cells(readme.substr(row + 1, readme.find('\n', row + 1) - row - 1));
        std::string cell;
        for (int column = 0; column < 4; ++column)
            std::getline(cells, cell, '|');
        return cell.substr(1, cell.find_first_of(", ", 1) - 1);
    };
    EXPECT_EQ(cost("Stone"), std::to_string(stoneDamage));
    EXPECT_EQ(cost("Mine"), std::to_string(mineDamage));
    EXPECT_EQ(cost("Enemy car"), std::to_string(carDamage));
    EXPECT_EQ(cost("Robot"), std::to_string(bulletDamage));
    EXPECT_NE(readme.find("The health bar holds " + std::to_string(healthPoints) + " points"),
              std::string::npos);
    EXPECT_NE(readme.find("when the clock reaches " + std::to_string(raceEndHour) + ":00"),
              std::string::npos);
}
