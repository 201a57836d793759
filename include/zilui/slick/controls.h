// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/slick/buttoncreator.h>
#include <zilui/slick/controlbase.h>
#include <zilui/slick/intermediates.h>
#include <zilui/slick/skin.h>

#include <zil/object.h>
#include <zil/string.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>

namespace zilui {

// The skinned controls stay native wxButton, wxCheckBox and wxRadioButton objects: the
// native widget keeps keyboard handling, default button, radio groups, the value and the
// command events; only the drawing, the best size and the hover state are the skin's.

// Declares what ZILUI_SLICK_NATIVE_CONTROL and ZILUI_SLICK_NATIVE_CONTROL_CREATE define for a
// skinned native control `cls` whose windows are named `defaultName` by default: the default
// constructor, the constructor that creates, the destructor and Create(), which is false,
// before any skin work, when the native control cannot be made. Leaves the access public.
#define ZILUI_SLICK_NATIVE_CONTROL_DECLARE(cls, defaultName)                                                   \
public:                                                                                                        \
    cls();                                                                                                     \
    cls(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,                                \
        const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0,             \
        const wxValidator& validator = wxDefaultValidator, const wxString& name = defaultName);                \
    ~cls() override;                                                                                           \
    bool Create(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,                        \
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0,     \
                const wxValidator& validator = wxDefaultValidator, const wxString& name = defaultName);        \
                                                                                                               \
protected:                                                                                                     \
    wxSize getNativeMinSize() const override;                                                                  \
    void labelChanged() override;                                                                              \
                                                                                                               \
private:                                                                                                       \
    wxDECLARE_DYNAMIC_CLASS(cls);                                                                              \
    wxDECLARE_EVENT_TABLE();                                                                                   \
                                                                                                               \
public:

// A push button. Mnemonic markers of the label are not shown ("&&" shows one "&").
class CSlickButton : public TSlickControlBase<CSlickButtonIntermediate, CSlickButtonSkin> {
public:
    using Base = TSlickControlBase<CSlickButtonIntermediate, CSlickButtonSkin>;
    ZILUI_SLICK_NATIVE_CONTROL_DECLARE(CSlickButton, wxButtonNameStr)

    zil::String getDisplayText() const override;
    State getState() const override;
    // A hovered button without a hover bitmap shows its normal one.
    State getBitmapState() const override;

    // The label with each "&" removed and the character after it kept.
    static zil::String removeMnemonics(const zil::String& label);

protected:
    // Normal, current and disabled bitmaps become the Normal, Hover and Disabled state
    // bitmaps; a focused one stands in for a missing current one.
    void DoSetBitmap(const wxBitmapBundle& bitmap, wxAnyButtonBase::State which) override;
};

// A button drawn as a hyperlink that opens its URL when clicked, besides sending its
// button event.
class CLinkButton : public CSlickButton {
public:
    CLinkButton() = default;
    CLinkButton(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0,
                const wxValidator& validator = wxDefaultValidator, const wxString& name = wxButtonNameStr);

    // Besides the button, turns its own skin into a link: no border, no margins, blue
    // underlined text, a hand cursor.
    bool Create(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long style = 0,
                const wxValidator& validator = wxDefaultValidator, const wxString& name = wxButtonNameStr);

    void SetURL(const zil::String& url) { m_url = url; }
    const zil::String& GetURL() const { return m_url; }
    // Text colours of the Normal, Hover and Disabled states of the present skin; invalid
    // colours are skipped.
    void setTextColors(const wxColour& normal, const wxColour& hover, const wxColour& disabled);

    bool HasTransparentBackground() override { return true; }

    // http and https URLs go to the web browser of the external command manager, falling back
    // to the default application; anything else to the default application, whose errors
    // pass to the caller.
    static void openURL(const zil::String& url);

protected:
    void onClicked() override;

private:
    zil::String m_url;

    wxDECLARE_DYNAMIC_CLASS(CLinkButton);
};

// A check box. A three-state box in the undetermined state is drawn unchecked.
class CSlickCheckBox : public TSlickControlBase<CSlickCheckBoxIntermediate, CSlickCheckBoxSkin> {
public:
    using Base = TSlickControlBase<CSlickCheckBoxIntermediate, CSlickCheckBoxSkin>;
    ZILUI_SLICK_NATIVE_CONTROL_DECLARE(CSlickCheckBox, wxCheckBoxNameStr)

    State getState() const override;
};

// A radio button; its group is the native one (wxRB_GROUP, wxRB_SINGLE).
class CSlickRadioButton : public TSlickControlBase<CSlickRadioButtonIntermediate, CSlickRadioButtonSkin> {
public:
    using Base = TSlickControlBase<CSlickRadioButtonIntermediate, CSlickRadioButtonSkin>;
    ZILUI_SLICK_NATIVE_CONTROL_DECLARE(CSlickRadioButton, wxRadioButtonNameStr)

    State getState() const override;
};

// Creates skinned buttons with one skin (the default skin when none is given).
class CSlickButtonCreator : public zil::CBase, public virtual IButtonCreator {
public:
    explicit CSlickButtonCreator(CSlickButtonSkin* skin = nullptr) : m_skin(skin) {}

    wxButton* createButton(wxWindow* parent, int id, const zil::String& label) override;

    const zil::P<CSlickButtonSkin>& getSkin() const { return m_skin; }

private:
    zil::P<CSlickButtonSkin> m_skin;
};

} // namespace zilui
