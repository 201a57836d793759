// SPDX-License-Identifier: MIT
// What a person sees: the pixels the X server shows for skinned controls equal what the same
// controls paint into memory bitmaps. Runs at 100 % and, again, under GDK_SCALE=2.
#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/frame.h>

#include <gtk/gtk.h>

#include <functional>
#include <regex>
#include <string>

using namespace zilui;
using namespace zilui::test;

namespace {

template <class Skin> zil::P<Skin> borderedSkin(typename Skin::Border border = Skin::BorderFlat)
{
    zil::P<Skin> skin(new Skin());
    skin->setBorderType(border);
    skin->setBorderColor(wxColour(20, 20, 120));
    skin->setBorderWidths(zil::CMargins(2, 1, 3, 1)); // used by the CSS border only
    skin->setFocusMargins(zil::CMargins(2, 2, 2, 2));
    skin->setContentMargins(zil::CMargins(6, 4, 6, 4));
    for (int s = 0; s < Skin::StateCount; ++s)
        skin->getStateSkin(typename Skin::State(s)).setBackgroundColor(wxColour(230, 230, 210));
    return skin;
}

// The outermost `depth` physical pixels of one side, from the edge inwards, in the middle of
// that side: 'B' the border's black, 'f' the skin's fill, '?' anything else.
std::string sideProfile(const wxImage& image, char side, int depth, const wxColour& fill)
{
    const int w = image.GetWidth(), h = image.GetHeight();
    std::string profile;
    for (int d = 0; d < depth; ++d) {
        const wxPoint p = side == 'l' ? wxPoint(d, h / 2)
                          : side == 'r' ? wxPoint(w - 1 - d, h / 2)
                          : side == 't' ? wxPoint(w / 2, d)
                                        : wxPoint(w / 2, h - 1 - d);
        const wxColour c = pixelAt(image, p.x, p.y);
        profile += isNear(c, *wxBLACK, 2) ? 'B' : isNear(c, fill, 2) ? 'f' : '?';
    }
    return profile;
}

} // namespace

// 1-pixel borders and focus rectangles must not come out as two grey lines, nor may the label
// move or take other glyph shapes, against the memory rendering.
TEST(SlickScreen, DrawHookShowsWhatPaintContentsPaints)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputFrame holder;
    wxWindow* parent = holder.panel;
    std::vector<std::pair<wxWindow*, std::function<wxImage()>>> cases;
    const auto add = [&](auto* control) {
        const double scale = control->GetContentScaleFactor();
        cases.emplace_back(control, [=] { return paintToImage(*control, *wxWHITE, scale); });
        return control;
    };
    const auto button = [&](CSlickButtonSkin* skin, int row) {
        auto* b = add(new CSlickButton(parent, wxID_ANY, "Save && &Close", wxPoint(10, 10 + 34 * row), wxSize(120, 30)));
        b->setSkin(skin);
        return b;
    };
    const zil::P<CSlickButtonSkin> flat = borderedSkin<CSlickButtonSkin>();
    const zil::P<CSlickButtonSkin> css = borderedSkin<CSlickButtonSkin>(CSlickButtonSkin::BorderCss);
    button(flat.get(), 0);
    button(flat.get(), 1)->setFocus(true);
    button(flat.get(), 2)->setOwnHover(true);
    button(flat.get(), 3)->Disable();
    button(css.get(), 4)->setFocus(true);
    auto* box = add(new CSlickCheckBox(parent, wxID_ANY, "Check", wxPoint(160, 10), wxSize(110, 26)));
    box->setSkin(borderedSkin<CSlickCheckBoxSkin>().get());
    box->SetValue(true);
    box->setFocus(true);
    auto* radio = add(new CSlickRadioButton(parent, wxID_ANY, "Radio", wxPoint(160, 44), wxSize(110, 26)));
    radio->setSkin(borderedSkin<CSlickRadioButtonSkin>().get());
    radio->SetValue(true);
    add(new CLinkButton(parent, wxID_ANY, "A link", wxPoint(160, 78)));
    // The other states: unchecked and hovered, unselected and disabled.
    auto* plainBox = add(new CSlickCheckBox(parent, wxID_ANY, "Check", wxPoint(280, 10), wxSize(110, 26)));
    plainBox->setSkin(borderedSkin<CSlickCheckBoxSkin>().get());
    plainBox->setOwnHover(true);
    auto* offRadio =
        add(new CSlickRadioButton(parent, wxID_ANY, "Radio", wxPoint(280, 44), wxSize(110, 26), wxRB_SINGLE));
    offRadio->setSkin(borderedSkin<CSlickRadioButtonSkin>().get());
    offRadio->Disable();
    add(new CLinkButton(parent, wxID_ANY, "A link", wxPoint(280, 78)))->Disable();

    for (const auto& [window, paint] : cases) {
        SCOPED_TRACE(window->GetClassInfo()->GetClassName());
        int different = -1;
        const bool same = screenShows(window, [&, &paint = paint](const wxImage& shot) {
            const wxImage expected = paint();
            different = shot.GetSize() == expected.GetSize() ? pixelsOff(shot, expected) : -1;
            return different == 0;
        });
        EXPECT_TRUE(same) << "at " << window->GetPosition().x << "," << window->GetPosition().y << " pixels off: "
                          << different << " (-1: sizes differ)";
    }
}

// A control wider than a picture can be (here in a panel that shows 20,000 px into it) shows
// the part on screen: background, and its label where it lies, not a wx assertion.
TEST(SlickScreen, ControlLargerThanAPictureShowsItsVisiblePart)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputFrame holder;
    const wxColour background(230, 230, 210);
    zil::P<CSlickButtonSkin> skin = buttonSkin(background);
    skin->setContentMargins(zil::CMargins(0));
    // The label's middle lies at the button's 20,000th pixel: panel x 100.
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "MMMM", wxPoint(-19900, 10), wxSize(40000, 30));
    button->setSkin(skin.get());
    button->SetSize(wxRect(-19900, 10, 40000, 30));
    const double scale = button->GetContentScaleFactor();
    const int labelX = int(100 * scale);
    const bool shown = screenShows(holder.panel, [&](const wxImage& shot) {
        const int band = int(30 * scale), top = int(10 * scale);
        const wxRect left(0, top, labelX - band, band), right(labelX + band, top, int(300 * scale) - labelX - band, band),
            label(labelX - band, top, 2 * band, band);
        return countNear(shot, left, background, 2) == left.width * left.height &&
               countNear(shot, right, background, 2) == right.width * right.height &&
               countNear(shot, label, *wxBLACK, 100) > 10;
    });
    EXPECT_TRUE(shown);
}

// The window's own picture, on any display: each skinned control in it as paintContents
// paints it, native controls included; on X11 the same as what the X server shows.
TEST(SlickScreen, WindowPictureShowsWhatTheWindowShows)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "picture", wxPoint(40, 40), wxSize(360, 200));
    auto* panel = new wxPanel(frame);
    panel->SetBackgroundColour(wxColour(250, 240, 200));
    const zil::P<CSlickButtonSkin> flat = borderedSkin<CSlickButtonSkin>();
    auto* skinned = new CSlickButton(panel, wxID_ANY, "Save && &Close", wxPoint(10, 10), wxSize(120, 30));
    skinned->setSkin(flat.get());
    auto* check = new CSlickCheckBox(panel, wxID_ANY, "Checked", wxPoint(10, 60), wxSize(120, 30));
    check->setSkin(borderedSkin<CSlickCheckBoxSkin>().get());
    check->SetValue(true);
    new wxButton(panel, wxID_ANY, "Native", wxPoint(160, 10), wxSize(100, 34));
    EXPECT_FALSE(renderWindow(*frame).IsOk()) << "a hidden window has no picture";
    frame->Show();
    runLoopUntil([&] { return gtk_widget_get_mapped(static_cast<GtkWidget*>(frame->GetHandle())); }, 5000);

    const double scale = frame->GetContentScaleFactor();
    const auto showsControls = [&](const wxImage& picture) {
        if (!picture.IsOk() || picture.GetSize() != frame->GetClientSize() * scale)
            return false;
        for (wxWindow* control : std::initializer_list<wxWindow*>{skinned, check}) {
            const wxImage painted = control == skinned ? paintToImage(*skinned, *wxWHITE, scale)
                                                       : paintToImage(*check, *wxWHITE, scale);
            const wxPoint at = control->GetPosition() * scale;
            if (pixelsOff(picture.GetSubImage(wxRect(at, painted.GetSize())), painted) != 0)
                return false;
        }
        return true;
    };
    bool shows = false;
    runLoopUntil([&] { return shows = showsControls(renderWindow(*frame)); }, 5000);
    EXPECT_TRUE(shows);
    if (isX11Display()) {
        // A loaded 200 % X server can take seconds over a new window's first picture.
        int different = -1;
        screenShows(frame, [&](const wxImage& shot) {
            different = pixelsOff(shot, renderWindow(*frame));
            return different == 0;
        }, 30000);
        EXPECT_EQ(different, 0) << "pixels of the window's picture that differ from the X server's";
    }
    // Right after a resize, before the display server has answered: no picture, rather than
    // one of the old size and a critical from GTK; then one of the new size.
    const wxSize resized(300, 160);
    frame->SetClientSize(resized);
    const wxImage between = renderWindow(*frame);
    EXPECT_TRUE(!between.IsOk() || between.GetSize() == resized * scale) << between.GetWidth();
    EXPECT_TRUE(runLoopUntil([&] {
        const wxImage picture = renderWindow(*frame);
        return picture.IsOk() && picture.GetSize() == resized * scale;
    }, 5000));
    frame->Destroy();
    processPendingEvents();
}

// Where no child covers a top-level window, its picture shows the theme's background, as the
// display does, not the black of a surface nobody drew on: a dialog's client widget draws
// only its children.
TEST(SlickScreen, WindowPictureHasTheBackgroundAroundTheChildren)
{
    const struct {
        const char* name;
        bool dialog;
    } cases[] = {{"dialog", true}, {"frame", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wxTopLevelWindow* window = nullptr;
        if (c.dialog)
            window = new wxDialog(nullptr, wxID_ANY, "picture", wxPoint(40, 40), wxSize(320, 180));
        else
            window = new wxFrame(nullptr, wxID_ANY, "picture", wxPoint(40, 40), wxSize(320, 180));
        // Two children: a frame stretches a single one over its whole client area.
        new wxButton(window, wxID_ANY, "One", wxPoint(10, 10), wxSize(90, 34));
        new wxButton(window, wxID_ANY, "Two", wxPoint(110, 10), wxSize(90, 34));
        window->Show();
        runLoopUntil([&] { return gtk_widget_get_mapped(static_cast<GtkWidget*>(window->GetHandle())); }, 5000);
        const double scale = window->GetContentScaleFactor();
        wxImage picture;
        runLoopUntil([&] {
            picture = renderWindow(*window);
            return picture.IsOk() && picture.GetSize() == window->GetClientSize() * scale;
        }, 5000);
        ASSERT_TRUE(picture.IsOk());
        // Far from both buttons.
        const wxPoint spot(window->GetClientSize().x - 10, window->GetClientSize().y - 10);
        const wxColour seen = pixelAt(picture, static_cast<int>(spot.x * scale), static_cast<int>(spot.y * scale));
        EXPECT_FALSE(isNear(seen, *wxBLACK, 24)) << seen.GetAsString(wxC2S_HTML_SYNTAX);
        if (isX11Display()) {
            wxColour shown;
            screenShows(window, wxRect(spot, wxSize(1, 1)), [&](const wxImage& shot) {
                shown = pixelAt(shot, 0, 0);
                return isNear(shown, seen, 2);
            }, 30000);
            EXPECT_TRUE(isNear(shown, seen, 2)) << shown.GetAsString(wxC2S_HTML_SYNTAX) << " on the screen, "
                                                << seen.GetAsString(wxC2S_HTML_SYNTAX) << " in the picture";
        }
        window->Destroy();
        processPendingEvents();
    }
}

// A border of one logical pixel covers the outermost `scale` physical pixels of every side, a
// 2-pixel side twice that, and the skin's fill starts right inside: on the X server, and in
// memory bitmaps of 200 % and 150 %, through the shared composed layers and without them
// (an overlay picture lies under the border). 150 % has no whole device pixels per logical
// one: each side takes one or two, but never leaves the outermost pixel to the fill.
TEST(SlickScreen, OnePixelBorderCoversTheOutermostDevicePixels)
{
    CInputFrame holder;
    const wxColour fill(200, 220, 240);
    const double screenScale = holder.panel->GetContentScaleFactor();
    const struct {
        const char* name;
        CSlickButtonSkin::Border type;
        zil::CMargins widths; // left, top, right, bottom
        bool overlay;
    } cases[] = {
        {"flat", CSlickButtonSkin::BorderFlat, zil::CMargins(1), false},
        {"css", CSlickButtonSkin::BorderCss, zil::CMargins(1), false},
        {"css sides", CSlickButtonSkin::BorderCss, zil::CMargins(1, 1, 1, 2), false},
        {"flat, no composed layers", CSlickButtonSkin::BorderFlat, zil::CMargins(1), true},
        {"css sides, no composed layers", CSlickButtonSkin::BorderCss, zil::CMargins(1, 1, 1, 2), true},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CSlickButtonSkin> skin = buttonSkin(fill);
        skin->setBorderType(c.type);
        skin->setBorderColor(*wxBLACK);
        skin->setBorderWidths(c.widths);
        if (c.overlay)
            skin->getStateSkin(CSlickButton::Normal).setOverlayImage(new CScalingImage(solidImage(4, 4, *wxRED, 0)));
        // Odd logical sizes: at 150 % the last physical pixel is only half inside.
        auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(10, 10 + 40 * row++), wxSize(81, 31));
        button->setSkin(skin.get());
        const std::pair<char, int> sides[] = {{'l', c.widths.left}, {'t', c.widths.top},
                                              {'r', c.widths.right}, {'b', c.widths.bottom}};
        // The profile of each side at a whole scale: black on width × scale pixels, then fill.
        const auto expected = [&](int width, int scale) {
            return std::string(size_t(width * scale), 'B') + std::string(2, 'f');
        };
        const auto profiles = [&](const wxImage& image, int scale) {
            std::string all;
            for (const auto& [side, width] : sides)
                all += std::string(1, side) + ":" + sideProfile(image, side, width * scale + 2, fill) + " ";
            return all;
        };
        const auto wanted = [&](int scale) {
            std::string all;
            for (const auto& [side, width] : sides)
                all += std::string(1, side) + ":" + expected(width, scale) + " ";
            return all;
        };

        const int whole = int(screenScale);
        std::string shown;
        const bool same = screenShows(button, [&](const wxImage& shot) {
            shown = profiles(shot, whole);
            return shown == wanted(whole);
        });
        EXPECT_TRUE(same) << "screen at " << screenScale << ": " << shown << "expected " << wanted(whole);

        for (const int scale : {1, 2}) {
            const wxImage painted = paintToImage(*button, *wxWHITE, scale);
            EXPECT_EQ(profiles(painted, scale), wanted(scale)) << "memory bitmap at " << scale;
        }
        const wxImage painted = paintToImage(*button, *wxWHITE, 1.5);
        ASSERT_EQ(painted.GetSize(), wxSize(122, 47));
        for (const auto& [side, width] : sides) {
            // A side of w logical pixels covers w × 1.5 physical ones, rounded either way.
            const std::string profile = sideProfile(painted, side, 2 * width + 2, fill);
            const std::regex covered("B{" + std::to_string(width) + "," + std::to_string(2 * width) + "}f+");
            EXPECT_TRUE(std::regex_match(profile, covered)) << "memory bitmap at 1.5, side " << side << ": " << profile;
        }
    }
}
