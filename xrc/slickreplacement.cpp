// SPDX-License-Identifier: MIT
#include "zilui/xrc/slickreplacement.h"

#include "buttonstates.h"

#include "zilui/slick/controls.h"
#include "zilui/xrc/xmlresourcehandler.h"

#include <wx/xml/xml.h>

#include <type_traits>
#include <utility>

wxIMPLEMENT_DYNAMIC_CLASS(zilui::CSlickInsteadOfNormalResourceHandler, wxXmlResourceHandler);

namespace zilui {

CSlickInsteadOfNormalResourceHandler::CSlickInsteadOfNormalResourceHandler(CSlickButtonSkin* buttonSkin,
                                                                           CSlickCheckBoxSkin* checkBoxSkin,
                                                                           CSlickRadioButtonSkin* radioButtonSkin)
    : m_buttonSkin(buttonSkin), m_checkBoxSkin(checkBoxSkin), m_radioButtonSkin(radioButtonSkin)
{
    for (const XrcStyle& style : kCheckAndRadioStyles)
        AddStyle(style.name, style.value);
}

bool CSlickInsteadOfNormalResourceHandler::subclassAllows(const wxXmlNode* node) const
{
    const wxString subclass = node->GetAttribute(wxS("subclass"));
    return subclass.empty() || subclass.StartsWith(wxS("wx"));
}

bool CSlickInsteadOfNormalResourceHandler::CanHandle(wxXmlNode* node)
{
    if (!node || !subclassAllows(node))
        return false;
    const wxString cls = node->GetAttribute(wxS("class"));
    return (cls == wxS("wxButton") && m_buttonSkin) || (cls == wxS("wxCheckBox") && m_checkBoxSkin) ||
           (cls == wxS("wxRadioButton") && m_radioButtonSkin);
}

// XRC makes a throw-away instance of the class a node names as its "subclass"; one of another
// class was passed in by the caller (LoadObject and the like). A caller's object of the very
// class the node names cannot be told from XRC's and goes the same way.
bool CSlickInsteadOfNormalResourceHandler::madeBySubclassing(const wxObject* instance) const
{
    const wxString subclass = m_node->GetAttribute(wxS("subclass"));
    const wxClassInfo* info = instance->GetClassInfo();
    return !subclass.empty() && !(m_resource->GetFlags() & wxXRC_NO_SUBCLASSING) && info &&
           subclass == info->GetClassName();
}

// XRC's subclass instance is a plain control that was never created; it makes way for the
// skinned one. A caller's object stays the caller's: it is left alone, and the caller is
// told through XRC's error report that a new control took its place.
template <class T>
T* CSlickInsteadOfNormalResourceHandler::create()
{
    T* control = dynamic_cast<T*>(m_instance);
    if (!control) {
        if (m_instance && madeBySubclassing(m_instance)) {
            delete m_instance;
        } else if (m_instance) {
            const wxClassInfo* info = m_instance->GetClassInfo();
            ReportError(wxString::Format(
                wxS("the instance supplied is a %s, not a %s; leaving it to its owner and "
                    "creating a new one"),
                info ? info->GetClassName() : wxS("wxObject"), wxCLASSINFO(T)->GetClassName()));
        }
        m_instance = nullptr;
        control = new T();
    }
    if (GetBool(wxS("hidden")))
        control->Hide();
    control->Create(m_parentAsWindow, GetID(), GetText(wxS("label")), GetPosition(), GetSize(),
                    GetStyle(wxS("style"), std::is_same_v<T, CSlickButton> ? wxBU_AUTODRAW : 0), wxDefaultValidator,
                    GetName());
    return control;
}

wxObject* CSlickInsteadOfNormalResourceHandler::DoCreateResource()
{
    if (!subclassAllows(m_node))
        return nullptr;
    repairXrcTextEscapes(m_node);
    if (m_class == wxS("wxButton") && m_buttonSkin) {
        auto* button = create<CSlickButton>();
        if (GetBool(wxS("default")))
            button->SetDefault();
        SetupWindow(button);
        applyButtonStateBitmaps(*button, [this](const wchar_t* param) {
            const wxXmlNode* node = GetParamNode(param);
            if (!node)
                return wxBitmap();
            const wxString text = node->GetNodeContent().Strip(wxString::both);
            return text.empty() || !node->GetAttribute(wxS("stock_id")).empty()
                       ? wxXmlResourceHandler::GetBitmap(node, wxS("wxART_OTHER_C"))
                       : CZilXMLResourceHandler::loadBitmapReference(text, GetCurFileSystem().GetPath(), zil::Path(),
                                                                     zil::Path());
        });
        button->setSkin(m_buttonSkin.get());
        return button;
    }
    if (m_class == wxS("wxCheckBox") && m_checkBoxSkin) {
        auto* box = create<CSlickCheckBox>();
        box->SetValue(GetBool(wxS("checked")));
        SetupWindow(box);
        box->setSkin(m_checkBoxSkin.get());
        return box;
    }
    if (m_class == wxS("wxRadioButton") && m_radioButtonSkin) {
        auto* button = create<CSlickRadioButton>();
        SetupWindow(button);
        button->setSkin(m_radioButtonSkin.get());
        return button;
    }
    return nullptr;
}

} // namespace zilui
