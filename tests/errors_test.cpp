// The numbered error reports: the exact text a player is shown, the window gone before the
// message comes up, and how the program ends.
#include "errors.h"
#include "main.h"
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

const char* const titleVariable = "GRAVELMOTH_REPORT_TITLE";

// What the stand-in xmessage noted: the texts shown, each as the library handed it over (it
// ends every message with a line feed) followed by the stand-in's own line feed.
std::string messagesShown() {
    return readBytes(standInMessages::log());
}
std::string shown(const std::string& text) {
    return text + "\n\n";
}
// 0 when the report's window was on screen as the last message came up, 1 when it was not.
std::string windowSearch() {
    return readBytes(standInMessages::log() + ".window");
}
std::string exitNote() {
    return readBytes(standInMessages::log() + ".exit");
}

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
    writeBytes(standInMessages::log() + ".exit", screen ? "screen still set" : "screen gone");
}

struct fatalCase {
    const char* name;
    std::function<void()> raise;
    std::string text;
};

void PrintTo(const fatalCase& c, std::ostream* out) {
    *out << c.name;
}

// Death tests run their statement in a child process of their own (see test_main.cpp). The
// child notes what it saw in its parent's folder.
class reportInChild : public testing::Test {
  protected:
    scratchFolder folder;
    standInMessages messages{"messages"};
};

class fatalReport : public reportInChild, public testing::WithParamInterface<fatalCase> {};

TEST_P(fatalReport, showsItsTextWithTheWindowGoneAndExitsWithFailure) {
    EXPECT_EXIT(
        {
            startGameFrame();
            titleWindowUniquely();
            std::atexit(noteExit);
            GetParam().raise();
            std::fprintf(stderr, "the report returned\n");
            std::exit(4);
        },
        testing::ExitedWithCode(EXIT_FAILURE), "");
    EXPECT_EQ(messagesShown(), shown(GetParam().text));
    EXPECT_EQ(windowSearch(), "1\n") << "the window must be gone before the message shows";
    EXPECT_EQ(exitNote(), "screen gone") << "exit handlers run after text mode";
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
    EXPECT_EXIT(
        {
            allegro_init();
            install_timer();
            std::atexit(noteExit);
            error::timer();
        },
        testing::ExitedWithCode(EXIT_FAILURE), "");
    EXPECT_EQ(messagesShown(), shown("Error001: Timer could not be initialised"));
    EXPECT_EQ(exitNote(), "screen gone");
}

// divBy0 only tells; the window stays and the program goes on to draw and report again.
TEST(divisionReport, showsTheModuleOnALineOfItsOwnAndReturns) {
    startGameFrame();
    scratchFolder folder;
    standInMessages messages("messages");
    titleWindowUniquely();
    const std::string first =
        shown("Error009: A division by 0 error was prevented in the following modul:\ngame.cpp");
    error::divBy0("game.cpp");
    EXPECT_EQ(messagesShown(), first);
    EXPECT_EQ(windowSearch(), "0\n") << "the window stays on screen";
    clear_to_color(screen, makecol(255, 255, 255));
    EXPECT_EQ(getpixel(screen, 10, 10), makecol(255, 255, 255));
    error::divBy0("%s%n");
    EXPECT_EQ(messagesShown(),
              first + shown("Error009: A division by 0 error was prevented in the following "
                            "modul:\n%s%n"));
    unsetenv(titleVariable);
    set_window_title(windowTitle);
}

} // namespace
