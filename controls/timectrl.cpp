// SPDX-License-Identifier: MIT
#include "zilui/controls/timectrl.h"

#include <wx/dcclient.h>
#include <wx/sizer.h>

#include <algorithm>

wxDEFINE_EVENT(wxuEVT_TIMECHANGE, zilui::CTimeCtrlEvent);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CTimeCtrl, wxPanel);

namespace zilui {

namespace {

const wxString kEmptyTime = wxS("00:00");

} // namespace

// ---------------------------------------------------------------------------------------------
// CTimeTextCtrl::SField

int CTimeTextCtrl::SField::getValue() const
{
    long value = 0;
    owner->GetValue().Mid(start, end - start).ToLong(&value);
    return fixValue(static_cast<int>(value));
}

void CTimeTextCtrl::SField::setValue(int value)
{
    const long pos = owner->GetInsertionPoint();
    owner->m_writing = true;
    owner->Replace(start, end, wxString::Format(wxS("%02d"), fixValue(value)));
    owner->m_writing = false;
    owner->m_lastGood = owner->GetValue();
    owner->SetInsertionPoint(pos);
}

void CTimeTextCtrl::SField::incValue()
{
    const int value = getValue() + 1;
    setValue(value > max ? min : value);
}

void CTimeTextCtrl::SField::decValue()
{
    const int value = getValue() - 1;
    setValue(value < min ? max : value);
}

int CTimeTextCtrl::SField::fixValue(int value) const
{
    return std::clamp(value, min, max);
}

// C++'s remainder keeps the sign, so a negative value clamps to min rather than wrapping
// back from max: -1 minutes is 00:00, not 23:59.
int CTimeTextCtrl::SField::setValueWithModuloRange(int value)
{
    setValue(value % getRange());
    return value / getRange();
}

// ---------------------------------------------------------------------------------------------
// CTimeTextCtrl

CTimeTextCtrl::CTimeTextCtrl(wxWindow* parent, int timeValue, int eventId)
    : CTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_TAB,
                wxDefaultValidator, wxTextCtrlNameStr),
      m_eventId(eventId), m_hours{0, 2, 0, 23, this}, m_minutes{3, 5, 0, 59, this}
{
    ChangeValue(kEmptyTime);
    m_lastGood = kEmptyTime;
    setTimeValue(timeValue);
    Bind(wxEVT_CHAR, &CTimeTextCtrl::OnChar, this);
    Bind(wxEVT_TEXT, &CTimeTextCtrl::onText, this);
    // Nothing may reach the text but the keys handled here.
    Bind(wxEVT_TEXT_PASTE, [](wxClipboardTextEvent&) {});
    Bind(wxEVT_TEXT_CUT, [](wxClipboardTextEvent&) {});
}

int CTimeTextCtrl::getTimeValue() const
{
    return m_hours.getValue() * m_minutes.getRange() + m_minutes.getValue();
}

void CTimeTextCtrl::setTimeValue(int timeValue)
{
    m_hours.setValueWithModuloRange(m_minutes.setValueWithModuloRange(timeValue));
}

CTimeTextCtrl::SField* CTimeTextCtrl::updateCurrentField()
{
    const int pos = static_cast<int>(GetInsertionPoint());
    m_current = m_hours.isInField(pos) ? &m_hours : m_minutes.isInField(pos) ? &m_minutes : nullptr;
    return m_current;
}

void CTimeTextCtrl::incCurrentField()
{
    if (m_current) {
        m_current->incValue();
        onValueChanged();
    }
}

void CTimeTextCtrl::decCurrentField()
{
    if (m_current) {
        m_current->decValue();
        onValueChanged();
    }
}

void CTimeTextCtrl::moveTo(int pos)
{
    SetInsertionPoint(std::clamp(pos, m_hours.start, m_minutes.end));
    updateCurrentField();
}

void CTimeTextCtrl::OnChar(wxKeyEvent& event)
{
    handleKeyPress(event.GetKeyCode(), event.ShiftDown());
}

void CTimeTextCtrl::handleKeyPress(int key, bool)
{
    // GTK selects all when the field gains the focus; typing then starts at the selection's
    // beginning instead of the end of the minutes.
    long selectionFrom = 0, selectionTo = 0;
    GetSelection(&selectionFrom, &selectionTo);
    if (selectionFrom != selectionTo)
        SetInsertionPoint(selectionFrom);
    updateCurrentField();
    const int pos = static_cast<int>(GetInsertionPoint());
    if (key == WXK_DELETE || key == WXK_NUMPAD_DELETE)
        key = '0';
    if (key >= WXK_NUMPAD0 && key <= WXK_NUMPAD9)
        key = '0' + (key - WXK_NUMPAD0);
    if (key >= '0' && key <= '9') {
        if (!m_current)
            return;
        int at = pos;
        if (at == m_current->end) {
            if (m_current != &m_hours)
                return; // after the last digit there is nothing left to type over
            m_current = &m_minutes;
            at = m_minutes.start;
        }
        m_writing = true;
        Replace(at, at + 1, wxString(wxUniChar(key)));
        m_writing = false;
        m_current->fix();
        const int next = at + 1 == m_hours.end ? m_minutes.start : at + 1;
        moveTo(next);
        onValueChanged();
        return;
    }
    switch (key) {
    case WXK_BACK:
    case WXK_LEFT:
    case WXK_NUMPAD_LEFT:
        if (pos > 0)
            moveTo(pos - 1);
        break;
    case WXK_RIGHT:
    case WXK_NUMPAD_RIGHT:
        if (m_current)
            moveTo(pos + 1);
        else
            moveTo(m_minutes.isBeforeField(pos) ? m_minutes.start : m_hours.start);
        break;
    case WXK_TAB:
        moveTo(m_current == &m_hours ? m_minutes.start : m_hours.start);
        break;
    case WXK_UP:
    case WXK_NUMPAD_UP:
        incCurrentField();
        break;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
        decCurrentField();
        break;
    default:
        break; // swallowed: the text keeps its form
    }
}

bool CTimeTextCtrl::isWellFormed(const wxString& text) const
{
    if (text.length() != static_cast<size_t>(m_minutes.end) || text[m_hours.end] != ':')
        return false;
    for (int i : {0, 1, 3, 4})
        if (text[i] < '0' || text[i] > '9')
            return false;
    long hours = 0, minutes = 0;
    text.Mid(0, 2).ToLong(&hours);
    text.Mid(3, 2).ToLong(&minutes);
    return hours <= m_hours.max && minutes <= m_minutes.max;
}

void CTimeTextCtrl::onText(wxCommandEvent& event)
{
    if (!m_writing && !isWellFormed(GetValue())) {
        const long pos = GetInsertionPoint();
        ChangeValue(m_lastGood);
        SetInsertionPoint(std::min<long>(pos, m_minutes.end));
        return;
    }
    if (!m_writing)
        m_lastGood = GetValue();
    event.Skip();
}

void CTimeTextCtrl::onValueChanged()
{
    m_lastGood = GetValue();
    wxWindow* timeCtrl = GetParent();
    CTimeCtrlEvent event(wxuEVT_TIMECHANGE, m_eventId, getTimeValue());
    event.SetEventObject(timeCtrl);
    timeCtrl->ProcessWindowEvent(event);
}

// ---------------------------------------------------------------------------------------------
// CTimeSpinCtrl

CTimeSpinCtrl::CTimeSpinCtrl(wxWindow* parent, CTimeTextCtrl* text)
    : wxSpinButton(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL | wxSP_ARROW_KEYS),
      m_text(text)
{
    // The button only reports direction; the value lives in the text.
    SetRange(-1000000, 1000000);
    Bind(wxEVT_SPIN_UP, &CTimeSpinCtrl::onSpinUp, this);
    Bind(wxEVT_SPIN_DOWN, &CTimeSpinCtrl::onSpinDown, this);
}

void CTimeSpinCtrl::onSpinUp(wxSpinEvent&)
{
    step(true);
}

void CTimeSpinCtrl::onSpinDown(wxSpinEvent&)
{
    step(false);
}

void CTimeSpinCtrl::step(bool up)
{
    // GTK selects the whole text of an entry that gains the focus, which would move the
    // insertion point into the minutes.
    const long pos = m_text->GetInsertionPoint();
    m_text->SetFocus();
    m_text->SetInsertionPoint(pos);
    if (!m_text->updateCurrentField())
        return;
    if (up)
        m_text->incCurrentField();
    else
        m_text->decCurrentField();
}

// ---------------------------------------------------------------------------------------------
// CTimeCtrl

bool CTimeCtrl::Create(wxWindow* parent, int id, int timeValue, const wxPoint& pos, const wxSize& size)
{
    if (!wxPanel::Create(parent, id, pos, size, wxTAB_TRAVERSAL | wxNO_BORDER, wxPanelNameStr))
        return false;
    m_text = new CTimeTextCtrl(this, timeValue, GetId());
    m_spin = new CTimeSpinCtrl(this, m_text);

    wxClientDC dc(m_text);
    dc.SetFont(m_text->GetFont());
    const wxSize extent = dc.GetTextExtent(wxS("00:00"));
    // Room for the text plus the entry's own frame and padding.
    const wxSize best = m_text->GetSizeFromTextSize(extent.x + extent.y / 2);
    m_text->SetMinSize(best);

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(m_text, 1, wxEXPAND | wxRIGHT, 1);
    sizer->Add(m_spin, 0, wxEXPAND);
    SetSizer(sizer);
    SetInitialSize(size);
    Show();
    return true;
}

int CTimeCtrl::getTimeValue() const
{
    return m_text->getTimeValue();
}

void CTimeCtrl::setTimeValue(int timeValue)
{
    m_text->setTimeValue(timeValue);
}

} // namespace zilui
