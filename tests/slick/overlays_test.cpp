// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"
#include "zil/temp_folder.h"

#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/overlays.h>
#include <zilui/slick/popupmenu.h>

#include <gtest/gtest.h>

#include <wx/weakref.h>

#include <gtk/gtk.h>

#include <functional>

using namespace zilui;
using namespace zilui::test;

namespace {

struct CCountingAction : CAction {
    void performAction() override
    {
        ++count;
        if (reaction)
            reaction();
    }
    int count = 0;
    std::function<void()> reaction;
};

} // namespace

TEST(SlickOverlay, FollowsItsOwnerAndGoesWithIt)
{
    auto* owner = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(40, 60), wxSize(300, 200));
    auto* inner = new wxPanel(owner);
    owner->Show();
    runLoopUntil([&] { return owner->IsShownOnScreen(); }, 5000);
    wxWeakRef<CSlickOverlay> overlay(new CSlickOverlay(inner, wxID_ANY, "over", true));
    ASSERT_EQ(overlay->GetParent(), owner);
    EXPECT_EQ(overlay->GetScreenRect(), wxRect(owner->ClientToScreen(wxPoint(0, 0)), owner->GetClientSize()));
    auto* window = GTK_WINDOW(overlay->GetHandle());
    EXPECT_TRUE(gtk_window_get_skip_taskbar_hint(window));
    EXPECT_FALSE(gtk_window_get_decorated(window));

    owner->SetSize(wxRect(120, 90, 260, 150));
    EXPECT_TRUE(runLoopUntil(
        [&] { return overlay->GetScreenRect() == wxRect(owner->ClientToScreen(wxPoint(0, 0)), owner->GetClientSize()); },
        5000));
    owner->Hide();
    EXPECT_TRUE(runLoopUntil([&] { return !overlay->IsShown(); }, 5000));
    owner->Show();
    EXPECT_TRUE(runLoopUntil([&] { return overlay->IsShown(); }, 5000));

    // The owner takes the overlay along; its events no longer reach a dead overlay.
    owner->Destroy();
    EXPECT_TRUE(runLoopUntil([&] { return !overlay; }, 5000));
}

TEST(SlickOverlay, NonOverlayLaysOutItsChildrenInsideTheClientMargins)
{
    CTestPanel holder;
    auto* panel = new CSlickNonOverlay(holder.panel, wxID_ANY, "label", wxPoint(0, 0), wxSize(200, 100));
    auto* child = new wxPanel(panel);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(child, 1, wxEXPAND);
    panel->SetSizer(sizer);
    zil::P<CSlickOverlaySkin> skin(new CSlickOverlaySkin());
    skin->setClientMargins(zil::CMargins(10, 5, 20, 15));
    panel->setSkin(skin.get());
    panel->Layout();
    EXPECT_EQ(child->GetRect(), wxRect(10, 5, 170, 80));
}

TEST(SlickPopupMenu, ShowsHidesSlidesAndNotifies)
{
    CInputFrame holder;
    zil::test::CTempFolder folder;
    wxImage(8, 8).SaveFile(wxString::FromUTF8(folder.api(zil::Path(L"menubg.png"))), wxBITMAP_TYPE_PNG);
    folder.writeFile(zil::Path(L"damaged.png"), "not a png");
    const CGlobalResourceFolder resources(folder.path());
    // One background image: menubg2 does not exist; a missing or damaged one gives none.
    const std::pair<const wchar_t*, size_t> backgrounds[] = {{L"menubg", 1}, {L"missing", 0}, {L"damaged", 0}};
    for (const auto& [title, count] : backgrounds) {
        CGlobalLogCapture log;
        EXPECT_EQ(CSlickPopupMenu(holder.frame, title, {}, nullptr).getContentParent()->getOverlays().size(), count);
        EXPECT_EQ(log.text().find("damaged") != std::string::npos, title == std::wstring(L"damaged")) << log.text();
    }

    auto* menu = new CSlickPopupMenu(holder.frame, L"missing", zil::CMargins(4, 4, 4, 4), buttonSkin().get());
    CSlickButton* entry = menu->addEntry(L"Open", 0);
    zil::P<CCountingAction> action(new CCountingAction());
    menu->setHideNotificationAction(action.get());
    int clicks = 0;
    entry->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
    const wxRect final(holder.frame->GetScreenPosition() + wxPoint(20, 20), wxSize(120, 80));
    menu->SetSize(final);
    menu->hide(CSlickPopupMenu::AnimNone); // not shown: no notification
    EXPECT_EQ(action->count, 0);

    for (int anim : {0, 5, -1}) {
        menu->show(CSlickPopupMenu::Anim(anim));
        EXPECT_TRUE(menu->IsShown() && !menu->isAnimating() && entry->IsEnabled()) << anim;
        menu->hide(CSlickPopupMenu::Anim(anim));
        EXPECT_TRUE(!menu->IsShown() && !menu->isAnimating() && !entry->IsEnabled()) << anim;
    }
    EXPECT_EQ(action->count, 3);
    for (int anim = 1; anim <= 4; ++anim) {
        SCOPED_TRACE(anim);
        // The notification action itself shows or hides the menu again.
        action->count = 0;
        action->reaction = [&, anim] {
            anim % 2 ? menu->hide(CSlickPopupMenu::Anim(anim)) : menu->show(CSlickPopupMenu::Anim(anim));
        };
        menu->show(CSlickPopupMenu::Anim(anim));
        EXPECT_TRUE(menu->isAnimating());
        EXPECT_TRUE(runLoopUntil([&] { return !menu->isAnimating(); }, 2000));
        EXPECT_EQ(menu->GetRect(), final);
        EXPECT_EQ(menu->getContentParent()->GetRect(), wxRect(final.GetSize()));
        // Interrupted slides end where they would have, whatever comes next.
        menu->hide(CSlickPopupMenu::Anim(anim));
        menu->show(CSlickPopupMenu::Anim(anim));
        menu->hide(CSlickPopupMenu::Anim(anim));
        EXPECT_TRUE(runLoopUntil([&] { return !menu->isAnimating(); }, 2000));
        EXPECT_FALSE(menu->IsShown());
        EXPECT_EQ(menu->GetRect(), final);
        EXPECT_EQ(action->count, 2);
    }
    action->reaction = nullptr;
    // A slide in ends at once, and the menu takes the window's corner with its own size.
    menu->show(CSlickPopupMenu::AnimBottomToTop);
    menu->changeZorder(holder.panel);
    EXPECT_TRUE(menu->IsShown() && !menu->isAnimating());
    EXPECT_EQ(menu->GetRect(), wxRect(holder.panel->GetScreenPosition(), final.GetSize()));
    menu->hide(CSlickPopupMenu::AnimNone);
    menu->SetSize(final);

    // A click on a shown entry is a button event; leaving the menu hides it.
    menu->show(CSlickPopupMenu::AnimNone);
    moveMouseTo(entry, wxPoint(10, 5));
    runLoopUntil([&] { return entry->getSharedHover(); }, 3000);
    wxUIActionSimulator().MouseClick();
    EXPECT_TRUE(runLoopUntil([&] { return clicks == 1; }, 3000));
    // The auto-hide checks (timer events), seen before the menu handles them: how many found
    // the pointer outside the menu.
    int checks = 0, checksOutside = 0;
    menu->Bind(wxEVT_TIMER, [&](wxTimerEvent& event) {
        ++checks;
        checksOutside += menu->GetScreenRect().Contains(wxGetMousePosition()) ? 0 : 1;
        event.Skip();
    });
    const auto stillShownAfterThreeChecks = [&] {
        checks = 0;
        runLoopUntil([&] { return checks >= 3 || !menu->IsShown(); });
        return menu->IsShown();
    };
    menu->activateAutoHide(CSlickPopupMenu::AnimNone, {}, {});
    EXPECT_TRUE(stillShownAfterThreeChecks());
    // Left, the first check that finds the pointer outside hides it.
    menu->hide(CSlickPopupMenu::AnimNone);
    menu->show(CSlickPopupMenu::AnimNone);
    menu->activateAutoHide(CSlickPopupMenu::AnimNone, {}, {});
    checksOutside = 0;
    moveMouseTo(holder.panel, wxPoint(390, 290));
    EXPECT_TRUE(runLoopUntil([&] { return !menu->IsShown(); }));
    EXPECT_EQ(checksOutside, 1);
    EXPECT_FALSE(menu->isAutoHideActive());
    // A safe rectangle under the pointer keeps it open.
    menu->show(CSlickPopupMenu::AnimNone);
    menu->activateAutoHide(CSlickPopupMenu::AnimNone, {}, {holder.panel->GetScreenRect()});
    EXPECT_TRUE(stillShownAfterThreeChecks());
    menu->Destroy();
}
