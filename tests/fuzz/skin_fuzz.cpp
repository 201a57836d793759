// SPDX-License-Identifier: MIT
// Skin files: loaded as button and check box skins, then the control painted in every
// state at its best size (however large the skin makes it) and at a small and a large size.
#include "fuzzsupport.h"

#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/controls.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <algorithm>
#include <functional>

namespace {

wxFrame* g_frame;
zilui::CSlickButton* g_button;
zilui::CSlickCheckBox* g_box;

template <class Control, class Skin> void paintAll(Control& control, const zil::Path& file, const std::function<void(int)>& force)
{
    zil::P<Skin> skin(new Skin());
    if (!skin->loadResource(file, 1.0))
        return;
    control.setSkin(skin.get());
    for (const wxSize& size : {control.GetBestSize(), wxSize(3, 2), wxSize(300, 90)}) {
        control.SetSize(size);
        for (int s = 0; s < Control::StateCount; ++s) {
            force(s);
            // What a screen shows of it: the control lays out and paints at its own size.
            wxBitmap bitmap(std::clamp(size.x, 1, 2000), std::clamp(size.y, 1, 2000), 24);
            wxMemoryDC dc(bitmap);
            control.paintCurrent(dc);
        }
    }
}

} // namespace

ZILUI_FUZZ_TARGET(skin)
{
    if (!g_frame) {
        // Pictures the skin can name, with parameters, at two resolutions.
        for (const wchar_t* name : {L"pic.png", L"pic@2.png", L"glyph.png"})
            wxImage(6, 5).SaveFile((zilui::fuzz::folder() / name).str().toUTF8(), wxBITMAP_TYPE_PNG);
        zilui::fuzz::writeFile(L"pic_params.ini", "scaleMargins=2\nscaleFocus=margins\n");
        zilui::CResourceManager::get()->addResourceFolder(zilui::fuzz::folder());
        g_frame = new wxFrame(nullptr, wxID_ANY, "fuzz");
        g_button = new zilui::CSlickButton(g_frame, wxID_ANY, "Button");
        g_box = new zilui::CSlickCheckBox(g_frame, wxID_ANY, "Check box");
        g_button->setAllStateBitmaps(wxBitmap(wxImage(4, 4)));
    }
    const zil::Path file = zilui::fuzz::writeFile(L"skin.ini", std::string(reinterpret_cast<const char*>(data), size));
    const zil::Path relative(L"skin.ini");
    (void)file;
    paintAll<zilui::CSlickButton, zilui::CSlickButtonSkin>(*g_button, relative, [](int s) {
        g_button->Enable(s != zilui::CSlickButton::Disabled);
        g_button->setOwnHover(s == zilui::CSlickButton::Hover);
    });
    paintAll<zilui::CSlickCheckBox, zilui::CSlickCheckBoxSkin>(*g_box, relative, [](int s) {
        g_box->SetValue((s & 1) != 0);
        g_box->Enable((s & 4) == 0);
        g_box->setOwnHover((s & 2) != 0);
    });
}
