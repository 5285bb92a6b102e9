/* Tells what a window says about itself to window managers and docks: its class, which a
 * desktop entry's StartupWMClass names, and the icon it offers, if any.
 *   wminfo WINDOW_ID   (decimal or 0x hexadecimal, as xdotool prints it)
 * prints "class NAME CLASS", then "icon WIDTHxHEIGHT" and one line for each pixel of the icon,
 * row by row: "#RRGGBB", or "None" where its mask leaves it out. Without an icon: "icon none".
 * The server's screen must be TrueColor, as the tests' Xvfb servers are. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>

static void printClass(Display* display, Window window) {
    XClassHint hint;
    if (!XGetClassHint(display, window, &hint)) {
        printf("class none\n");
        return;
    }
    printf("class %s %s\n", hint.res_name, hint.res_class);
    XFree(hint.res_name);
    XFree(hint.res_class);
}

/* A channel of a TrueColor pixel, scaled to 0..255. */
static unsigned channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    unsigned long most = mask >> shift;
    return (unsigned)(((pixel & mask) >> shift) * 255 / most);
}

static void printPixels(Display* display, Pixmap icon, Pixmap mask, unsigned width,
                        unsigned height) {
    XImage* image = XGetImage(display, icon, 0, 0, width, height, AllPlanes, ZPixmap);
    XImage* shape = mask ? XGetImage(display, mask, 0, 0, width, height, 1, XYPixmap) : NULL;
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    for (unsigned y = 0; image && y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            if (shape && !XGetPixel(shape, (int)x, (int)y)) {
                printf("None\n");
                continue;
            }
            unsigned long pixel = XGetPixel(image, (int)x, (int)y);
            printf("#%02X%02X%02X\n", channel(pixel, visual->red_mask),
                   channel(pixel, visual->green_mask), channel(pixel, visual->blue_mask));
        }
    if (image)
        XDestroyImage(image);
    if (shape)
        XDestroyImage(shape);
}

static void printIcon(Display* display, Window window) {
    XWMHints* hints = XGetWMHints(display, window);
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    if (hints && (hints->flags & IconPixmapHint) &&
        XGetGeometry(display, hints->icon_pixmap, &root, &x, &y, &width, &height, &border,
                     &depth)) {
        printf("icon %ux%u\n", width, height);
        printPixels(display, hints->icon_pixmap,
                    (hints->flags & IconMaskHint) ? hints->icon_mask : None, width, height);
    } else
        printf("icon none\n");
    if (hints)
        XFree(hints);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: wminfo WINDOW_ID\n");
        return 2;
    }
    char* end;
    unsigned long id = strtoul(argv[1], &end, 0);
    if (*argv[1] == '\0' || *end != '\0' || id == 0) {
        fprintf(stderr, "wminfo: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "wminfo: cannot open the display\n");
        return 1;
    }
    printClass(display, (Window)id);
    printIcon(display, (Window)id);
    XCloseDisplay(display);
    return 0;
}
