// Preloaded into the game (LD_PRELOAD): makes a short stop (SIGSTOP, then SIGCONT) look to the
// game like one of CLOCKJUMP_SECONDS (1810 by default), so that a stop of half an hour takes a
// test a moment. SIGUSR1 arms it; the next time the monotonic clock is read after none of the
// game's threads has read it for a fifth of a second, which only a stop makes so, it moves on
// by that much, for every thread at once, as after a real stop.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <time.h>

static atomic_int armed;
static atomic_long jumps;
static atomic_llong lastRead; // nanoseconds of the real monotonic clock
static long jumpSeconds = 1810;

static void arm(int signal) {
    (void)signal;
    atomic_store(&armed, 1);
}

__attribute__((constructor)) static void listen(void) {
    const char* seconds = getenv("CLOCKJUMP_SECONDS");
    if (seconds)
        jumpSeconds = atol(seconds);
    struct sigaction action = {0};
    action.sa_handler = arm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, NULL);
}

static int monotonic(clockid_t clock) {
    return clock == CLOCK_MONOTONIC || clock == CLOCK_MONOTONIC_RAW ||
           clock == CLOCK_MONOTONIC_COARSE || clock == CLOCK_BOOTTIME;
}

int clock_gettime(clockid_t clock, struct timespec* now) {
    static int (*real)(clockid_t, struct timespec*);
    if (!real)
        real = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    if (!monotonic(clock))
        return real(clock, now);
    // The stop is looked for before the time is read: a stop between the two then makes the
    // time given later, never earlier, than the jump, as a real stop would.
    struct timespec raw;
    real(CLOCK_MONOTONIC, &raw);
    const long long read = raw.tv_sec * 1000000000LL + raw.tv_nsec;
    const long long last = atomic_exchange(&lastRead, read);
    if (last != 0 && read - last > 200000000LL && atomic_exchange(&armed, 0))
        atomic_fetch_add(&jumps, 1);
    const int result = real(clock, now);
    if (result == 0)
        now->tv_sec += atomic_load(&jumps) * jumpSeconds;
    return result;
}
