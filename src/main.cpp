#include "main.h"
#include "main_internal.h"

#include "errors.h"
#include "game.h"
#include "globals.h"
#include "layout.h"
#include "tools.h"

#include <allegro.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

std::atomic<int> timerCounter{0};

static const char* const highscoreFile = "highscore.sav";
static const char* const highscoreTemp = "highscore.sav.tmp";

void timerCounterUpdater() {
    ++timerCounter;
}

void closeFunc() {
    global::exit = true;
}

void show() {
    blit(global::dbuffer, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
}

// Without a display the library cannot start, and calling it any further would crash; its
// message box needs it too, so the only place left to say so is the terminal.
static void startLibrary() {
    if (allegro_init() == 0)
        return;
    std::fprintf(stderr,
                 "Gravelmoth: the game library could not start. The game needs a graphical "
                 "(X11) display.%s%s\n",
                 allegro_error[0] ? " " : "", allegro_error);
    std::exit(EXIT_FAILURE);
}

static void makeColors() {
    colors::white = makecol(255, 255, 255);
    colors::lgray = makecol(206, 206, 206);
    colors::gray = makecol(156, 156, 156);
    colors::dgray = makecol(99, 99, 99);
    colors::vdgray = makecol(49, 49, 49);
    colors::black = 0;
}

void init() {
    startLibrary();
    if (install_timer() < 0)
        error::timer();
    if (install_keyboard() < 0)
        error::keyboard();
    if (install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, nullptr) < 0)
        error::soundDriver();
    set_window_title("Gravelmoth - Tarnwick");
    set_color_depth(16);
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 320, 200, 0, 0) < 0)
        error::graphicMode();
    global::dbuffer = create_bitmap(SCREEN_W, SCREEN_H);
    if (!global::dbuffer)
        error::create();
    clear_bitmap(global::dbuffer);
    textout_centre_ex(global::dbuffer, font, "Loading engine, please wait...", SCREEN_W / 2,
                      SCREEN_H / 2, makecol(255, 255, 255), -1);
    show();
    install_int_ex(timerCounterUpdater, BPS_TO_TIMER(32));
    set_uformat(U_ASCII);
    std::srand(static_cast<unsigned>(std::time(nullptr) * 703710));
    set_close_button_callback(closeFunc);
    global::exit = false;
    makeColors();
}

void uninit() {
    destroy_bitmap(global::dbuffer);
}

int titleDecision() {
    if (keyStates[KEY_ENTER])
        return 1;
    if (keyStates[KEY_ALT] || keyStates[KEY_LCONTROL] || keyStates[KEY_TAB])
        return 0;
    return global::exit ? 0 : 2;
}

BITMAP* titlePicture() {
    BITMAP* picture = loadPicture("gfx/title.tga");
    int hours;
    int minutes;
    readHighscore(hours, minutes);
    textprintf_centre_ex(picture, font, bestResultX, bestResultY, colors::vdgray, -1, "%2i:%2i",
                         hours, minutes);
    return picture;
}

// The frame is drawn also on the tick that decides.
int titleTick(BITMAP* picture) {
    const int decision = titleDecision();
    blit(picture, global::dbuffer, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
    show();
    clear_bitmap(global::dbuffer);
    return decision;
}

int title() {
    set_close_button_callback(closeFunc);
    BITMAP* picture = titlePicture();
    int decision = 2;
    while (decision == 2) {
        while (timerCounter <= 0) {
        }
        decision = titleTick(picture);
        --timerCounter;
    }
    clear_bitmap(global::dbuffer);
    show();
    destroy_bitmap(picture);
    return decision;
}

static std::int32_t readLittleEndian(const unsigned char* bytes) {
    return static_cast<std::int32_t>(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                     std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
}

static void writeLittleEndian(std::int32_t value, unsigned char* bytes) {
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

void readHighscore(int& hours, int& minutes) {
    // Bytes a short or unreadable file does not give stay zero.
    unsigned char bytes[8] = {};
    if (fileExists(highscoreFile)) {
        std::ifstream file(highscoreFile, std::ios::binary);
        file.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    }
    hours = readLittleEndian(bytes);
    minutes = readLittleEndian(bytes + 4);
}

static bool writeAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The new best goes to a temporary file that replaces the old one only once it is complete on
// disk, so a full disk or a crash never costs the stored best.
bool saveHighscore(int hours, int minutes) {
    // A best the player cannot write to stays as it is.
    if (access(highscoreFile, F_OK) == 0) {
        const int existing = open(highscoreFile, O_WRONLY);
        if (existing < 0)
            return false;
        close(existing);
    }
    unsigned char bytes[8];
    writeLittleEndian(hours, bytes);
    writeLittleEndian(minutes, bytes + 4);
    const int fd = open(highscoreTemp, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes, sizeof bytes) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(highscoreTemp, highscoreFile) != 0) {
        unlink(highscoreTemp);
        return false;
    }
    return true;
}

void updateHighscore(returnStruct* result) {
    int hours;
    int minutes;
    readHighscore(hours, minutes);
    if (result->hours > hours || (result->hours == hours && result->minutes > minutes))
        saveHighscore(result->hours, result->minutes);
}

int main(int, char**) {
    init();
    while (title() == 1 && !global::exit) {
        returnStruct* result = game();
        updateHighscore(result);
        delete result;
    }
    uninit();
    return 0;
}
END_OF_MAIN()
