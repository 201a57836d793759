// SPDX-License-Identifier: MIT
#include "zilui/controls/wrappers.h"

#include "gtk/nativeradio.h"

wxIMPLEMENT_DYNAMIC_CLASS(zilui::CCheckBox, wxCheckBox);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CRadioButton, wxRadioButton);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CListBox, wxListBox);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CListCtrl, wxListCtrl);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CTextCtrl, wxTextCtrl);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CSpinCtrl, wxSpinCtrl);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CStaticBox, wxStaticBox);

namespace zilui {

bool CRadioButton::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                          const wxSize& size, long style, const wxValidator& validator, const wxString& name)
{
    if (!wxRadioButton::Create(parent, id, label, pos, size, style, validator, name))
        return false;
    // The native group may have selected its first button already.
    m_value = wxRadioButton::GetValue();
    return true;
}

void CRadioButton::bindEvents()
{
    Bind(wxEVT_RADIOBUTTON, &CRadioButton::onSelected, this);
}

void CRadioButton::SetValue(bool value)
{
    // The base compares with GetValue(), which answers from m_value: it must still hold the
    // old value, or selecting would stop there. Deselecting is left to us entirely.
    wxRadioButton::SetValue(value);
    m_value = value;
    if (value)
        clearGroupValues();
    else
        clearNativeRadioSelection(*this);
    Refresh();
}

void CRadioButton::onSelected(wxCommandEvent& event)
{
    m_value = true;
    clearGroupValues();
    event.Skip();
}

void CRadioButton::clearGroupValues()
{
    if (HasFlag(wxRB_SINGLE))
        return;
    for (wxRadioButton* other = GetFirstInGroup(); other; other = other->GetNextInGroup()) {
        if (other != this)
            if (auto* wrapper = dynamic_cast<CRadioButton*>(other))
                wrapper->m_value = false;
    }
}

void CRadioButton::setFontBold(bool bold)
{
    wxFont font = GetFont();
    font.SetWeight(bold ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
    SetFont(font);
}

} // namespace zilui
