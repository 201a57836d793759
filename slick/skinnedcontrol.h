// SPDX-License-Identifier: MIT
// The source file of a skinned native control includes this and writes its own behaviour
// only; the control base is instantiated there, so a new control needs no line elsewhere.
#pragma once

#include "controlbasetemplate.h"
#include "controlevents.h"
#include "gtk/accessible.h"
#include "gtk/drawhook.h"

#include <zilui/app/strings.h>
#include <zilui/slick/controls.h>

namespace zilui::skinnedcontrol {

// The label as a screen reader should say it.
inline void nameForAccessibility(wxWindow* window)
{
    gtk::setAccessibleName(window, toWX(CSlickButton::removeMnemonics(fromWX(window->GetLabel()))));
}

template <class Control> void paintThroughHook(wxWindow* window, wxDC& dc)
{
    static_cast<Control*>(window)->paintCurrent(dc);
}

template <class Control> void nativeStyleChanged(wxWindow* window)
{
    static_cast<Control*>(window)->nativeMinSizeChanged();
}

// The state of a control with a two-valued state (check box, radio button): the value scheme
// of CSlickCheckBoxIntermediate, where disabled wins over hover.
template <class State> State twoValueState(bool on, bool hover, bool enabled)
{
    return static_cast<State>((on ? 1 : 0) + (!enabled ? 4 : hover ? 2 : 0));
}

// What every control does after its native window exists.
template <class Control> void finishCreate(Control* control)
{
    control->createBase();
    gtk::connectDrawHook(control, &paintThroughHook<Control>, &nativeStyleChanged<Control>);
    nameForAccessibility(control);
}

} // namespace zilui::skinnedcontrol

// clang-format would run the event table into the constructor.
// clang-format off
// At file scope, for the control `zilui::cls` over the wxWidgets class `wxClass`, declared as
// CSlickCheckBox is: its control base, its wxWidgets class and event table, the constructor
// that creates, the destructor that lets the draw hook go with the window, the accessible name
// and the native widget's minimum. The control writes its default constructor (which picks
// its system colours) and getState().
#define ZILUI_SLICK_NATIVE_CONTROL(cls, wxClass)                                                             \
    template class zilui::TSlickControlBase<zilui::cls::Base::IntermediateType, zilui::cls::Base::SkinType>; \
    wxIMPLEMENT_DYNAMIC_CLASS(zilui::cls, wxClass);                                                          \
    wxBEGIN_EVENT_TABLE(zilui::cls, zilui::cls::Base)                                                        \
        ZILUI_SLICK_CONTROL_EVENTS(zilui::cls)                                                               \
    wxEND_EVENT_TABLE()                                                                                      \
    zilui::cls::cls(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,              \
                    const wxSize& size, long style, const wxValidator& validator, const wxString& name)      \
        : cls()                                                                                              \
    {                                                                                                        \
        Create(parent, id, label, pos, size, style, validator, name);                                        \
    }                                                                                                        \
    zilui::cls::~cls()                                                                                       \
    {                                                                                                        \
        zilui::gtk::disconnectDrawHook(this);                                                                \
    }                                                                                                        \
    void zilui::cls::labelChanged()                                                                          \
    {                                                                                                        \
        zilui::skinnedcontrol::nameForAccessibility(this);                                                   \
    }                                                                                                        \
    wxSize zilui::cls::getNativeMinSize() const                                                              \
    {                                                                                                        \
        return zilui::gtk::getNativeMinSize(const_cast<cls*>(this));                                         \
    }

// Create() of a control that passes everything to the native one.
#define ZILUI_SLICK_NATIVE_CONTROL_CREATE(cls)                                                               \
    bool zilui::cls::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,      \
                            const wxSize& size, long style, const wxValidator& validator,                    \
                            const wxString& name)                                                            \
    {                                                                                                        \
        if (!Base::Create(parent, id, label, pos, size, style, validator, name))                             \
            return false;                                                                                    \
        zilui::skinnedcontrol::finishCreate(this);                                                           \
        return true;                                                                                         \
    }
// clang-format on
