// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/controls/wrappers.h>

#include <wx/event.h>
#include <wx/panel.h>
#include <wx/spinbutt.h>

namespace zilui {

// Sent by a CTimeCtrl after each change of its value; the value is minutes since midnight.
class CTimeCtrlEvent : public wxNotifyEvent {
public:
    CTimeCtrlEvent(wxEventType eventType = wxEVT_NULL, int id = 0, int timeValue = 0)
        : wxNotifyEvent(eventType, id), m_timeValue(timeValue)
    {
    }

    int getTimeValue() const { return m_timeValue; }
    void setTimeValue(int timeValue) { m_timeValue = timeValue; }

    wxEvent* Clone() const override { return new CTimeCtrlEvent(*this); }

private:
    int m_timeValue;
};

} // namespace zilui

wxDECLARE_EVENT(wxuEVT_TIMECHANGE, zilui::CTimeCtrlEvent);

namespace zilui {

// The text part of the time control: always "HH:MM". Typing replaces the digit at the
// insertion point and clamps the field, so no key can make an invalid time.
class CTimeTextCtrl : public CTextCtrl {
public:
    // One number inside the text, [start, end) of its characters.
    struct SField {
        int start;
        int end;
        int min;
        int max;
        CTimeTextCtrl* owner;

        int getValue() const;
        // Clamped and written with two digits; the insertion point stays.
        void setValue(int value);
        void incValue();
        void decValue();
        void fix() { setValue(getValue()); }
        int fixValue(int value) const;
        int getRange() const { return max - min + 1; }
        // Sets value mod range and returns value div range (the carry into the next field),
        // with C++'s integer division: a negative value sets min.
        int setValueWithModuloRange(int value);
        bool isInField(int pos) const { return start <= pos && pos <= end; }
        bool isBeforeField(int pos) const { return pos < start; }
        bool isAfterField(int pos) const { return pos > end; }
    };

    CTimeTextCtrl(wxWindow* parent, int timeValue, int eventId);

    int getTimeValue() const;
    // Minutes since midnight; a later value is taken modulo a day, a negative one is 00:00.
    void setTimeValue(int timeValue);
    void incCurrentField();
    void decCurrentField();
    // The field the insertion point is in, or null.
    SField* updateCurrentField();
    SField* getCurrentField() const { return m_current; }

protected:
    // Every key ends here: those of the rules act, all others are swallowed.
    void handleKeyPress(int key, bool shift);
    void onValueChanged();

private:
    void OnChar(wxKeyEvent& event);
    // Anything that reaches the text without a key of ours (paste, drop, input methods) is
    // undone: the text goes back to the last valid time.
    void onText(wxCommandEvent& event);
    void moveTo(int pos);
    bool isWellFormed(const wxString& text) const;

    int m_eventId;
    SField m_hours;
    SField m_minutes;
    SField* m_current = nullptr;
    wxString m_lastGood;
    bool m_writing = false;
};

// The spin button beside the text: each click steps the field the insertion point is in.
class CTimeSpinCtrl : public wxSpinButton {
public:
    CTimeSpinCtrl(wxWindow* parent, CTimeTextCtrl* text);

    void onSpinUp(wxSpinEvent& event);
    void onSpinDown(wxSpinEvent& event);

private:
    void step(bool up);

    CTimeTextCtrl* m_text;
};

// A time of day in hours and minutes (24-hour clock) with a spin button. Sends
// wxuEVT_TIMECHANGE with its id after each change.
class CTimeCtrl : public wxPanel {
public:
    CTimeCtrl() = default;
    CTimeCtrl(wxWindow* parent, int id, int timeValue = 0, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize)
    {
        Create(parent, id, timeValue, pos, size);
    }

    bool Create(wxWindow* parent, int id, int timeValue = 0, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize);

    int getTimeValue() const;
    void setTimeValue(int timeValue);

    CTimeTextCtrl* getTextCtrl() const { return m_text; }
    CTimeSpinCtrl* getSpinCtrl() const { return m_spin; }

private:
    CTimeTextCtrl* m_text = nullptr;
    CTimeSpinCtrl* m_spin = nullptr;

    wxDECLARE_DYNAMIC_CLASS(CTimeCtrl);
};

} // namespace zilui
