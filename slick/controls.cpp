// SPDX-License-Identifier: MIT
#include <zilui/slick/controls.h>

#include "skinnedcontrol.h"

#include <zilui/system/externalcommands.h>

#include <zil/error.h>
#include <zil/log.h>
#include <zil/process.h>

#include <wx/cursor.h>
#include <wx/font.h>

// Registered under their qualified names, so that XRC and wxCreateDynamicObject find them.
ZILUI_SLICK_NATIVE_CONTROL(CSlickButton, wxButton)
ZILUI_SLICK_NATIVE_CONTROL(CSlickCheckBox, wxCheckBox)
ZILUI_SLICK_NATIVE_CONTROL_CREATE(CSlickCheckBox)
ZILUI_SLICK_NATIVE_CONTROL(CSlickRadioButton, wxRadioButton)
ZILUI_SLICK_NATIVE_CONTROL_CREATE(CSlickRadioButton)
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CLinkButton, zilui::CSlickButton);

namespace zilui {

namespace {

// wxBU_LEFT | wxBU_TOP | wxBU_RIGHT | wxBU_BOTTOM: the skin places the content.
constexpr long kButtonAlignmentStyles = 0x3C0;

} // namespace

// ---- CSlickButton

CSlickButton::CSlickButton() : Base(wxSYS_COLOUR_BTNFACE, wxSYS_COLOUR_BTNTEXT) {}

bool CSlickButton::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                          const wxSize& size, long style, const wxValidator& validator, const wxString& name)
{
    if (!CSlickButtonIntermediate::Create(parent, id, label, pos, size, style & ~kButtonAlignmentStyles, validator,
                                          name))
        return false;
    SetLabel(label);
    skinnedcontrol::finishCreate(this);
    return true;
}

zil::String CSlickButton::removeMnemonics(const zil::String& label)
{
    zil::String result;
    result.reserve(label.size());
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&') {
            if (++i == label.size())
                break;
        }
        result += label[i];
    }
    return result;
}

zil::String CSlickButton::getDisplayText() const
{
    return removeMnemonics(Base::getDisplayText());
}

CSlickButton::State CSlickButton::getState() const
{
    if (!IsThisEnabled())
        return Disabled;
    return getSharedHover() ? Hover : Normal;
}

CSlickButton::State CSlickButton::getBitmapState() const
{
    if (!IsThisEnabled())
        return Disabled;
    if (!getSharedHover())
        return Normal;
    return getPreparedBitmap(Hover).IsOk() ? Hover : Normal;
}

void CSlickButton::DoSetBitmap(const wxBitmapBundle& bundle, wxAnyButtonBase::State which)
{
    const wxBitmap bitmap = bundle.GetBitmap(wxDefaultSize);
    switch (which) {
    case wxAnyButtonBase::State_Focused:
        if (bitmap.IsOk() && !getStateBitmap(Hover).IsOk())
            setStateBitmap(Hover, bitmap);
        break;
    case wxAnyButtonBase::State_Normal:
        setStateBitmap(Normal, bitmap);
        break;
    case wxAnyButtonBase::State_Current:
        setStateBitmap(Hover, bitmap);
        break;
    case wxAnyButtonBase::State_Disabled:
        setStateBitmap(Disabled, bitmap);
        break;
    default:
        break;
    }
    if (bitmap.IsOk())
        CSlickButtonIntermediate::DoSetBitmap(bundle, which);
    else
        Refresh();
}

// ---- CLinkButton

CLinkButton::CLinkButton(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                         const wxSize& size, long style, const wxValidator& validator, const wxString& name)
{
    Create(parent, id, label, pos, size, style, validator, name);
}

bool CLinkButton::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                         const wxSize& size, long style, const wxValidator& validator, const wxString& name)
{
    if (!CSlickButton::Create(parent, id, label, pos, size, style, validator, name))
        return false;
    // The control's own skin, not a shared one: a new button always starts with its own.
    zil::P<CSlickButtonSkin> skin = getSkin();
    skin->setImageTextSpace(0);
    skin->setBorderType(CSlickButtonSkin::BorderNone);
    skin->setContentMargins(zil::CMargins(0, 0, 0, 0));
    wxFont font = GetFont();
    font.SetUnderlined(true);
    SetFont(font);
    setTextColors(wxColour(0, 0, 255), wxColour(0, 96, 255), wxColour(128, 128, 128));
    setHoverCursor(wxCursor(wxCURSOR_HAND));
    gtk::setAccessibleRoleLink(this);
    updateBestSize(size == wxDefaultSize);
    return true;
}

void CLinkButton::setTextColors(const wxColour& normal, const wxColour& hover, const wxColour& disabled)
{
    zil::P<CSlickButtonSkin> skin = getSkin();
    if (normal.IsOk())
        skin->getStateSkin(Normal).setTextColor(normal);
    if (hover.IsOk())
        skin->getStateSkin(Hover).setTextColor(hover);
    if (disabled.IsOk())
        skin->getStateSkin(Disabled).setTextColor(disabled);
    Refresh();
}

void CLinkButton::onClicked()
{
    if (!m_url.empty())
        openURL(m_url);
}

// ---- CSlickCheckBox

CSlickCheckBox::CSlickCheckBox() : Base(wxSYS_COLOUR_WINDOW, wxSYS_COLOUR_WINDOWTEXT) {}

CSlickCheckBox::State CSlickCheckBox::getState() const
{
    // GTK reports an undetermined box as checked; it is drawn unchecked.
    return skinnedcontrol::twoValueState<State>(Get3StateValue() == wxCHK_CHECKED, getSharedHover(),
                                                IsThisEnabled());
}

// ---- CSlickRadioButton

CSlickRadioButton::CSlickRadioButton() : Base(wxSYS_COLOUR_WINDOW, wxSYS_COLOUR_WINDOWTEXT) {}

CSlickRadioButton::State CSlickRadioButton::getState() const
{
    return skinnedcontrol::twoValueState<State>(GetValue(), getSharedHover(), IsThisEnabled());
}

// ---- CSlickButtonCreator

wxButton* CSlickButtonCreator::createButton(wxWindow* parent, int id, const zil::String& label)
{
    if (!parent)
        throw zil::CInvalidArgError(L"A button needs a parent window; null was given.",
                                    L"CSlickButtonCreator::createButton");
    auto* button = new CSlickButton();
    if (!button->Create(parent, id, toWX(label), wxDefaultPosition, wxDefaultSize, wxBU_AUTODRAW, wxDefaultValidator,
                        wxButtonNameStr)) {
        delete button;
        throw zil::CError(L"The native button could not be created.", L"CSlickButtonCreator::createButton")
            .setProp(L"label", label);
    }
    if (m_skin)
        button->setSkin(m_skin.get());
    return button;
}

} // namespace zilui

namespace zilui {

void CLinkButton::openURL(const zil::String& url)
{
    const zil::String lower = zil::String(url).Lower();
    if (lower.StartsWith(L"http:") || lower.StartsWith(L"https:")) {
        try {
            CExternalCommandManager::get()->openWebBrowser(url);
            return;
        } catch (const zil::CError& e) {
            zil::logWarning(e, L"Opening a link in the web browser failed; trying the default application.", url);
        }
    }
    zil::openWithDefaultApp(url);
}

} // namespace zilui
