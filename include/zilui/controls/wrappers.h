// SPDX-License-Identifier: MIT
#pragma once

#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>

class wxDC;

namespace zilui {

// Thin subclasses of the standard controls that the XRC handlers create in place of the
// plain ones, so that an application can rely on one class per control whatever the source.
//
// Each can render itself into a wxDC of the caller's (a drag image, a frame of an animated
// popup) with renderInto(): the caller gets the native widget exactly as the toolkit draws it
// on screen right now, frame and text included, at the window's logical size, with the
// toolkit's transparency kept (what lies under a see-through part is what `dc` held). A
// hidden control draws nothing and counts as rendered; a control that has no native window
// yet (not realised), or whose window's new size the display server has not confirmed yet,
// draws nothing and gives false.
bool renderControlInto(wxWindow& control, wxDC& dc, const wxPoint& at = wxPoint(0, 0));

class CCheckBox : public wxCheckBox {
public:
    CCheckBox() = default;
    CCheckBox(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize, long style = 0, const wxValidator& validator = wxDefaultValidator,
              const wxString& name = wxCheckBoxNameStr)
    {
        Create(parent, id, label, pos, size, style, validator, name);
    }

    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    wxDECLARE_DYNAMIC_CLASS(CCheckBox);
};

// Keeps its own value, which follows SetValue() and the user's choice within its group; the
// custom text colour and a bold label are the native control's.
class CRadioButton : public wxRadioButton {
public:
    CRadioButton() { bindEvents(); }
    CRadioButton(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = 0, const wxValidator& validator = wxDefaultValidator,
                 const wxString& name = wxRadioButtonNameStr)
    {
        bindEvents();
        Create(parent, id, label, pos, size, style, validator, name);
    }

    bool Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0, const wxValidator& validator = wxDefaultValidator,
                const wxString& name = wxRadioButtonNameStr);

    void SetValue(bool value) override;
    bool GetValue() const override { return m_value; }

    void setFontBold(bool bold);
    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    void bindEvents();
    void onSelected(wxCommandEvent& event);
    // The group's other wrappers lose their value when this one gains it, as the native
    // buttons do.
    void clearGroupValues();

    bool m_value = false;

    wxDECLARE_DYNAMIC_CLASS(CRadioButton);
};

class CListBox : public wxListBox {
public:
    CListBox() = default;
    CListBox(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
             const wxSize& size = wxDefaultSize, int n = 0, const wxString choices[] = nullptr, long style = 0,
             const wxValidator& validator = wxDefaultValidator, const wxString& name = wxListBoxNameStr)
    {
        Create(parent, id, pos, size, n, choices, style, validator, name);
    }
    CListBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
             const wxArrayString& choices, long style = 0, const wxValidator& validator = wxDefaultValidator,
             const wxString& name = wxListBoxNameStr)
    {
        Create(parent, id, pos, size, choices, style, validator, name);
    }

    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    wxDECLARE_DYNAMIC_CLASS(CListBox);
};

class CListCtrl : public wxListCtrl {
public:
    CListCtrl() = default;
    CListCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize, long style = wxLC_ICON,
              const wxValidator& validator = wxDefaultValidator, const wxString& name = wxListCtrlNameStr)
    {
        Create(parent, id, pos, size, style, validator, name);
    }

    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    wxDECLARE_DYNAMIC_CLASS(CListCtrl);
};

class CTextCtrl : public wxTextCtrl {
public:
    CTextCtrl() = default;
    CTextCtrl(wxWindow* parent, wxWindowID id, const wxString& value = wxEmptyString,
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0,
              const wxValidator& validator = wxDefaultValidator, const wxString& name = wxTextCtrlNameStr)
    {
        Create(parent, id, value, pos, size, style, validator, name);
    }

    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    wxDECLARE_DYNAMIC_CLASS(CTextCtrl);
};

class CSpinCtrl : public wxSpinCtrl {
public:
    CSpinCtrl() = default;
    CSpinCtrl(wxWindow* parent, wxWindowID id = wxID_ANY, const wxString& value = wxEmptyString,
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
              long style = wxSP_ARROW_KEYS, int min = 0, int max = 100, int initial = 0,
              const wxString& name = wxS("wxSpinCtrl"))
    {
        Create(parent, id, value, pos, size, style, min, max, initial, name);
    }

    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    wxDECLARE_DYNAMIC_CLASS(CSpinCtrl);
};

class CStaticBox : public wxStaticBox {
public:
    CStaticBox() = default;
    CStaticBox(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
               const wxSize& size = wxDefaultSize, long style = 0, const wxString& name = wxStaticBoxNameStr)
    {
        Create(parent, id, label, pos, size, style, name);
    }

    bool renderInto(wxDC& dc, const wxPoint& at = wxPoint(0, 0)) { return renderControlInto(*this, dc, at); }

private:
    wxDECLARE_DYNAMIC_CLASS(CStaticBox);
};

} // namespace zilui
