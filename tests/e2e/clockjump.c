// Preloaded into the game (LD_PRELOAD): makes a short stop (SIGSTOP, then SIGCONT) look to the
// game like one of CLOCKJUMP_SECONDS (1810 by default), so that a stop of half an hour takes a
// test a moment. SIGUSR1 arms it; the SIGCONT that ends the next stop moves the monotonic clock
// on by that much, for every thread at once, as after a real stop. Tied to the stop's end
// rather than to a pause in the clock's reads, the jump never comes early on a machine so busy
// that the game goes unscheduled for a while before it is stopped.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <time.h>

static atomic_int armed;
static atomic_long jumps;
static long jumpSeconds = 1810;

static void arm(int signal) {
    (void)signal;
    atomic_store(&armed, 1);
}

static void resumed(int signal) {
    (void)signal;
    if (atomic_exchange(&armed, 0))
        atomic_fetch_add(&jumps, 1);
}

static void handle(int signal, void (*handler)(int)) {
    struct sigaction action = {0};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, NULL);
}

__attribute__((constructor)) static void listen(void) {
    const char* seconds = getenv("CLOCKJUMP_SECONDS");
    if (seconds)
        jumpSeconds = atol(seconds);
    handle(SIGUSR1, arm);
    handle(SIGCONT, resumed);
}

static int monotonic(clockid_t clock) {
    return clock == CLOCK_MONOTONIC || clock == CLOCK_MONOTONIC_RAW ||
           clock == CLOCK_MONOTONIC_COARSE || clock == CLOCK_BOOTTIME;
}

int clock_gettime(clockid_t clock, struct timespec* now) {
    static int (*real)(clockid_t, struct timespec*);
    if (!real)
        real = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    const int result = real(clock, now);
    if (result != 0 || !monotonic(clock))
        return result;
    now->tv_sec += atomic_load(&jumps) * jumpSeconds;
    return result;
}
