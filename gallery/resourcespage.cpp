// SPDX-License-Identifier: MIT
#include "resourcespage.h"

#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/slick/controls.h>
#include <zilui/xrc/slickreplacement.h>
#include <zilui/xrc/xmlresourcehandler.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include <memory>

namespace gallery {

namespace {

using zilui::toWX;

zil::Path resourcesFolder()
{
    zilui::CAppBase* app = zilui::CAppBase::get();
    return app ? app->getResourcesPath() : zil::Path();
}

template <class Intermediate>
zil::P<zilui::TSlickSkinBase<Intermediate>> glossySkin(const wchar_t* file)
{
    zil::P<zilui::TSlickSkinBase<Intermediate>> skin(new zilui::TSlickSkinBase<Intermediate>());
    skin->loadResource(zil::Path(zil::String(L"skins/glossy/") + file), -1.0);
    return skin;
}

// The skins of the "glossy" look, on every skinned control of `window` that has none yet.
void applySkins(wxWindow* window, zilui::CSlickButtonSkin* button, zilui::CSlickCheckBoxSkin* checkBox,
                zilui::CSlickRadioButtonSkin* radio)
{
    for (wxWindow* child : window->GetChildren()) {
        if (auto* b = dynamic_cast<zilui::CSlickButton*>(child); b && !dynamic_cast<zilui::CLinkButton*>(child))
            b->setSkin(button);
        else if (auto* c = dynamic_cast<zilui::CSlickCheckBox*>(child))
            c->setSkin(checkBox);
        else if (auto* r = dynamic_cast<zilui::CSlickRadioButton*>(child))
            r->setSkin(radio);
        applySkins(child, button, checkBox, radio);
    }
}

// With `skinned`, a resource object of its own puts the replacement handler ahead of the
// library's handlers; otherwise the application's global one serves.
void showResourcesDialog(wxWindow* parent, bool skinned)
{
    const zil::Path file = resourcesFolder() / zil::Path(L"gallery/resources.xrc");
    auto button = glossySkin<zilui::CSlickButtonIntermediate>(L"button.ini");
    auto checkBox = glossySkin<zilui::CSlickCheckBoxIntermediate>(L"checkbox.ini");
    auto radio = glossySkin<zilui::CSlickRadioButtonIntermediate>(L"radiobutton.ini");

    std::unique_ptr<wxXmlResource> own;
    wxXmlResource* resources = wxXmlResource::Get();
    if (skinned) {
        own = std::make_unique<wxXmlResource>(wxXRC_USE_LOCALE);
        own->SetDomain("zilui-gallery");
        own->AddHandler(new zilui::CSlickInsteadOfNormalResourceHandler(button.get(), checkBox.get(), radio.get()));
        auto* handler = new zilui::CZilXMLResourceHandler();
        if (zilui::CAppBase* app = zilui::CAppBase::get(); app && app->getResourceHandler())
            handler->initTryRedirectBitmaps(app->getResourceHandler()->getRedirectFrom(),
                                            app->getResourceHandler()->getRedirectTo());
        own->AddHandler(handler);
        own->AddHandler(new zilui::CZilXMLResourceHandler_ListCtrl());
        own->AddHandler(new zilui::CZilXMLResourceHandler_Sizer());
        own->InitAllHandlers();
        resources = own.get();
    }
    static bool globalLoaded = false;
    if ((skinned || !globalLoaded) && (!zil::fileExists(file) || !resources->Load(toWX(file.str())))) {
        zil::CError error(L"Cannot load resource", L"gallery::showResourcesDialog", 1);
        error.setProp(L"path", file.str());
        throw error;
    }
    globalLoaded = globalLoaded || !skinned;

    wxDialog dialog;
    if (!resources->LoadDialog(&dialog, parent, "ResourcesDialog"))
        throw zil::CError(L"The dialog 'ResourcesDialog' is missing from " + file.str(), L"gallery::showResourcesDialog");
    applySkins(&dialog, button.get(), checkBox.get(), radio.get());
    dialog.Fit();
    dialog.CentreOnParent();
    dialog.ShowModal();
}

} // namespace

void redirectGalleryBitmaps()
{
    zilui::CAppBase* app = zilui::CAppBase::get();
    if (app && app->getResourceHandler())
        app->getResourceHandler()->initTryRedirectBitmaps(resourcesFolder() / zil::Path(L"gallery"),
                                                          resourcesFolder() / zil::Path(L"gallery/brand"));
}

wxWindow* makeResourcesPage(wxWindow* parent, std::function<void()>* openDialog)
{
    auto* page = new wxPanel(parent);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(page, wxID_ANY,
                                toWX(ZILUI_TR("A dialog built from res/gallery/resources.xrc: the library's controls "
                                              "by their XRC class names,\nthe wrappers of the standard controls, a "
                                              "time control and a badge taken through the bitmap redirection."))),
               0, wxALL, 16);
    auto* skinned = new wxCheckBox(page, wxID_ANY,
                                   toWX(ZILUI_TR("Make plain buttons, check boxes and radio buttons skinned")));
    sizer->Add(skinned, 0, wxLEFT | wxRIGHT | wxBOTTOM, 16);
    auto* open = new wxButton(page, wxID_ANY, toWX(ZILUI_TR("Open the XRC dialog")));
    sizer->Add(open, 0, wxLEFT | wxRIGHT, 16);
    page->SetSizer(sizer);
    const auto show = [page, skinned] { showResourcesDialog(page, skinned->GetValue()); };
    open->Bind(wxEVT_BUTTON, [show](wxCommandEvent&) { show(); });
    if (openDialog)
        *openDialog = show;
    return page;
}

} // namespace gallery
