// SPDX-License-Identifier: MIT
// One scale model at 100 % and 200 % (the same tests run again under GDK_SCALE=2): sizes in
// logical pixels stay the same, pictures carry the screen's physical pixels.
#include "slick/slicktestutil.h"
#include "zil/temp_folder.h"

#include <zilui/graphics/panels.h>
#include <zilui/graphics/resourcemanager.h>

#include <gtest/gtest.h>

using namespace zilui;
using namespace zilui::test;

namespace {

// Columns alternating black and white, one pixel each: blurred or doubled, they turn grey or
// pair up.
wxImage stripes(int width, int height)
{
    wxImage image(width, height);
    for (int x = 0; x < width; ++x)
        image.SetRGB(wxRect(x, 0, 1, height), x % 2 ? 255 : 0, x % 2 ? 255 : 0, x % 2 ? 255 : 0);
    return image;
}

} // namespace

TEST(SlickScale, LogicalSizesAndPhysicalPictures)
{
    CTestPanel holder;
    const double scale = holder.panel->GetContentScaleFactor();
    zil::test::CTempFolder folder;
    stripes(16, 40).SaveFile(wxString::FromUTF8(folder.api(zil::Path(L"scaleimg.png"))), wxBITMAP_TYPE_PNG);
    stripes(32, 80).SaveFile(wxString::FromUTF8(folder.api(zil::Path(L"scaleimg@2.png"))), wxBITMAP_TYPE_PNG);
    const CGlobalResourceFolder resources(folder.path());
    const wxBitmap bitmap = CResourceManager::get()->loadBitmapByTitle(L"scaleimg");
    ASSERT_TRUE(bitmap.IsOk());
    EXPECT_EQ(bitmap.GetWidth(), int(16 * scale));
    EXPECT_EQ(bitmap.GetLogicalWidth(), 16.0);

    zil::P<CSlickButtonSkin> skin = buttonSkin(wxColour(255, 0, 0));
    skin->setContentMargins(zil::CMargins(5, 5, 5, 5));
    skin->setImageTextSpace(4);
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "");
    button->setSkin(skin.get());
    button->setAllStateBitmaps(bitmap);
    // GTK takes the flat native style at its next frame; then the native minimum is below the skin's.
    EXPECT_TRUE(runLoopUntil([&] { return button->GetSize() == wxSize(5 + 16 + 4 + 5, 5 + 40 + 5); }, 3000))
        << button->GetSize().x << "x" << button->GetSize().y;

    // The picture lands pixel for pixel on the physical grid.
    const wxImage painted = paintToImage(*button, *wxWHITE, scale);
    ASSERT_EQ(painted.GetSize(), button->GetSize() * scale);
    const int left = int(5 * scale), top = int(20 * scale);
    for (int x = 0; x < int(16 * scale); ++x)
        EXPECT_EQ(pixelAt(painted, left + x, top), x % 2 ? *wxWHITE : *wxBLACK) << x;

    auto* panel = new CImageAndTextPanel(bitmap, L"", holder.panel);
    EXPECT_EQ(panel->GetBestSize(), wxSize(16 + panel->getImageTextSpace(), 40));
}
