// SPDX-License-Identifier: MIT
#pragma once

#include <wx/event.h>

// The base's handlers; each skips, so the native control still sees every event.
#define ZILUI_SLICK_CONTROL_EVENTS(cls)                                                                         \
    EVT_SYS_COLOUR_CHANGED(cls::OnSysColourChanged)                                                             \
    EVT_MOUSE_EVENTS(cls::OnMouse)                                                                              \
    EVT_PAINT(cls::OnPaint)                                                                                     \
    EVT_SIZE(cls::OnSize)                                                                                       \
    EVT_SET_FOCUS(cls::OnFocus)                                                                                 \
    EVT_KILL_FOCUS(cls::OnFocus)
