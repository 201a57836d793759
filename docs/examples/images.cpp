// SPDX-License-Identifier: MIT
// docs/images.md
#include <zilui/graphics/panels.h>
#include <zilui/graphics/resourcemanager.h>

#include <wx/dc.h>

void drawBanner(wxWindow* parent, wxDC& dc)
{
    zil::P<zilui::CResourceManager> resources = zilui::CResourceManager::get();

    // res/banner.png, or the variant that fits the screen: banner@1_5.png, banner@2.png, ...
    wxBitmap logo = resources->loadBitmapByTitle(L"banner");

    // A nine-part picture: res/frames/box.png with res/frames/box_params.ini beside it.
    zil::P<zilui::IScalingImage> box = resources->loadScalingImageByTitle(L"frames/box");
    if (box) {
        zil::P<zilui::IImage> version = box->getScaledVersion(wxSize(300, 120));
        version->paint(dc, wxPoint(0, 0));
    }

    auto* panel = new zilui::CScalingImagePanel(parent, wxID_ANY);
    panel->setImage(box.get()); // fills the panel at any size
    dc.DrawBitmap(logo, 10, 10);
}

// A program that keeps its pictures in another folder too.
void addPictureFolder()
{
    zilui::CResourceManager::get()->addResourceFolder("/opt/myapp/pictures"); // searched first
}
