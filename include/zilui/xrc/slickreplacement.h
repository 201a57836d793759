// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/slick/skin.h>

#include <zil/object.h>

#include <wx/xrc/xmlres.h>

namespace zilui {

// Puts skinned controls where XRC files say "wxButton", "wxCheckBox" or "wxRadioButton", each
// kind with its own skin; a kind without a skin is left to the other handlers, and so is a
// node whose subclass is an application class (one not starting with "wx"). The library
// does not install it: an application that wants it inserts it ahead of the other handlers,
// e.g. with wxXmlResource::Get()->InsertHandler().
class CSlickInsteadOfNormalResourceHandler : public wxXmlResourceHandler {
public:
    CSlickInsteadOfNormalResourceHandler(CSlickButtonSkin* buttonSkin = nullptr,
                                         CSlickCheckBoxSkin* checkBoxSkin = nullptr,
                                         CSlickRadioButtonSkin* radioButtonSkin = nullptr);

    void setButtonSkin(CSlickButtonSkin* skin) { m_buttonSkin = skin; }
    void setCheckBoxSkin(CSlickCheckBoxSkin* skin) { m_checkBoxSkin = skin; }
    void setRadioButtonSkin(CSlickRadioButtonSkin* skin) { m_radioButtonSkin = skin; }

    // wxXmlResourceHandler
    bool CanHandle(wxXmlNode* node) override;
    wxObject* DoCreateResource() override;

private:
    bool subclassAllows(const wxXmlNode* node) const;
    bool madeBySubclassing(const wxObject* instance) const;
    template <class T>
    T* create();

    zil::P<CSlickButtonSkin> m_buttonSkin;
    zil::P<CSlickCheckBoxSkin> m_checkBoxSkin;
    zil::P<CSlickRadioButtonSkin> m_radioButtonSkin;

    wxDECLARE_DYNAMIC_CLASS(CSlickInsteadOfNormalResourceHandler);
};

} // namespace zilui
