#include "main.h"
#include "main_internal.h"

#include "errors.h"
#include "game.h"
#include "globals.h"
#include "layout.h"
#include "tools.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <allegro.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xalleg.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

std::atomic<int> timerCounter{0};
// Every tick the library has given, so that the game sees whether ticks still come.
static std::atomic<unsigned> ticksGiven{0};
static const int ticksPerSecond = 32;

static const char* const highscoreFile = "highscore.sav";
// Saves take turns through this file's lock; their temporary files start with the prefix.
static const char* const highscoreLock = "highscore.sav.lock";
static const char* const temporaryPrefix = "highscore.sav.tmp";

void timerCounterUpdater() {
    ++timerCounter;
    ++ticksGiven;
}

static void startTicks() {
    install_int_ex(timerCounterUpdater, BPS_TO_TIMER(ticksPerSecond));
}

static double monotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
double (*screenClock)() = monotonicSeconds;

// After the game goes on from a stop, the ticks that came due meanwhile come from the library's
// thread within one of its periods (27 ms at most): this long, with room to spare.
static const double settleSeconds = 0.1;

// True when the game stood still (or was busy elsewhere) since it last looked.
// The library's timer thread passes the time since its last look in an int of its 1.19 MHz
// units, which overflows when the game has stood still (stopped, in a debugger) for half an
// hour or more: it then gives no tick for up to as long again. So when the game has been awake,
// looking, for several seconds without a tick, the tick is installed afresh, and the ticks that
// came due since the last one are counted here, as the library would have. A suspended laptop
// is not such a stop: the monotonic clock leaves the suspension out.
bool lookAtTicks(double now) {
    static unsigned seen = 0;
    static double lastTick = 0;   // until when the ticks given are all that came due
    static double lastLook = 0;   // when it last looked
    static double awakeSince = 0; // since when it has looked without a pause and seen no tick
    static double stoppedAt = 0;  // the last look before the latest pause
    static double resumedAt = 0;  // the first look after it
    const bool stoodStill = lastLook != 0 && now - lastLook > 0.5;
    if (stoodStill) {
        stoppedAt = lastLook;
        resumedAt = now;
    }
    lastLook = now;
    if (ticksGiven != seen || lastTick == 0) {
        seen = ticksGiven;
        // A tick seen as the game goes on may have come before the pause, while a frame was
        // drawn: it says nothing of the ticks due during the pause.
        lastTick = now - resumedAt < settleSeconds ? stoppedAt : now;
        awakeSince = now;
    } else if (stoodStill) {
        awakeSince = now;
    }
    if (now - awakeSince >= 4) {
        remove_int(timerCounterUpdater);
        startTicks();
        // A day at most: more than any race lasts, and never an overflow.
        timerCounter += static_cast<int>(std::min(now - lastTick, 86400.0) * ticksPerSecond);
        lastTick = awakeSince = now;
    }
    return stoodStill;
}

// The screens poll rather than sleep, so that a tick is taken the moment it comes. After the
// game stood still, the ticks that came due meanwhile come from the library's thread a little
// after the game goes on: the wait lasts until they have, so that a screen takes them all before
// it decides on a key. A tick is taken only if it was there before the look: a stop between
// a look and the tick would otherwise go unseen, and the screen would decide on a key pressed
// during the stop with the stop's ticks still to come.
bool awaitTick() {
    double settled = 0;
    while (!global::exit) {
        const bool pending = timerCounter > 0;
        const double now = screenClock();
        if (lookAtTicks(now))
            settled = now + settleSeconds;
        if (pending && now >= settled)
            return true;
    }
    return false;
}

void closeFunc() {
    global::exit = true;
}

// Where the frame sits on the screen and how much it is enlarged; the window's own size at
// first, and nothing but show() reads them. An enlarged frame is made in memory first: the
// library copies a whole bitmap to the window far faster than it stretches onto it.
static int frameScale = 1;
static int frameX = 0;
static int frameY = 0;
static BITMAP* enlarged = nullptr;

void placeFrame(int scale, int x, int y) {
    frameScale = scale;
    frameX = x;
    frameY = y;
    if (enlarged)
        destroy_bitmap(enlarged);
    enlarged = scale == 1 ? nullptr : create_bitmap(screenW * scale, screenH * scale);
    if (scale != 1 && !enlarged)
        error::create();
}

// Each pixel into a block of SCALE by SCALE, with no smoothing: the first row of a block pixel
// by pixel, the others copies of it, several times faster than the library's stretch_blit.
static void enlarge(BITMAP* from, BITMAP* to, int scale) {
    if (bitmap_color_depth(from) != 16) {
        stretch_blit(from, to, 0, 0, from->w, from->h, 0, 0, to->w, to->h);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(to->w) * sizeof(std::uint16_t);
    for (int y = 0; y < from->h; ++y) {
        const auto* in = reinterpret_cast<const std::uint16_t*>(from->line[y]);
        auto* out = reinterpret_cast<std::uint16_t*>(to->line[y * scale]);
        for (int x = 0; x < from->w; ++x)
            out = std::fill_n(out, scale, in[x]);
        for (int k = 1; k < scale; ++k)
            std::memcpy(to->line[y * scale + k], to->line[y * scale], rowBytes);
    }
}

void show() {
    if (!enlarged) {
        blit(global::dbuffer, screen, 0, 0, frameX, frameY, screenW, screenH);
        return;
    }
    enlarge(global::dbuffer, enlarged, frameScale);
    blit(enlarged, screen, 0, 0, frameX, frameY, enlarged->w, enlarged->h);
}

const char* const optionsHelp =
    "Usage: gravelmoth [--scale N | --scale auto | --fullscreen | --help]\n"
    "Races a car through a day against stones, mines, cars and robots.\n"
    "\n"
    "  --scale N      a window N times 320 by 200, N from 1 to 8\n"
    "  --scale auto   the largest such window within 80 % of the desktop\n"
    "  --fullscreen   the whole display, the picture enlarged as far as it fits, on black\n"
    "  --help         print this help and exit\n"
    "\n"
    "Without an option the window is 320 by 200.\n";

static const int largestScale = 8;

// The scale named after --scale: a whole number from 1 to 8, or auto.
static bool readScale(const std::string& text, windowOptions& options, std::string& error) {
    if (text == "auto") {
        options.autoScale = true;
        return true;
    }
    const bool digits = text.size() == 1 && text[0] >= '1' && text[0] <= '0' + largestScale;
    if (digits) {
        options.scale = text[0] - '0';
        return true;
    }
    error = "--scale takes a whole number from 1 to 8 or auto, not '" + text + "'";
    return false;
}

// --scale and its number in one word.
static const char* const scaleJoined = "--scale=";

bool parseOptions(int argc, char** argv, windowOptions& options, bool& help, std::string& error) {
    options = windowOptions();
    help = false;
    bool scaled = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            help = true;
        } else if (option == "--fullscreen") {
            options.fullscreen = true;
        } else if (option == "--scale" || option.rfind(scaleJoined, 0) == 0) {
            const bool joined = option != "--scale";
            if (!joined && i + 1 == argc) {
                error = "--scale needs a number from 1 to 8 or auto";
                return false;
            }
            if (!readScale(joined ? option.substr(std::strlen(scaleJoined)) : argv[++i], options,
                           error))
                return false;
            scaled = true;
        } else {
            error = "unknown option '" + option + "' (see gravelmoth --help)";
            return false;
        }
    }
    if (scaled && options.fullscreen) {
        error = "--scale and --fullscreen cannot be used together";
        return false;
    }
    return true;
}

int fittingScale(int width, int height) {
    return std::max(1, std::min(width / screenW, height / screenH));
}

// The library draws in a child of the window the window manager sees.
static Window topLevel(Display* display, Window window) {
    for (;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            return window;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            return window;
        window = parent;
    }
}

// On a window the size of the display, with no mode change: the request a window manager takes,
// and the state itself, which stands where there is none to take it (a bare X server).
static void askFullScreen() {
    XLOCK();
    Display* display = _xwin.display;
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    const Window window = topLevel(display, _xwin.window);
    XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&fullscreen), 1);
    XEvent request = {};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = state;
    request.xclient.format = 32;
    request.xclient.data.l[0] = 1; // add
    request.xclient.data.l[1] = static_cast<long>(fullscreen);
    request.xclient.data.l[3] = 1; // from an application
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(display);
    XUNLOCK();
}

// The window the options ask for, and the frame placed in it. The picture is enlarged by a
// whole factor only, so every pixel stays square and sharp.
void openWindow(const windowOptions& options) {
    int desktopW = 0;
    int desktopH = 0;
    const bool known = get_desktop_resolution(&desktopW, &desktopH) == 0;
    int scale = options.scale;
    if (options.autoScale)
        // Room is left for the desktop's panels and the window's frame.
        scale =
            known ? std::min(largestScale, fittingScale(desktopW * 4 / 5, desktopH * 4 / 5)) : 1;
    int width = screenW * scale;
    int height = screenH * scale;
    if (options.fullscreen && known) {
        scale = fittingScale(desktopW, desktopH);
        width = desktopW;
        height = desktopH;
    }
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, width, height, 0, 0) < 0)
        error::graphicMode();
    placeFrame(scale, (width - screenW * scale) / 2, (height - screenH * scale) / 2);
    if (options.fullscreen && known)
        askFullScreen();
}

// ALSA's default device can block whoever opens it: a sound server that cannot be reached
// (PipeWire's plugin without its server waits on a session bus that never comes), a file plugin
// writing to a FIFO no one reads. The library's start would hang with it, before any window. So
// a child process opens the device first, before the library starts threads of its own; when it
// has not answered in this time the game plays silently.
static const double soundAnswerSeconds = 2.0;

// What the library's ALSA driver asks first: the default device, opened for playback and set
// up for the mix. libasound is the library's own, loaded only in the child.
static void openDefaultSound() {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW);
    if (!alsa)
        return;
    using openPcm = int (*)(void**, const char*, int, int);
    using setParams = int (*)(void*, int, int, unsigned, unsigned, int, unsigned);
    const auto pcmOpen = reinterpret_cast<openPcm>(dlsym(alsa, "snd_pcm_open"));
    const auto pcmSetParams = reinterpret_cast<setParams>(dlsym(alsa, "snd_pcm_set_params"));
    void* pcm = nullptr;
    // SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK, SND_PCM_FORMAT_S16_LE and
    // SND_PCM_ACCESS_RW_INTERLEAVED, from alsa/pcm.h.
    const int playback = 0, nonblocking = 1, s16 = 2, interleaved = 3;
    if (pcmOpen && pcmOpen(&pcm, "default", playback, nonblocking) == 0 && pcmSetParams)
        pcmSetParams(pcm, s16, interleaved, 2, 44100, 1, 100000);
}

bool soundAnswers(double seconds) {
    const pid_t game = getpid();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // A device that never answers would keep the child forever once the game is gone.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != game)
            _exit(0);
        // ALSA's complaints are the library's to print, once.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        openDefaultSound();
        _exit(0);
    }
    const double until = monotonicSeconds() + seconds;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(child, &status, WNOHANG)) == 0 && monotonicSeconds() < until)
        usleep(5000);
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    // A plugin that crashed the child would crash the game too.
    return done == child && WIFEXITED(status);
}

// The window's icon, made with the others by the asset generator. The library declares the
// pointer in no header; it reads it when allegro_init makes the window.
#include "gravelmoth.xpm"
extern "C" void* allegro_icon;

// Without a display the library cannot start, and calling it any further would crash; its
// message box needs it too, so the only place left to say so is the terminal.
static void startLibrary() {
    allegro_icon = gravelmoth_xpm;
    // The library would class every game's window "Allegro"; docks group the game's own with
    // its launcher by this class (the desktop entry's StartupWMClass). It is read when
    // allegro_init makes the window.
    xwin_set_window_name("gravelmoth", "Gravelmoth");
    if (allegro_init() == 0)
        return;
    std::fprintf(stderr,
                 "Gravelmoth: the game library could not start. The game needs a graphical "
                 "(X11) display.%s%s\n",
                 allegro_error[0] ? " " : "", allegro_error);
    std::exit(EXIT_FAILURE);
}

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may set global::exit");

static void endSignal(int) {
    global::exit = true;
}

// Logging out, Ctrl+C and kill.
static const int sessionEnds[] = {SIGTERM, SIGINT, SIGHUP};

static sigset_t endSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : sessionEnds)
        sigaddset(&signals, signal);
    return signals;
}

// Logging out, Ctrl+C and kill end the game the way the close button does, so a race still
// offers its result. allegro_init installs handlers of its own, which end the process at once
// (aborting it when a signal comes while the window is locked); these replace them.
static void catchEndSignals() {
    struct sigaction action = {};
    action.sa_handler = endSignal;
    action.sa_mask = endSignals();
    action.sa_flags = SA_RESTART;
    for (int signal : sessionEnds)
        sigaction(signal, &action, nullptr);
}

// The X server is gone (killed, or the session ended without a signal). The library sets no
// handler of its own, and Xlib's default one exits at once, while another thread may still draw
// on the dead display (a crash). Xlib's handler must not return, and the library's thread it
// may run in holds the library's lock on the display: so the race's result is offered from
// here, and the game ends with status 0, as the close button ends it, never touching the
// display again.
static int displayLost(Display*) {
    static std::atomic_flag ending = ATOMIC_FLAG_INIT;
    if (ending.test_and_set())
        for (;;)
            pause(); // the first thread to learn of it ends the game
    returnStruct clock;
    if (raceReached(clock))
        updateHighscore(&clock);
    _exit(EXIT_SUCCESS);
}

// The end signals wait, blocked, until the game's own handlers are in place: the library's
// would end the game at once, with a core if one came while it connects to the display. The
// threads the library starts meanwhile keep them blocked, so they reach the game's own thread,
// where they are let through once the start-up is done.
void init(const windowOptions& options) {
    const sigset_t ends = endSignals();
    pthread_sigmask(SIG_BLOCK, &ends, nullptr);
    const bool sound = soundAnswers(soundAnswerSeconds);
    if (!sound)
        std::fputs("gravelmoth: the sound device did not answer; playing without sound\n", stderr);
    startLibrary();
    // Cleared before a signal can set it.
    global::exit = false;
    catchEndSignals();
    XSetIOErrorHandler(displayLost);
    if (install_timer() < 0)
        error::timer();
    if (install_keyboard() < 0)
        error::keyboard();
    if (sound ? install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, nullptr) < 0
              : install_sound(DIGI_NONE, MIDI_NONE, nullptr) < 0)
        error::soundDriver();
    set_window_title(windowTitle);
    set_color_depth(16);
    openWindow(options);
    global::dbuffer = create_bitmap(screenW, screenH);
    if (!global::dbuffer)
        error::create();
    clear_bitmap(global::dbuffer);
    textout_centre_ex(global::dbuffer, font, "Loading engine, please wait...", screenW / 2,
                      screenH / 2, makecol(255, 255, 255), -1);
    show();
    startTicks();
    set_uformat(U_ASCII);
    std::srand(static_cast<unsigned>(std::time(nullptr) * 703710));
    set_close_button_callback(closeFunc);
    makeColors();
    pthread_sigmask(SIG_UNBLOCK, &ends, nullptr);
}

void uninit() {
    placeFrame(1, 0, 0);
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
    blit(picture, global::dbuffer, 0, 0, 0, 0, screenW, screenH);
    show();
    clear_bitmap(global::dbuffer);
    return decision;
}

int title() {
    set_close_button_callback(closeFunc);
    BITMAP* picture = titlePicture();
    int decision = 2;
    while (decision == 2 && awaitTick()) {
        // Ticks left over from a stop or a stalled race are used up before a key decides, so
        // that a race counts only the time it runs itself.
        while (timerCounter > 1)
            --timerCounter;
        decision = titleTick(picture);
        --timerCounter;
    }
    clear_bitmap(global::dbuffer);
    show();
    destroy_bitmap(picture);
    return decision == 2 ? 0 : decision;
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

// The open never waits, so a FIFO or a device in the file's place cannot freeze the game;
// only a regular file is read.
static stored readStored(int& hours, int& minutes) {
    unsigned char bytes[8] = {}; // bytes a short file does not give stay zero
    hours = 0;
    minutes = 0;
    const int fd = openToRead(highscoreFile);
    if (fd < 0)
        return errno == ENOENT ? stored::missing : stored::untouchable;
    const bool gotBytes = isRegular(fd) && readUpTo(fd, bytes, sizeof bytes) >= 0;
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

// Hours decide first and minutes break ties.
static bool beatsStored(int hours, int minutes) {
    int storedHours;
    int storedMinutes;
    readStored(storedHours, storedMinutes);
    return hours > storedHours || (hours == storedHours && minutes > storedMinutes);
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
// through a link planted under that name. Two games never share one. It is private until it
// takes the old best's mode, so no one reads a private best meanwhile.
static int createTemporary(std::string& name, bool replacing) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        name = std::string(temporaryPrefix) + "." + std::to_string(getpid()) + "." +
               std::to_string(now.tv_nsec + attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            replacing ? 0600 : 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The names createTemporary gives: the prefix, a dot, digits, a dot, digits.
static bool isTemporaryName(const char* name) {
    const size_t length = std::strlen(temporaryPrefix);
    if (std::strncmp(name, temporaryPrefix, length) != 0)
        return false;
    name += length;
    for (int number = 0; number < 2; ++number) {
        if (*name++ != '.' || !std::isdigit(static_cast<unsigned char>(*name)))
            return false;
        while (std::isdigit(static_cast<unsigned char>(*name)))
            ++name;
    }
    return *name == '\0';
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

// The temporary file, complete and on disk; false, and the file gone, when the write fails.
static bool writeTemporary(int fd, const std::string& temporary, const unsigned char* bytes,
                           const struct stat* old) {
    if (old)
        keepOwnerAndMode(fd, *old);
    const bool written = writeAll(fd, bytes, 8) && fsync(fd) == 0;
    if (close(fd) == 0 && written)
        return true;
    unlink(temporary.c_str());
    return false;
}

// Refused for want of permission, not for a fault.
static bool refused(int error) {
    return error == EACCES || error == EPERM;
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

// The temporary file replaces the old best only once it is complete on disk, so a full disk
// or a crash never costs the stored best. A rename replaces a link in the best's place and
// never writes into what it points at. A save may have waited longer than another game waits
// for the lock, on a disk slow to sync, and that game may have saved a better best meanwhile:
// the result is compared once more right before the rename, and the better one kept.
static bool replaceWith(const std::string& temporary, const unsigned char* bytes, bool exists,
                        int hours, int minutes) {
    if (!beatsStored(hours, minutes)) {
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), highscoreFile) == 0) {
        syncFolder();
        return true;
    }
    const int error = errno;
    unlink(temporary.c_str());
    // Where only a file's owner may replace it (a shared folder with the sticky bit), a best
    // the player may write is rewritten where it is.
    return exists && refused(error) && rewriteInPlace(bytes);
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
    const int fd = createTemporary(temporary, exists);
    if (fd < 0)
        // A folder the player may not write to still holds a best they may write: rewrite it.
        return exists && refused(errno) && rewriteInPlace(bytes);
    return writeTemporary(fd, temporary, bytes, exists ? &old : nullptr) &&
           replaceWith(temporary, bytes, exists, hours, minutes);
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

// Temporaries of saves that were cut short: regular files of the names the game gives them,
// and nothing else. Only called with the lock held, while no other save can be under way.
static void removeStaleTemporaries() {
    DIR* folder = opendir(".");
    if (!folder)
        return;
    while (const dirent* entry = readdir(folder)) {
        struct stat info;
        if (isTemporaryName(entry->d_name) && lstat(entry->d_name, &info) == 0 &&
            S_ISREG(info.st_mode))
            unlink(entry->d_name);
    }
    closedir(folder);
}

// The stored best is read afresh under the lock: another game may have saved a better one
// since this race began.
void updateHighscore(returnStruct* result) {
    const int lock = lockSaves();
    if (lock >= 0)
        removeStaleTemporaries();
    if (beatsStored(result->hours, result->minutes))
        saveHighscore(result->hours, result->minutes);
    if (lock >= 0)
        close(lock);
}

int main(int argc, char** argv) {
    windowOptions options;
    bool help = false;
    std::string problem;
    if (!parseOptions(argc, argv, options, help, problem)) {
        std::fprintf(stderr, "gravelmoth: %s\n", problem.c_str());
        return 2;
    }
    if (help) {
        std::fputs(optionsHelp, stdout);
        return 0;
    }
    init(options);
    while (title() == 1 && !global::exit) {
        returnStruct* result = game();
        updateHighscore(result);
        delete result;
    }
    uninit();
    return 0;
}
END_OF_MAIN()
