// How much of its 31.25 ms tick budget the race uses: one tick with a full enemy table, one
// frame against the cheapest frame the window allows, and a whole race's ticks caught up at
// once. Runs the game's own objects in its real window; the targets are printed, never
// enforced, so a slow or busy machine cannot fail a build. A broken race (one that does not
// run all its ticks) does fail.
#include "enemy.h"
#include "game_internal.h"
#include "globals.h"
#include "main.h"
#include "main_internal.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

// On a shared machine the fastest repetition says most about the code itself.
double fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

// From the start of a race to the end of its day.
int ticksPerRace() {
    const raceStart start;
    return (raceEndHour * 60 - (start.hours * 60 + start.minutes)) * ticksPerMinute;
}

// The race's pictures and sounds are the repository's own, which are committed.
void useRaceFiles() {
    namespace fs = std::filesystem;
    const fs::path repository = GRAVELMOTH_SOURCE_DIR;
    fs::create_directory_symlink(repository / "gfx", "gfx");
    fs::create_directory_symlink(repository / "sfx", "sfx");
}

// A loaded race whose table is kept full of every kind in turn and which spawns nothing itself.
class fullRace {
  public:
    fullRace() {
        loadRace(race);
        resetRace(race);
        refill();
    }
    ~fullRace() { delete endRace(race); }
    fullRace(const fullRace&) = delete;
    fullRace& operator=(const fullRace&) = delete;

    void refill() {
        race.spawnCountdown = INT_MAX;
        for (int slot = 0; slot < enemySlots; ++slot)
            if (!race.enemies[slot])
                race.enemies[slot] = enemyKinds[slot % std::size(enemyKinds)].make();
    }
    int live() const {
        int count = 0;
        for (const enemy* slot : race.enemies)
            count += slot != nullptr;
        return count;
    }

    raceState race;
};

// Enemies that leave during a block are put back before the next one, outside the timing.
void raceTickFullTable(benchmark::State& state) {
    using clock = std::chrono::steady_clock;
    const int block = 4;
    fullRace full;
    double live = 0;
    for (auto _ : state) {
        full.refill();
        const clock::time_point start = clock::now();
        for (int i = 0; i < block; ++i)
            raceTick(full.race);
        const clock::time_point end = clock::now();
        live += full.live();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count() / block);
    }
    state.counters["enemies_at_block_end"] = live / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * block);
}
BENCHMARK(raceTickFullTable)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

// The frame with the most in it: a full table, the shot flash and "Reloading".
void raceFrame(benchmark::State& state) {
    fullRace full;
    full.race.reload = reloadTicks;
    for (auto _ : state) {
        drawRace(full.race);
        show();
    }
}
BENCHMARK(raceFrame)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

// The cheapest frame there is: clear the buffer, copy it to the window.
void frameFloor(benchmark::State& state) {
    for (auto _ : state) {
        clear_to_color(global::dbuffer, colors::white);
        show();
    }
}
BENCHMARK(frameFloor)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

// A larger window, as the options open it, for one benchmark; then the game's own again.
class largerWindow {
  public:
    explicit largerWindow(const windowOptions& options) { openWindow(options); }
    ~largerWindow() { openWindow({}); }
};

windowOptions scaled(int scale) {
    windowOptions options;
    options.scale = scale;
    return options;
}

windowOptions fullscreen() {
    windowOptions options;
    options.fullscreen = true;
    return options;
}

// The cheapest frame in a window of that size: clearing a buffer of the window's size and
// copying it to the window.
void largerFloor(benchmark::State& state, windowOptions options) {
    largerWindow window(options);
    BITMAP* buffer = create_bitmap(SCREEN_W, SCREEN_H);
    for (auto _ : state) {
        clear_to_color(buffer, colors::white);
        blit(buffer, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
    }
    destroy_bitmap(buffer);
}
BENCHMARK_CAPTURE(largerFloor, scale3, scaled(3))
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK_CAPTURE(largerFloor, fullscreen, fullscreen())
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

// The game's frame, cleared at 320 by 200 and enlarged by show().
void largerShow(benchmark::State& state, windowOptions options) {
    largerWindow window(options);
    for (auto _ : state) {
        clear_to_color(global::dbuffer, colors::white);
        show();
    }
}
BENCHMARK_CAPTURE(largerShow, scale3, scaled(3))
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK_CAPTURE(largerShow, fullscreen, fullscreen())
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

// The same two without the window: what the game itself spends on a frame.
void raceFrameOffscreen(benchmark::State& state) {
    fullRace full;
    full.race.reload = reloadTicks;
    for (auto _ : state) {
        drawRace(full.race);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(raceFrameOffscreen)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

void frameFloorOffscreen(benchmark::State& state) {
    BITMAP* target = create_bitmap(SCREEN_W, SCREEN_H);
    for (auto _ : state) {
        clear_to_color(global::dbuffer, colors::white);
        blit(global::dbuffer, target, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
        benchmark::ClobberMemory();
    }
    destroy_bitmap(target);
}
BENCHMARK(frameFloorOffscreen)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest);

// A whole race stalled behind and caught up in one pass of the race loop, as game() runs it:
// the race loaded with every tick of the day pending, the 41,280 ticks with spawning as in
// play, one frame, the end of the race. A pass stops at the tick that ends the race, so the
// car's damage limit is put out of the enemies' reach and the day runs on to 24:00.
void wholeRaceCatchUp(benchmark::State& state) {
    for (auto _ : state) {
        timerCounter = ticksPerRace();
        raceState race;
        loadRace(race);
        resetRace(race);
        race.maxDamage = INT_MAX;
        racePass(race);
        returnStruct* result = endRace(race);
        const int left = timerCounter;
        const bool wholeDay = result->hours == raceEndHour && result->minutes == 0;
        delete result;
        if (left != 0 || !wholeDay) {
            state.SkipWithError("the race did not run every pending tick to 24:00");
            break;
        }
    }
    state.counters["ticks"] = ticksPerRace();
}
BENCHMARK(wholeRaceCatchUp)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

// The ticks alone, without the loading and the last frame.
void wholeRaceTicks(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        raceState race;
        loadRace(race);
        resetRace(race);
        state.ResumeTiming();
        for (int i = ticksPerRace(); i > 0; --i)
            raceTick(race);
        state.PauseTiming();
        const bool wholeDay = race.hours == raceEndHour && race.minutes == 0 && !run;
        delete endRace(race);
        state.ResumeTiming();
        if (!wholeDay) {
            state.SkipWithError("the race clock did not reach 24:00");
            break;
        }
    }
}
BENCHMARK(wholeRaceTicks)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

// What the process holds in memory now, in KB.
long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long residentPages = 0;
    statm >> pages >> residentPages;
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

const int racesInARow = 50;

// The player steers, changes speed and fires now and then, so shots meet mines and cars.
void playerInput(int tick) {
    key[KEY_LCONTROL] = tick % 97 < 2;
    key[KEY_ALT] = tick % 131 < 2;
    key[KEY_RIGHT] = tick % 300 == 5;
    key[KEY_LEFT] = tick % 300 == 150;
    key[KEY_UP] = tick / 64 % 4 == 1;
    key[KEY_DOWN] = tick / 64 % 4 == 3;
}

// Fifty races in one process, as a long evening of play runs them, each loading its files and
// those of every enemy kind it meets and freeing them at its end; the enemies end each race.
// Under the sanitizers this smoke run is also the leak and memory-error check of whole races. The
// resident memory after each race must not grow race by race: the figures are the first race's, the
// last one's, and the growth per race from the tenth on, when the library and the allocator have
// made their first allocations.
void racesInOneProcess(benchmark::State& state) {
    std::vector<long> resident;
    long ticks = 0;
    for (auto _ : state) {
        resident.clear();
        ticks = 0;
        for (int number = 0; number < racesInARow; ++number) {
            std::srand(1000u + static_cast<unsigned>(number));
            raceState race;
            loadRace(race);
            resetRace(race);
            for (int tick = 0; run && tick < ticksPerRace(); ++tick, ++ticks) {
                playerInput(tick);
                raceTick(race);
                if (tick % 16 == 0)
                    drawRace(race);
            }
            releaseAllKeys();
            delete endRace(race);
            resident.push_back(residentKb());
        }
    }
    const int settled = 9;
    state.counters["ticksPerRace"] = static_cast<double>(ticks) / racesInARow;
    state.counters["firstMB"] = static_cast<double>(resident.front()) / 1024;
    state.counters["lastMB"] = static_cast<double>(resident.back()) / 1024;
    state.counters["KBperRace"] =
        static_cast<double>(resident.back() - resident[settled]) / (racesInARow - 1 - settled);
}
BENCHMARK(racesInOneProcess)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Google Benchmark 1.8 replaced a run's error_occurred flag by its skipped state; of these two,
// only the one that fits the installed version compiles.
template <class run> auto runFailed(const run& r, int) -> decltype(bool(r.error_occurred)) {
    return r.error_occurred;
}
template <class run>
auto runFailed(const run& r, long) -> decltype(r.skipped == decltype(r.skipped)::SkippedWithError) {
    return r.skipped == decltype(r.skipped)::SkippedWithError;
}

// Prints as usual, then each figure against its target; remembers whether any run failed.
class figuresReporter : public benchmark::ConsoleReporter {
  public:
    figuresReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (runFailed(run, 0)) {
                failed = true;
                continue;
            }
            const std::string name = run.run_name.function_name;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            // A single run stands for itself; repetitions by their median and their fastest.
            if (run.run_type == Run::RT_Iteration) {
                median[name] = seconds;
                fastest[name] = seconds;
            } else if (run.aggregate_name == "median") {
                median[name] = seconds;
            } else if (run.aggregate_name == "min") {
                fastest[name] = seconds;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void summary() {
        std::printf("\nAgainst the targets (not enforced), median (fastest):\n");
        target("raceTickFullTable", 1e6, "us", "one race tick, 32 enemies", 2);
        ratio("raceFrame", "frameFloor", "race frame / clear+blit to the window", 2);
        ratio("raceFrameOffscreen", "frameFloorOffscreen", "race frame / clear+blit offscreen", 2);
        ratio("largerShow/scale3", "largerFloor/scale3", "show() at scale 3 / floor at 960x600",
              1.5);
        ratio("largerShow/fullscreen", "largerFloor/fullscreen",
              "show() full screen / floor at the display", 1.5);
        target("wholeRaceCatchUp", 1e3, "ms", "41,280 ticks caught up in one pass", 100);
        target("wholeRaceTicks", 1e3, "ms", "41,280 raceTick calls", 100);
    }

    bool failed = false;

  private:
    bool has(const std::string& name) const { return median.count(name) && fastest.count(name); }
    static const char* verdict(bool met) { return met ? "met" : "MISSED"; }

    void target(const std::string& name, double scale, const char* unit, const char* what,
                double limit) {
        if (!has(name))
            return;
        const double value = median[name] * scale;
        std::printf("  %-40s %9.3f (%9.3f) %s   target < %g %s: %s\n", what, value,
                    fastest[name] * scale, unit, limit, unit, verdict(value < limit));
    }
    void ratio(const std::string& name, const std::string& floor, const char* what, double limit) {
        if (!has(name) || !has(floor))
            return;
        const double value = median[name] / median[floor];
        std::printf("  %-40s %9.3f (%9.3f) x    target <= %g x: %s\n", what, value,
                    fastest[name] / fastest[floor], limit, verdict(value <= limit));
    }

    std::map<std::string, double> median;
    std::map<std::string, double> fastest;
};

} // namespace

// The game's objects bring their own main; the linker's --wrap=main sends the C runtime here.
extern "C" int __wrap_main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    startGameFrame();
    scratchFolder folder;
    useRaceFiles();
    std::srand(1);
    figuresReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.summary();
    return reporter.failed ? 1 : 0;
}
