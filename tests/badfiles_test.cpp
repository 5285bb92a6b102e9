// Damaged pictures and sounds: a file missing, empty, cut off in the middle, or holding the
// other kind of file. Where the library refuses the file, the game ends with that file's
// numbered report at the moment it first needs it; where the library takes it, the game plays
// on with what it got. Each case runs the game in a child process of its
// own, which goes through the title, the start of a race and the first enemy of every kind,
// saying on stderr which step it is at.
#include "enemy.h"
#include "game_internal.h"
#include "globals.h"
#include "main.h"
#include "testsupport.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path sourceDir = GRAVELMOTH_SOURCE_DIR;

// The steps of a game in the order a player meets them, each needing its own files: the first
// enemy of every kind is a step of its own.
std::vector<std::string> steps() {
    std::vector<std::string> names{"start", "title", "race"};
    for (const enemyKind& kind : enemyKinds)
        names.push_back(kind.name);
    names.insert(names.end(), {"play", "done"});
    return names;
}

void step(const std::string& name) {
    std::fprintf(stderr, "step %s\n", name.c_str());
}

// Everything the game can load, from the title to the robot's sound, then a short race with
// every picture drawn and every sound played; ends the process.
[[noreturn]] void playThroughEveryFile() {
    // A file the game waits on would hold the child for good: it ends failed well before the
    // test's time limit instead.
    alarm(60);
    step("start");
    startGameFrame();
    step("title");
    key[KEY_ENTER] = 1;
    timerCounter = 1;
    if (title() != 1)
        std::exit(3);
    releaseAllKeys();
    step("race");
    raceState race;
    loadRace(race);
    resetRace(race);
    int slot = 0;
    for (const enemyKind& kind : enemyKinds) {
        step(kind.name);
        race.enemies[slot++] = kind.make();
    }
    step("play");
    // A shot over the whole field sets the mine off; the first tick fires, so the shot's flash
    // shows; the robot fires on its 64th tick.
    std::srand(7);
    for (enemy* e : race.enemies)
        if (e)
            e->attack(0, SCREEN_H >> 1, SCREEN_W, SCREEN_H);
    for (int tick = 0; tick < 200 && run; ++tick) {
        key[KEY_LCONTROL] = tick % 120 == 0;
        key[KEY_RIGHT] = tick % 50 == 0;
        raceTick(race);
        drawRace(race);
        show();
    }
    delete endRace(race);
    step("done");
    std::exit(0);
}

// The lines of the child's stderr that tell its steps and its reports, without whatever the
// sound system or the sanitizers add.
std::string storyOf(const std::string& output) {
    std::istringstream in(output);
    std::string story, line;
    while (std::getline(in, line))
        if (line.rfind("step ", 0) == 0 || line.rfind("Error0", 0) == 0)
            story += line + "\n";
    return story;
}

std::string stepsUpTo(const std::string& last) {
    std::string story;
    for (const std::string& name : steps()) {
        story += "step " + name + "\n";
        if (name == last)
            break;
    }
    return story;
}

class tellsStory : public testing::MatcherInterface<const std::string&> {
  public:
    explicit tellsStory(std::string story) : story(std::move(story)) {}
    bool MatchAndExplain(const std::string& output,
                         testing::MatchResultListener* listener) const override {
        *listener << "whose story is\n" << storyOf(output);
        return storyOf(output) == story;
    }
    void DescribeTo(std::ostream* out) const override { *out << "tells\n" << story; }

  private:
    std::string story;
};

testing::Matcher<const std::string&> tells(const std::string& story) {
    return testing::MakeMatcher(new tellsStory(story));
}

enum class damage { missing, empty, truncated, otherKind };
enum class outcome { report, loads };

struct badFile {
    const char* file;
    const char* firstNeeded; // the step that loads it
    damage how;
    outcome expected;
};

void PrintTo(const badFile& c, std::ostream* out) {
    *out << c.file;
}

std::string caseName(const testing::TestParamInfo<badFile>& info) {
    std::string name = fs::path(info.param.file).stem().string();
    name += fs::path(info.param.file).extension() == ".tga" ? "Picture" : "Sound";
    const char* how[] = {"Missing", "Empty", "Truncated", "OtherKind"};
    return name + how[static_cast<int>(info.param.how)];
}

bool isPicture(const std::string& file) {
    return fs::path(file).extension() == ".tga";
}

std::string reportFor(const std::string& file) {
    return (isPicture(file) ? "Error006: Loading bitmap \"" : "Error008: Loading sample \"") +
           file + "\" failed\n";
}

class badFileTest : public testing::TestWithParam<badFile> {
  protected:
    void SetUp() override {
        for (const char* dir : {"gfx", "sfx"}) {
            fs::create_directory(dir);
            for (const fs::directory_entry& file : fs::directory_iterator(sourceDir / dir))
                fs::create_symlink(file.path(), fs::path(dir) / file.path().filename());
        }
    }

    void spoil(const badFile& c) {
        const fs::path original = sourceDir / c.file;
        ASSERT_TRUE(fs::is_regular_file(original)) << original;
        const std::string bytes = readBytes(original.string());
        fs::remove(c.file);
        switch (c.how) {
        case damage::missing:
            break;
        case damage::empty:
            writeBytes(c.file, "");
            break;
        case damage::truncated:
            writeBytes(c.file, bytes.substr(0, bytes.size() / 2));
            break;
        case damage::otherKind:
            writeBytes(c.file, readBytes((sourceDir / (isPicture(c.file) ? "sfx/explosion.wav"
                                                                         : "gfx/stone.tga"))
                                             .string()));
            break;
        }
    }

    scratchFolder folder;
    // The reports' texts go to stderr, where the test reads them.
    standInMessages messages{""};
};

TEST_P(badFileTest, endsWithItsReportWhenFirstNeededOrPlaysOn) {
    const badFile& c = GetParam();
    spoil(c);
    if (c.expected == outcome::report)
        EXPECT_EXIT(playThroughEveryFile(), testing::ExitedWithCode(EXIT_FAILURE),
                    tells(stepsUpTo(c.firstNeeded) + reportFor(c.file)));
    else
        EXPECT_EXIT(playThroughEveryFile(), testing::ExitedWithCode(0), tells(stepsUpTo("done")));
}

// One case for each moment the game loads files (the title, the start of a race, the first
// enemy of each kind) and for each damage, pictures and sounds both. A missing, empty or foreign
// file and a sound cut off in the middle are refused; a picture cut off in the middle loads with
// its missing rows filled in. Every other form the readers refuse is the readers' own tests'
// (tools_test.cpp): the game treats each refusal alike.
std::vector<badFile> everyCase() {
    return {
        {"gfx/title.tga", "title", damage::missing, outcome::report},
        {"gfx/car.tga", "race", damage::otherKind, outcome::report},
        {"sfx/racecar.wav", "race", damage::truncated, outcome::report},
        {"gfx/stone.tga", "stone", damage::empty, outcome::report},
        {"gfx/enemycar.tga", "enemycar", damage::missing, outcome::report},
        {"sfx/mineexplosion.wav", "mine", damage::otherKind, outcome::report},
        {"gfx/robotbullet.tga", "robot", damage::empty, outcome::report},
        {"gfx/mine.tga", "mine", damage::truncated, outcome::loads},
    };
}

INSTANTIATE_TEST_SUITE_P(files, badFileTest, testing::ValuesIn(everyCase()), caseName);

} // namespace
