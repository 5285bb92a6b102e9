// The numbered error reports: the exact text a player is shown, the window gone before the
// message comes up, and how the program ends.
#include "errors.h"
#include "testsupport.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace {

// Under X the library shows a message by running "xmessage" from PATH and waiting for it. This
// stand-in counts the messages, keeps the text of the last (the library's last argument) and
// whether the game's window was still on screen at that moment, then answers as if OK had been
// pressed. A death test's child finds its parent's stand-in through the environment, so both
// read and write the same folder.
const char* const spyVariable = "GRAVELMOTH_MESSAGE_SPY";
const char* const titleVariable = "GRAVELMOTH_REPORT_TITLE";

const char* const fakeXmessage = R"(#!/bin/sh
spy=$(dirname "$0")
for text in "$@"; do :; done
printf '%s' "$text" >"$spy/text"
echo shown >>"$spy/calls"
if [ -n "${GRAVELMOTH_REPORT_TITLE:-}" ]; then
    xdotool search --onlyvisible --name "^$GRAVELMOTH_REPORT_TITLE\$" >/dev/null 2>&1
    echo $? >"$spy/window"
fi
exit 101
)";

class messageSpy {
  public:
    static messageSpy& get() {
        static messageSpy spy;
        return spy;
    }
    ~messageSpy() {
        if (owner) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    }
    std::string file(const std::string& name) const { return dir + "/" + name; }

    void clear() const {
        for (const char* name : {"text", "calls", "window", "exit"})
            std::filesystem::remove(file(name));
    }
    // How many messages came up since the last clear.
    size_t shown() const { return readBytes(file("calls")).size() / std::string("shown\n").size(); }
    // The text of the last message, as the library handed it over.
    std::string text() const { return readBytes(file("text")); }
    // 0 when the report's window was on screen as the message came up, 1 when it was not.
    std::string windowSearch() const { return readBytes(file("window")); }

    // Puts the stand-in first on PATH for as long as it lives.
    struct onPath {
        std::string previous = std::getenv("PATH") ? std::getenv("PATH") : "";
        onPath() { setenv("PATH", (get().dir + ":" + previous).c_str(), 1); }
        ~onPath() { setenv("PATH", previous.c_str(), 1); }
    };

  private:
    messageSpy() {
        if (const char* inherited = std::getenv(spyVariable)) {
            dir = inherited;
            return;
        }
        char pattern[] = "/tmp/gravelmoth-messages-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        dir = pattern;
        owner = true;
        writeBytes(file("xmessage"), fakeXmessage);
        std::filesystem::permissions(file("xmessage"), std::filesystem::perms::owner_all);
        setenv(spyVariable, dir.c_str(), 1);
    }
    std::string dir;
    bool owner = false;
};

// Gives the game window a title of its own, so that the stand-in can tell whether this very
// window is on screen while other tests' windows share the X server.
void titleWindowUniquely() {
    const std::string title = "Gravelmoth report " + std::to_string(getpid());
    set_window_title(title.c_str());
    setenv(titleVariable, title.c_str(), 1);
    // The new title reaches the server on the library's own schedule.
    const std::string wait =
        "timeout 10 xdotool search --sync --onlyvisible --name '^" + title + "$' >/dev/null 2>&1";
    if (std::system(wait.c_str()) != 0)
        throw std::runtime_error("the game window never showed the title " + title);
}

// Runs as an exit handler of the child: the process went out through exit, and the screen is
// either gone or still there.
void noteExit() {
    writeBytes(messageSpy::get().file("exit"), screen ? "screen still set" : "screen gone");
}

struct fatalCase {
    const char* name;
    std::function<void()> raise;
    std::string text;
};

void PrintTo(const fatalCase& c, std::ostream* out) {
    *out << c.name;
}

// Death tests run their statement in a child process of their own: a fresh one rather than a
// fork of one that runs the library's threads.
class reportInChild : public testing::Test {
  protected:
    void SetUp() override {
        previousStyle = GTEST_FLAG_GET(death_test_style);
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        messageSpy::get().clear();
    }
    void TearDown() override { GTEST_FLAG_SET(death_test_style, previousStyle); }
    std::string previousStyle;
    messageSpy::onPath path;
};

class fatalReport : public reportInChild, public testing::WithParamInterface<fatalCase> {};

TEST_P(fatalReport, showsItsTextWithTheWindowGoneAndExitsWithFailure) {
    const messageSpy& spy = messageSpy::get();
    EXPECT_EXIT(
        {
            startGameFrame();
            titleWindowUniquely();
            std::atexit(noteExit);
            GetParam().raise();
            std::fprintf(stderr, "the report returned\n");
            std::_Exit(4);
        },
        testing::ExitedWithCode(EXIT_FAILURE), "");
    EXPECT_EQ(spy.shown(), 1u);
    // The library ends every message with a line feed before it hands it to xmessage.
    EXPECT_EQ(spy.text(), GetParam().text + "\n");
    EXPECT_EQ(spy.windowSearch(), "1\n") << "the window must be gone before the message shows";
    EXPECT_EQ(readBytes(spy.file("exit")), "screen gone") << "exit handlers run after text mode";
}

const fatalCase fatalCases[] = {
    {"timer", [] { error::timer(); }, "Error001: Timer could not be initialised"},
    {"keyboard", [] { error::keyboard(); }, "Error002: No keyboarddriver found"},
    {"soundDriver", [] { error::soundDriver(); },
     "Error003: Sound driver could not be initialised"},
    {"graphicMode", [] { error::graphicMode(); }, "Error004: Graphic mode couldn't be set"},
    {"create", [] { error::create(); }, "Error005: Creating bitmap failed"},
    {"loadBit", [] { error::loadBit("gfx/car.tga"); },
     "Error006: Loading bitmap \"gfx/car.tga\" failed"},
    {"datafile", [] { error::datafile("gfx/game.dat"); },
     "Error007: Loading datafile \"gfx/game.dat\" failed"},
    {"sampleLoad", [] { error::sampleLoad("sfx/100%.wav"); },
     "Error008: Loading sample \"sfx/100%.wav\" failed"},
    {"anyText", [] { error::fatal("%d%% of %s"); }, "%d%% of %s"},
};

INSTANTIATE_TEST_SUITE_P(errors, fatalReport, testing::ValuesIn(fatalCases),
                         [](const testing::TestParamInfo<fatalCase>& info) {
                             return std::string(info.param.name);
                         });

// A start-up failure comes before any graphics mode is set; the report must cope with that.
TEST_F(reportInChild, startUpFailureBeforeAnyWindowStillEndsWithItsReport) {
    const messageSpy& spy = messageSpy::get();
    EXPECT_EXIT(
        {
            allegro_init();
            install_timer();
            std::atexit(noteExit);
            error::timer();
        },
        testing::ExitedWithCode(EXIT_FAILURE), "");
    EXPECT_EQ(spy.shown(), 1u);
    EXPECT_EQ(spy.text(), "Error001: Timer could not be initialised\n");
    EXPECT_EQ(readBytes(spy.file("exit")), "screen gone");
}

// divBy0 only tells; the window stays and the program goes on to draw and report again.
TEST(divisionReport, showsTheModuleOnALineOfItsOwnAndReturns) {
    startGameFrame();
    const messageSpy& spy = messageSpy::get();
    spy.clear();
    messageSpy::onPath path;
    titleWindowUniquely();
    error::divBy0("game.cpp");
    EXPECT_EQ(spy.shown(), 1u);
    EXPECT_EQ(spy.text(),
              "Error009: A division by 0 error was prevented in the following modul:\ngame.cpp\n");
    EXPECT_EQ(spy.windowSearch(), "0\n") << "the window stays on screen";
    clear_to_color(screen, makecol(255, 255, 255));
    EXPECT_EQ(getpixel(screen, 10, 10), makecol(255, 255, 255));
    error::divBy0("%s%n");
    EXPECT_EQ(spy.shown(), 2u);
    EXPECT_EQ(spy.text(),
              "Error009: A division by 0 error was prevented in the following modul:\n%s%n\n");
    unsetenv(titleVariable);
    set_window_title("Gravelmoth - Tarnwick");
}

} // namespace
