// SPDX-License-Identifier: MIT
// Input for a headless Wayland compositor, which has no devices of its own: one virtual pointer
// and one virtual keyboard (wlroots' protocols) that live until standard input closes. One-shot
// tools make a device per event, and a client learns of a new device only after the events
// it sent are gone; here a press and its release come from the same device, as a person's do.
//
// Commands, one a line; each is answered "ok" once the compositor has handled it:
//   move X Y          to (X, Y) in the compositor's layout (logical pixels)
//   press [BUTTON]    BUTTON: left (default), right, middle
//   release [BUTTON]
//   click [BUTTON]    press and release
//   doubleclick [BUTTON]  two clicks in one go: their times cannot drift apart when this tool
//                     waits for the processor between two commands
//   scroll STEPS      vertical wheel steps, positive downwards
//   key CODE          press and release the key of that evdev code (US layout)
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

struct state {
    struct wl_seat* seat;
    struct wl_output* output;
    struct zwlr_virtual_pointer_manager_v1* manager;
    struct zwp_virtual_keyboard_manager_v1* keyboards;
    int width, height;
};

static void outputGeometry(void* data, struct wl_output* output, int32_t x, int32_t y, int32_t pw, int32_t ph,
                           int32_t subpixel, const char* make, const char* model, int32_t transform)
{
    (void)data, (void)output, (void)x, (void)y, (void)pw, (void)ph, (void)subpixel, (void)make, (void)model,
        (void)transform;
}

static void outputMode(void* data, struct wl_output* output, uint32_t flags, int32_t width, int32_t height,
                       int32_t refresh)
{
    (void)output, (void)refresh;
    struct state* s = data;
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        s->width = width;
        s->height = height;
    }
}

static void outputDone(void* data, struct wl_output* output)
{
    (void)data, (void)output;
}

static void outputScale(void* data, struct wl_output* output, int32_t factor)
{
    (void)data, (void)output, (void)factor;
}

static const struct wl_output_listener outputListener = {
    .geometry = outputGeometry, .mode = outputMode, .done = outputDone, .scale = outputScale};

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    struct state* s = data;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !s->seat) {
        s->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, wl_output_interface.name) == 0 && !s->output) {
        s->output = wl_registry_bind(registry, name, &wl_output_interface, version < 2 ? version : 2);
        wl_output_add_listener(s->output, &outputListener, s);
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        s->manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        s->keyboards = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    }
}

static void globalRemove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registryListener = {.global = global, .global_remove = globalRemove};

static uint32_t now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static int buttonCode(const char* name)
{
    if (!name || !*name || strcmp(name, "left") == 0)
        return BTN_LEFT;
    if (strcmp(name, "right") == 0)
        return BTN_RIGHT;
    if (strcmp(name, "middle") == 0)
        return BTN_MIDDLE;
    return -1;
}

// A keyboard with the default (US) layout; key codes are evdev's.
static struct zwp_virtual_keyboard_v1* makeKeyboard(struct zwp_virtual_keyboard_manager_v1* manager,
                                                    struct wl_seat* seat)
{
    struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_rule_names names = {.layout = "us"};
    struct xkb_keymap* keymap = context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : NULL;
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : NULL;
    struct zwp_virtual_keyboard_v1* keyboard = NULL;
    const int fd = text ? memfd_create("vinput-keymap", MFD_CLOEXEC) : -1;
    const size_t size = text ? strlen(text) + 1 : 0;
    if (fd >= 0 && write(fd, text, size) == (ssize_t)size) {
        keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
        zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
    }
    if (fd >= 0)
        close(fd);
    free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return keyboard;
}

int main(void)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "vinput: cannot connect to the Wayland compositor (WAYLAND_DISPLAY)\n");
        return 2;
    }
    struct state s = {0};
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &s);
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (!s.manager) {
        fprintf(stderr, "vinput: the compositor offers no virtual pointer (zwlr_virtual_pointer_manager_v1)\n");
        return 3;
    }
    if (!s.output || s.width <= 0 || s.height <= 0) {
        fprintf(stderr, "vinput: the compositor has no output to point at\n");
        return 3;
    }
    struct zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(s.manager, s.seat);
    struct zwp_virtual_keyboard_v1* keyboard = NULL;
    if (s.keyboards && s.seat && !(keyboard = makeKeyboard(s.keyboards, s.seat)))
        fprintf(stderr, "vinput: no keyboard: cannot make a US keymap with xkbcommon\n");
    wl_display_roundtrip(display);
    printf("ready %d %d\n", s.width, s.height);
    fflush(stdout);

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        char command[32] = "", argument[32] = "";
        int x = 0, y = 0;
        const int words = sscanf(line, "%31s %31s", command, argument);
        const char* error = NULL;
        if (words < 1) {
            continue;
        } else if (strcmp(command, "move") == 0) {
            if (sscanf(line, "%*s %d %d", &x, &y) != 2 || x < 0 || y < 0 || x >= s.width || y >= s.height)
                error = "move needs X Y inside the output";
            else
                zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), (uint32_t)x, (uint32_t)y, (uint32_t)s.width,
                                                        (uint32_t)s.height);
        } else if (strcmp(command, "press") == 0 || strcmp(command, "release") == 0 || strcmp(command, "click") == 0 ||
                   strcmp(command, "doubleclick") == 0) {
            const int button = buttonCode(words > 1 ? argument : NULL);
            if (button < 0) {
                error = "unknown button (left, right or middle)";
            } else {
                for (int click = command[0] == 'd' ? 2 : 1; click > 0; --click) {
                    if (command[0] != 'r')
                        zwlr_virtual_pointer_v1_button(pointer, now(), (uint32_t)button,
                                                       WL_POINTER_BUTTON_STATE_PRESSED);
                    if (command[0] == 'c' || command[0] == 'd')
                        zwlr_virtual_pointer_v1_frame(pointer);
                    if (command[0] != 'p')
                        zwlr_virtual_pointer_v1_button(pointer, now(), (uint32_t)button,
                                                       WL_POINTER_BUTTON_STATE_RELEASED);
                    if (click > 1)
                        zwlr_virtual_pointer_v1_frame(pointer);
                }
            }
        } else if (strcmp(command, "scroll") == 0) {
            if (sscanf(line, "%*s %d", &y) != 1) {
                error = "scroll needs a number of steps";
            } else {
                zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
                zwlr_virtual_pointer_v1_axis_discrete(pointer, now(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                                      wl_fixed_from_int(15 * y), y);
            }
        } else if (strcmp(command, "key") == 0) {
            if (!keyboard) {
                error = "the compositor offers no virtual keyboard";
            } else if (sscanf(line, "%*s %d", &x) != 1 || x <= 0) {
                error = "key needs an evdev key code";
            } else {
                zwp_virtual_keyboard_v1_key(keyboard, now(), (uint32_t)x, WL_KEYBOARD_KEY_STATE_PRESSED);
                zwp_virtual_keyboard_v1_key(keyboard, now(), (uint32_t)x, WL_KEYBOARD_KEY_STATE_RELEASED);
            }
        } else {
            error = "unknown command (move, press, release, click, doubleclick, scroll, key)";
        }
        if (!error && command[0] != 'k')
            zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "vinput: the compositor closed the connection\n");
            return 4;
        }
        printf(error ? "error: %s\n" : "ok\n", error);
        fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    if (keyboard)
        zwp_virtual_keyboard_v1_destroy(keyboard);
    zwlr_virtual_pointer_manager_v1_destroy(s.manager);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
