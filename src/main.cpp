#include "main.h"
#include "main_internal.h"

#include "errors.h"
#include "game.h"
#include "globals.h"
#include "layout.h"
#include "tools.h"

#include <allegro.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

std::atomic<int> timerCounter{0};

static const char* const highscoreFile = "highscore.sav";
// Saves take turns through this file's lock; their temporary files start with the prefix.
static const char* const highscoreLock = "highscore.sav.lock";
static const char* const temporaryPrefix = "highscore.sav.tmp";

void timerCounterUpdater() {
    ++timerCounter;
}

void closeFunc() {
    global::exit = true;
}

void show() {
    blit(global::dbuffer, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
}

// The window's icon, made with the others by the asset generator. The library declares the
// pointer in no header; it reads it when allegro_init makes the window.
#include "gravelmoth.xpm"
extern "C" void* allegro_icon;

// Without a display the library cannot start, and calling it any further would crash; its
// message box needs it too, so the only place left to say so is the terminal.
static void startLibrary() {
    allegro_icon = gravelmoth_xpm;
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

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may set global::exit");

static void endSignal(int) {
    global::exit = true;
}

// Logging out, Ctrl+C and kill end the game the way the close button does, so a race still
// offers its result. allegro_init installs handlers of its own, which end the process at once
// (aborting it when a signal comes while the window is locked); these replace them.
static void catchEndSignals() {
    struct sigaction action = {};
    action.sa_handler = endSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void init() {
    startLibrary();
    // Cleared before a signal can set it.
    global::exit = false;
    catchEndSignals();
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
        // Ticks left over from a stalled race are decided on without a frame each, so they are
        // used up at once rather than carried into the next race.
        while (decision == 2 && timerCounter > 1) {
            decision = titleDecision();
            --timerCounter;
        }
        if (decision == 2) {
            decision = titleTick(picture);
            --timerCounter;
        }
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

// What is in the best result's place: nothing yet, a best that could be read, or something
// the game must leave alone (a best it may not read, a folder, a FIFO, a device).
enum class stored { missing, readable, untouchable };

// Reads up to size bytes, fewer when the file ends first; false on a read error.
static bool readUpTo(int fd, unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t got = read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// The open never waits, so a FIFO or a device in the file's place cannot freeze the game;
// only a regular file is read.
static stored readStored(int& hours, int& minutes) {
    unsigned char bytes[8] = {}; // bytes a short file does not give stay zero
    hours = 0;
    minutes = 0;
    const int fd = open(highscoreFile, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? stored::missing : stored::untouchable;
    struct stat info;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const bool gotBytes = regular && readUpTo(fd, bytes, sizeof bytes);
    close(fd);
    if (!gotBytes)
        return stored::untouchable;
    hours = readLittleEndian(bytes);
    minutes = readLittleEndian(bytes + 4);
    return stored::readable;
}

void readHighscore(int& hours, int& minutes) {
    readStored(hours, minutes);
}

static bool writeAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// A best the game cannot read is never replaced by what may be a worse result, and one
// without any write permission bit is the player's locked best, root's game included.
// `old` receives the file's owner and mode, followed through a link.
static bool mayReplace(struct stat& old, bool& exists) {
    int hours;
    int minutes;
    const stored kind = readStored(hours, minutes);
    exists = kind == stored::readable;
    if (kind != stored::readable)
        return kind == stored::missing;
    return stat(highscoreFile, &old) == 0 && (old.st_mode & 0222) != 0 &&
           faccessat(AT_FDCWD, highscoreFile, W_OK, AT_EACCESS) == 0;
}

// A file of a name no one has used, created here and now: never an older file, and never
// through a link planted under that name. Two games never share one.
static int createTemporary(std::string& name) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        name = std::string(temporaryPrefix) + "." + std::to_string(getpid()) + "." +
               std::to_string(now.tv_nsec + attempt);
        const int fd =
            open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The new best keeps the old one's permission bits, and its owner where the player may give
// it (root can), so a private best stays private and a player's best stays theirs.
static void keepOwnerAndMode(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only root may give a file away; the player's own is fine.
    }
    fchmod(fd, old.st_mode & 0777);
}

// The rename survives a power cut only once the folder is on disk too.
static void syncFolder() {
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

// The temporary file replaces the old best only once it is complete on disk, so a full disk
// or a crash never costs the stored best. A rename replaces a link in the best's place and
// never writes into what it points at.
static bool replaceWith(int fd, const std::string& temporary, const unsigned char* bytes,
                        const struct stat* old) {
    if (old)
        keepOwnerAndMode(fd, *old);
    const bool written = writeAll(fd, bytes, 8) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), highscoreFile) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    syncFolder();
    return true;
}

// The first 8 bytes written over where they are, the rest cut off; never through a link.
static bool rewriteInPlace(const unsigned char* bytes) {
    const int fd = open(highscoreFile, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    const bool written = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && writeAll(fd, bytes, 8) &&
                         ftruncate(fd, 8) == 0 && fsync(fd) == 0;
    return close(fd) == 0 && written;
}

bool saveHighscore(int hours, int minutes) {
    struct stat old;
    bool exists = false;
    if (!mayReplace(old, exists))
        return false;
    unsigned char bytes[8];
    writeLittleEndian(hours, bytes);
    writeLittleEndian(minutes, bytes + 4);
    std::string temporary;
    const int fd = createTemporary(temporary);
    if (fd >= 0)
        return replaceWith(fd, temporary, bytes, exists ? &old : nullptr);
    // A folder the player may not write to still holds a best they may write: rewrite it.
    return exists && (errno == EACCES || errno == EPERM) && rewriteInPlace(bytes);
}

// Games sharing a folder take turns to save. Each waits for the lock on a file beside the
// best, but only for a while: a stuck or hostile holder must not freeze the game, which then
// saves without it. -1 when there is no lock.
static int lockSaves() {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = open(highscoreLock, O_RDWR | O_CREAT | flags, 0666);
    if (fd < 0)
        fd = open(highscoreLock, O_RDONLY | flags);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        for (int tries = 0; tries < 300; ++tries) {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0)
                return fd;
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            usleep(10000);
        }
    close(fd);
    return -1;
}

// Temporaries of saves that were cut short. Only called with the lock held, while no other
// save can be under way.
static void removeStaleTemporaries() {
    DIR* folder = opendir(".");
    if (!folder)
        return;
    const size_t length = std::strlen(temporaryPrefix);
    while (const dirent* entry = readdir(folder))
        if (std::strncmp(entry->d_name, temporaryPrefix, length) == 0)
            unlink(entry->d_name);
    closedir(folder);
}

// The stored best is read afresh under the lock: another game may have saved a better one
// since this race began.
void updateHighscore(returnStruct* result) {
    const int lock = lockSaves();
    if (lock >= 0)
        removeStaleTemporaries();
    int hours;
    int minutes;
    readHighscore(hours, minutes);
    if (result->hours > hours || (result->hours == hours && result->minutes > minutes))
        saveHighscore(result->hours, result->minutes);
    if (lock >= 0)
        close(lock);
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
