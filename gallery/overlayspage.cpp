// SPDX-License-Identifier: MIT
#include "overlayspage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/panels.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/slick/overlays.h>
#include <zilui/slick/popupmenu.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include <functional>

namespace gallery {

namespace {

using zilui::toWX;

// A ribbon across the middle, half opaque, and a frame: the rest lets the panel show through.
zil::P<zilui::IScalingImage> makeRibbon()
{
    wxImage image(64, 64);
    image.InitAlpha();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool frame = x < 2 || y < 2 || x > 61 || y > 61;
            const bool ribbon = y >= 26 && y < 38;
            image.SetRGB(x, y, 250, 250, 255);
            image.SetAlpha(x, y, frame ? 255 : ribbon ? 128 : 0);
        }
    return zil::P<zilui::IScalingImage>(new zilui::CScalingImage(image));
}

zil::P<zilui::CSlickButtonSkin> loadButtonSkin()
{
    zil::P<zilui::CSlickButtonSkin> skin(new zilui::CSlickButtonSkin());
    try {
        skin->loadResource(zil::Path(L"skins/flat/button.ini"), -1.0);
    } catch (const zil::CError& e) {
        zil::logError(e, L"Cannot load the sample button skin of the overlays page. Ignoring.");
    }
    return skin;
}

} // namespace

wxWindow* makeOverlaySample(wxWindow* parent, wxWindow* page, const wxSize& size)
{
    auto* owner = new zilui::CGradientPanel(parent, wxID_ANY, wxDefaultPosition, size);
    owner->setGradient(new zilui::CLinearGradient(wxColour(40, 90, 160), wxColour(140, 200, 240)));
    auto* overlay = new zilui::CSlickOverlay(owner, wxID_ANY, toWX(ZILUI_TR("Overlay")), false);
    zil::P<zilui::CSlickOverlaySkin> overlaySkin(new zilui::CSlickOverlaySkin());
    overlaySkin->setBorderType(zilui::CSlickOverlaySkin::BorderNone);
    zilui::CSlickStateSkin& look = overlaySkin->getStateSkin(zilui::CSlickOverlay::Normal);
    look.setSeeThrough(true);
    look.setOverlayImage(makeRibbon().get());
    look.setTextColor(*wxWHITE);
    overlaySkin->setContentHorzAlign(0.5);
    overlaySkin->setContentVertAlign(0.5);
    overlay->setSkin(overlaySkin.get());
    // The owner gets no event when the frame moves or the notebook shows another page.
    const auto follow = [weak = wxWeakRef<zilui::CSlickOverlay>(overlay)](wxEvent& event) {
        event.Skip();
        if (weak)
            weak->updatePosSizeAndVisibility();
    };
    page->Bind(wxEVT_SHOW, follow);
    page->GetParent()->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, follow);
    wxWindow* frame = wxGetTopLevelParent(page);
    frame->Bind(wxEVT_MOVE, follow);
    frame->Bind(wxEVT_SIZE, follow);
    frame->Bind(wxEVT_SHOW, follow);
    return owner;
}

wxWindow* makeOverlaysPage(wxWindow* parent, std::function<void()>* openMenu)
{
    auto* page = new wxPanel(parent, wxID_ANY);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* intro = new wxStaticText(
        page, wxID_ANY,
        toWX(ZILUI_TR("Left, a gradient panel under an overlay: a window of its own whose see-through skin shows "
                      "the panel. Right, a non-overlay: the same look as a panel with controls inside. Below, "
                      "the skinned popup menu; it hides when the pointer leaves it.")));
    intro->Wrap(700);
    sizer->Add(intro, 0, wxALL, 8);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(makeOverlaySample(page, page, wxSize(300, 160)), 1, wxEXPAND | wxALL, 8);

    auto* holder = new zilui::CSlickNonOverlay(page, wxID_ANY, toWX(ZILUI_TR("Non-overlay")));
    zil::P<zilui::CSlickOverlaySkin> holderSkin(new zilui::CSlickOverlaySkin());
    holderSkin->setBorderType(zilui::CSlickOverlaySkin::BorderFlat);
    holderSkin->setBorderColor(wxColour(43, 46, 51));
    holderSkin->setClientMargins(zil::CMargins(12, 12, 12, 12));
    holderSkin->getStateSkin(zilui::CSlickNonOverlay::Normal).setBackgroundColor(wxColour(230, 236, 242));
    auto* inner = new wxBoxSizer(wxVERTICAL);
    inner->Add(new wxStaticText(holder, wxID_ANY, toWX(ZILUI_TR("Controls inside a skinned panel:"))), 0,
               wxBOTTOM, 6);
    inner->Add(new zilui::CSlickCheckBox(holder, wxID_ANY, toWX(ZILUI_TR("Remember me"))), 0, wxBOTTOM, 6);
    inner->Add(new zilui::CSlickButton(holder, wxID_ANY, toWX(ZILUI_TR("Apply"))), 0);
    holder->SetSizer(inner);
    holder->setSkin(holderSkin.get());
    row->Add(holder, 1, wxEXPAND | wxALL, 8);
    sizer->Add(row, 0, wxEXPAND);

    const zil::P<zilui::CSlickButtonSkin> buttonSkin = loadButtonSkin();
    auto* menu = new zilui::CSlickPopupMenu(page, L"skins/glossy/button_normal", zil::CMargins(8, 8, 8, 8),
                                           buttonSkin.get());
    for (const zil::String& label : {ZILUI_TR("Open"), ZILUI_TR("Save"), ZILUI_TR("Save && &Close")})
        menu->addEntry(label, 0);
    menu->addSpacer(8);
    menu->addEntry(ZILUI_TR("Quit menu"), 0)->Bind(wxEVT_BUTTON, [menu](wxCommandEvent&) {
        menu->hide(zilui::CSlickPopupMenu::AnimNone);
    });
    menu->Fit();

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    const struct {
        zil::String label;
        zilui::CSlickPopupMenu::Anim anim;
    } slides[] = {
        {ZILUI_TR("Menu from the left"), zilui::CSlickPopupMenu::AnimLeftToRight},
        {ZILUI_TR("Menu from the right"), zilui::CSlickPopupMenu::AnimRightToLeft},
        {ZILUI_TR("Menu from the top"), zilui::CSlickPopupMenu::AnimTopToBottom},
        {ZILUI_TR("Menu from the bottom"), zilui::CSlickPopupMenu::AnimBottomToTop},
    };
    for (const auto& slide : slides) {
        auto* opener = new zilui::CSlickButton(page, wxID_ANY, toWX(slide.label));
        opener->setSkin(buttonSkin.get());
        const zilui::CSlickPopupMenu::Anim anim = slide.anim;
        opener->Bind(wxEVT_BUTTON, [menu, opener, anim](wxCommandEvent&) {
            menu->hide(zilui::CSlickPopupMenu::AnimNone);
            menu->Move(opener->ClientToScreen(wxPoint(0, opener->GetSize().y)));
            menu->show(anim);
            menu->activateAutoHide(anim, {opener}, {});
        });
        buttons->Add(opener, 0, wxALL, 8);
        // Without the slide and the pointer watch, so that the menu stays open for a picture
        // wherever the pointer is.
        if (openMenu && !*openMenu)
            *openMenu = [menu, opener] {
                menu->Move(opener->ClientToScreen(wxPoint(0, opener->GetSize().y)));
                menu->show(zilui::CSlickPopupMenu::AnimNone);
            };
    }
    sizer->Add(buttons, 0);
    page->SetSizer(sizer);
    return page;
}

} // namespace gallery
