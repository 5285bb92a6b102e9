// Preloaded into the game (LD_PRELOAD): holds its opening of the file HOLDOPEN_FILE names, as a
// slow disk would, until the file HOLDOPEN_UNTIL names exists, so that a test can look at what
// the game shows while it waits for the file.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static void holdIfNamed(const char* path) {
    const char* held = getenv("HOLDOPEN_FILE");
    const char* release = getenv("HOLDOPEN_UNTIL");
    if (!held || !release || strcmp(path, held) != 0)
        return;
    const struct timespec pause = {0, 10000000};
    while (access(release, F_OK) != 0)
        nanosleep(&pause, NULL);
}

static mode_t modeOf(int flags, va_list args) {
    return flags & (O_CREAT | O_TMPFILE) ? va_arg(args, mode_t) : 0;
}

typedef int (*openFunction)(const char*, int, ...);

static int openHeld(openFunction* real, const char* name, const char* path, int flags,
                    mode_t mode) {
    if (!*real)
        *real = (openFunction)dlsym(RTLD_NEXT, name);
    holdIfNamed(path);
    return (*real)(path, flags, mode);
}

int open(const char* path, int flags, ...) {
    static openFunction real;
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return openHeld(&real, "open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    static openFunction real;
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return openHeld(&real, "open64", path, flags, mode);
}
