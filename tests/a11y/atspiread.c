// SPDX-License-Identifier: MIT
// Reads a window of another program as a screen reader does, through AT-SPI: each object under
// the window named TITLE of process PID, one a line: depth, role, name and states, separated by
// tabs. It must run as a process of its own: the program being read answers from its main loop.
//   zilui-atspiread [--stay] PID TITLE
// With --stay it then follows the window's events as a screen reader does, having printed a
// line "." after the window, until its standard input closes: a program quitting under a
// reader meets a listener and a reader holding every object it was given.
#include <atspi/atspi.h>

#include <glib-unix.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void print(AtspiAccessible* object, int depth)
{
    if (depth > 40)
        return;
    gchar* role = atspi_accessible_get_role_name(object, NULL);
    gchar* name = atspi_accessible_get_name(object, NULL);
    AtspiStateSet* set = atspi_accessible_get_state_set(object);
    GArray* states = set ? atspi_state_set_get_states(set) : NULL;
    printf("%d\t%s\t%s\t", depth, role ? role : "", name ? name : "");
    for (guint i = 0; states && i < states->len; ++i) {
        GEnumValue* value =
            g_enum_get_value(g_type_class_peek(ATSPI_TYPE_STATE_TYPE), g_array_index(states, AtspiStateType, i));
        printf("%s%s", i ? " " : "", value ? value->value_nick : "?");
    }
    printf("\n");
    if (states)
        g_array_free(states, TRUE);
    if (set)
        g_object_unref(set);
    g_free(role);
    g_free(name);
    const gint count = atspi_accessible_get_child_count(object, NULL);
    for (gint i = 0; i < count; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, NULL);
        if (child) {
            print(child, depth + 1);
            g_object_unref(child);
        }
    }
}

static void ignoreEvent(AtspiEvent* event, void* data)
{
    (void)data;
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

static gboolean stopOnEnd(gint fd, GIOCondition condition, gpointer data)
{
    (void)condition;
    (void)data;
    char byte;
    if (read(fd, &byte, 1) > 0)
        return G_SOURCE_CONTINUE;
    atspi_event_quit();
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv)
{
    const int stay = argc == 4 && strcmp(argv[1], "--stay") == 0;
    argv += stay;
    argc -= stay;
    if (argc != 3) {
        fprintf(stderr, "usage: zilui-atspiread [--stay] PID TITLE\n");
        return 2;
    }
    if (atspi_init() > 1) {
        fprintf(stderr, "zilui-atspiread: no accessibility bus\n");
        return 3;
    }
    g_type_class_ref(ATSPI_TYPE_STATE_TYPE);
    const guint pid = (guint)strtoul(argv[1], NULL, 10);
    AtspiAccessible* desktop = atspi_get_desktop(0);
    int found = 0;
    const gint apps = atspi_accessible_get_child_count(desktop, NULL);
    for (gint a = 0; a < apps && !found; ++a) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, a, NULL);
        if (!app)
            continue;
        if (atspi_accessible_get_process_id(app, NULL) == pid) {
            const gint windows = atspi_accessible_get_child_count(app, NULL);
            for (gint w = 0; w < windows && !found; ++w) {
                AtspiAccessible* window = atspi_accessible_get_child_at_index(app, w, NULL);
                gchar* name = window ? atspi_accessible_get_name(window, NULL) : NULL;
                if (name && strcmp(name, argv[2]) == 0) {
                    print(window, 0);
                    found = 1;
                }
                g_free(name);
                if (window)
                    g_object_unref(window);
            }
        }
        g_object_unref(app);
    }
    g_object_unref(desktop);
    if (!found) {
        fprintf(stderr, "zilui-atspiread: process %u shows no window '%s' on the accessibility bus\n", pid, argv[2]);
        return 1;
    }
    if (stay) {
        AtspiEventListener* listener = atspi_event_listener_new(ignoreEvent, NULL, NULL);
        for (const char* const* type = (const char* const[]){"object:", "window:", "focus:", NULL}; *type; ++type)
            atspi_event_listener_register(listener, *type, NULL);
        printf(".\n");
        fflush(stdout);
        g_unix_fd_add(STDIN_FILENO, G_IO_IN | G_IO_HUP, stopOnEnd, NULL);
        atspi_event_main();
        g_object_unref(listener);
    }
    return 0;
}
