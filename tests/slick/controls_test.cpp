// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/slick/controls.h>

#include <gtest/gtest.h>

#include <wx/dcclient.h>
#include <wx/dcscreen.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include <memory>

using namespace zilui;
using zilui::test::countNear;
using zilui::test::pixelAt;

namespace {

zil::P<CSlickButtonSkin> colouredButtonSkin(const wxColour& normal, const wxColour& hover, const wxColour& disabled)
{
    zil::P<CSlickButtonSkin> skin(new CSlickButtonSkin());
    skin->setBorderType(CSlickButtonSkin::BorderNone);
    skin->getStateSkin(CSlickButton::Normal).setBackgroundColor(normal);
    skin->getStateSkin(CSlickButton::Hover).setBackgroundColor(hover);
    skin->getStateSkin(CSlickButton::Disabled).setBackgroundColor(disabled);
    return skin;
}

// The screen's pixels under `window`, as the user sees them.
wxImage grabScreen(wxWindow* window)
{
    const wxRect rect = window->GetScreenRect();
    wxBitmap bitmap(rect.width, rect.height, 24);
    wxMemoryDC memory(bitmap);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

// Grabs the screen under `window` until `check` accepts it. Grabs are spaced out: the timer
// of runLoopUntil outranks GTK's redraw, which a busy timer would starve.
bool screenShows(wxWindow* window, const std::function<bool(const wxImage&)>& check)
{
    auto last = std::chrono::steady_clock::now();
    bool shown = false;
    return test::runLoopUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (!shown && now - last >= std::chrono::milliseconds(50)) {
            last = now;
            shown = check(grabScreen(window));
        }
        return shown;
    }, 5000);
}

} // namespace

TEST(SlickControls, DrawHookPaintsTheNativeButton)
{
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(10, 10), wxSize(80, 30));
    button->setSkin(colouredButtonSkin(wxColour(200, 0, 0), wxColour(0, 200, 0), wxColour(0, 0, 200)).get());
    button->Refresh();
    EXPECT_TRUE(screenShows(button, [](const wxImage& shot) {
        return countNear(shot, wxRect(5, 5, 70, 20), wxColour(200, 0, 0)) == 70 * 20;
    }));
}

TEST(SlickControls, ClickSendsButtonEvent)
{
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Press", wxPoint(10, 10), wxSize(80, 30));
    int clicks = 0;
    button->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
    test::processPendingEvents();
    wxUIActionSimulator sim;
    sim.MouseMove(button->GetScreenRect().GetPosition() + wxPoint(40, 15));
    test::runLoopUntil([&] { return button->getSharedHover(); }, 3000);
    EXPECT_TRUE(button->getSharedHover());
    sim.MouseClick();
    EXPECT_TRUE(test::runLoopUntil([&] { return clicks == 1; }, 5000));
}
