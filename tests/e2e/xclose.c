/* Presses a window's close button the way a window manager does: sends WM_DELETE_WINDOW to the
 * window as a WM_PROTOCOLS client message. The tests' X server runs no window manager.
 *   xclose WINDOW_ID   (decimal or 0x hexadecimal, as xdotool prints it) */
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: xclose WINDOW_ID\n");
        return 2;
    }
    char* end;
    unsigned long id = strtoul(argv[1], &end, 0);
    if (*argv[1] == '\0' || *end != '\0' || id == 0) {
        fprintf(stderr, "xclose: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xclose: cannot open the display\n");
        return 1;
    }
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, (Window)id, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    if (!sent) {
        fprintf(stderr, "xclose: the message could not be sent\n");
        return 1;
    }
    return 0;
}
