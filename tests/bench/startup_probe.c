/* Times the game's start-up from the outside: starts the program, watches the X display for
 * the game's window, and stops the clock when the window shows exactly the title picture.
 *
 *   startup_probe capture REFERENCE -- PROGRAM...   save the title frame as REFERENCE
 *   startup_probe measure REFERENCE -- PROGRAM...   print the milliseconds until it shows
 *
 * The game is ended with SIGTERM once seen. Every wait is bounded (20 s). */
#define _POSIX_C_SOURCE 200809L

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static const char* const title = GRAVELMOTH_WINDOW_TITLE;
static const int width = 320;
static const int height = 200;
static const double limit = 20.0;

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void pause_ms(int ms) {
    struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* The window may not be mapped yet, or already gone: such requests just fail. */
static int ignore_errors(Display* display, XErrorEvent* event) {
    (void)display;
    (void)event;
    return 0;
}

static Window find_window(Display* display, Window parent) {
    Window root_return, parent_return, *children = NULL;
    unsigned int count = 0;
    Window found = None;
    if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count))
        return None;
    for (unsigned int i = 0; i < count && found == None; ++i) {
        char* name = NULL;
        if (XFetchName(display, children[i], &name) && name) {
            if (strcmp(name, title) == 0)
                found = children[i];
            XFree(name);
        }
        if (found == None)
            found = find_window(display, children[i]);
    }
    if (children)
        XFree(children);
    return found;
}

/* The window's pixels, or NULL while it cannot be read. The caller frees the result. */
static char* grab(Display* display, Window window, size_t* size) {
    XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image)
        return NULL;
    *size = (size_t)image->bytes_per_line * (size_t)image->height;
    char* pixels = malloc(*size);
    if (pixels)
        memcpy(pixels, image->data, *size);
    XDestroyImage(image);
    return pixels;
}

static pid_t start(char** command) {
    const pid_t pid = fork();
    if (pid == 0) {
        /* Standard output is for the measurements alone. */
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execvp(command[0], command);
        perror(command[0]);
        _exit(127);
    }
    return pid;
}

static void stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, NULL, WNOHANG) == pid)
            return;
        pause_ms(10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
}

static int child_gone(pid_t pid) {
    return waitpid(pid, NULL, WNOHANG) == pid;
}

int main(int argc, char** argv) {
    if (argc < 5 || strcmp(argv[3], "--") != 0 ||
        (strcmp(argv[1], "capture") != 0 && strcmp(argv[1], "measure") != 0)) {
        fprintf(stderr, "usage: %s capture|measure REFERENCE -- PROGRAM...\n", argv[0]);
        return 2;
    }
    const int capture = strcmp(argv[1], "capture") == 0;
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "startup_probe: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);

    size_t reference_size = 0;
    char* reference = NULL;
    if (!capture) {
        FILE* file = fopen(argv[2], "rb");
        if (!file) {
            perror(argv[2]);
            return 1;
        }
        fseek(file, 0, SEEK_END);
        reference_size = (size_t)ftell(file);
        rewind(file);
        reference = malloc(reference_size);
        if (!reference || fread(reference, 1, reference_size, file) != reference_size) {
            fprintf(stderr, "startup_probe: cannot read %s\n", argv[2]);
            return 1;
        }
        fclose(file);
    }

    const double started = now();
    const pid_t pid = start(argv + 4);
    Window window = None;
    int result = 1;
    int exited = 0;
    while (now() - started < limit && !(exited = child_gone(pid))) {
        if (window == None)
            window = find_window(display, DefaultRootWindow(display));
        size_t size = 0;
        char* pixels = window == None ? NULL : grab(display, window, &size);
        if (pixels && capture && now() - started > 3.0) {
            /* Long after start-up the title, drawn anew every tick, stands still. */
            pause_ms(100);
            size_t again_size = 0;
            char* again = grab(display, window, &again_size);
            if (again && again_size == size && memcmp(again, pixels, size) == 0) {
                FILE* file = fopen(argv[2], "wb");
                if (file && fwrite(pixels, 1, size, file) == size && fclose(file) == 0)
                    result = 0;
                free(again);
                free(pixels);
                break;
            }
            free(again);
        }
        if (pixels && !capture && size == reference_size && memcmp(pixels, reference, size) == 0) {
            printf("%.1f\n", (now() - started) * 1000.0);
            result = 0;
            free(pixels);
            break;
        }
        free(pixels);
        pause_ms(1);
    }
    if (result != 0)
        fprintf(stderr, "startup_probe: %s\n",
                exited ? "the game ended before its title showed" : "no title frame in time");
    if (!exited)
        stop(pid);
    XCloseDisplay(display);
    free(reference);
    return result;
}
