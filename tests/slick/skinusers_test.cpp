// SPDX-License-Identifier: MIT
// A skin shared by many controls tells them of its changes: once per batch of changes, never
// a control that is gone, and never because a control only read or painted it.
#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <wx/frame.h>

#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

using namespace zilui;
using namespace zilui::test;

namespace {

std::set<const void*> g_alive;

// Counts what its skin tells it; `onChange` runs after the base has handled the change.
class CWatchedButton : public CSlickButton {
public:
    CWatchedButton(wxWindow* parent, const wxPoint& pos, const wxSize& size)
        : CSlickButton(parent, wxID_ANY, "x", pos, size)
    {
        g_alive.insert(this);
        // The pointer crossing a button repaints it for its hover state: on Wayland the
        // compositor may put the pointer over the new frame.
        Bind(wxEVT_ENTER_WINDOW, [this](wxMouseEvent& e) { ++crossings, e.Skip(); });
        Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& e) { ++crossings, e.Skip(); });
    }
    ~CWatchedButton() override { g_alive.erase(this); }

    int changes = 0;
    int crossings = 0;
    bool toldWhileGone = false;
    std::function<void()> onChange;

protected:
    void skinChanged() override
    {
        if (!g_alive.count(this))
            toldWhileGone = true;
        ++changes;
        CSlickButton::skinChanged();
        if (onChange)
            onChange();
    }
};

// GTK's draws per widget, whoever handles them.
std::unordered_map<const void*, int> g_draws;

gboolean countDraw(GSignalInvocationHint*, guint, const GValue* values, gpointer)
{
    ++g_draws[g_value_get_object(&values[0])];
    return TRUE;
}

void watchDraws()
{
    static const gulong hook =
        g_signal_add_emission_hook(g_signal_lookup("draw", GTK_TYPE_WIDGET), 0, &countDraw, nullptr, nullptr);
    (void)hook;
}

int drawsOf(wxWindow* window)
{
    const auto found = g_draws.find(window->GetHandle());
    return found == g_draws.end() ? 0 : found->second;
}

// `count` small buttons on one skin, in rows, all inside a frame of their own on screen.
struct CButtonGrid {
    CButtonGrid(int count, CSlickButtonSkin* skin)
        : frame(new wxFrame(nullptr, wxID_ANY, "skin users", wxPoint(0, 0), wxSize(kColumns * 32 + 10, 800)))
    {
        auto* panel = new wxPanel(frame);
        for (int i = 0; i < count; ++i) {
            auto* button = new CWatchedButton(panel, wxPoint(i % kColumns * 32, i / kColumns * 28), wxSize(32, 28));
            button->setSkin(skin);
            buttons.push_back(button);
        }
        frame->Show();
    }
    ~CButtonGrid()
    {
        frame->Destroy();
        processPendingEvents();
    }
    // Above the theme's minimum of a button before the skin's flat style takes over.
    static constexpr int kColumns = 38;
    wxFrame* frame;
    std::vector<CWatchedButton*> buttons;
};

} // namespace

// Each change of a shared skin must reach every control that draws from it, one walk per batch
// of changes, and bring each on screen exactly once more.
TEST(SlickSkinUsers, ChangeAfterAThousandUsersRepaintsEachOnce)
{
    watchDraws();
    zil::P<CSlickButtonSkin> skin = buttonSkin(wxColour(200, 200, 200));
    CButtonGrid grid(1000, skin.get());
    const auto allDrawn = [&] {
        return std::all_of(grid.buttons.begin(), grid.buttons.end(), [](wxWindow* b) { return drawsOf(b) >= 1; });
    };
    ASSERT_TRUE(runLoopUntil(allDrawn));
    // On Wayland GTK paints a new frame before the compositor's first configure, which lays it
    // out and paints it all again: wait until the compositor shows it.
    if (onWayland()) {
        auto last = std::chrono::steady_clock::now() - std::chrono::milliseconds(50);
        bool shown = false;
        ASSERT_TRUE(runLoopUntil([&] {
            const auto now = std::chrono::steady_clock::now();
            if (!shown && now - last >= std::chrono::milliseconds(50)) {
                last = now;
                shown = compositorPoint(grid.frame).has_value();
            }
            return shown;
        }));
    }
    // GTK's first paint may come before what the display server sends about the new frame, and
    // such news repaints it all: an X server's map and exposure of it, or, without a window
    // manager, the focus it takes when it appears under the pointer a previous test left there.
    // A round trip brings all of it in, and the full repaint after takes it up; counting starts
    // from there.
    gdk_display_sync(gdk_display_get_default());
    processPendingEvents();
    g_draws.clear();
    grid.frame->Refresh();
    ASSERT_TRUE(runLoopUntil(allDrawn));
    processPendingEvents();
    g_draws.clear();
    for (CWatchedButton* button : grid.buttons)
        button->crossings = 0;

    skin->getStateSkin(CSlickButton::Normal).setBackgroundColor(wxColour(20, 120, 20));
    skin->setBorderType(CSlickButtonSkin::BorderFlat);
    skin->setBorderColor(*wxRED);
    for (const CWatchedButton* button : grid.buttons)
        ASSERT_EQ(button->changes, 0) << "told before the event loop ran";
    ASSERT_TRUE(runLoopUntil(allDrawn));
    processPendingEvents();
    // A button under the pointer may repaint for its hover state without a crossing event: on
    // Wayland the frame can appear under the pointer.
    wxPoint pointer;
    const bool pointerKnown = getPointerPosition(pointer);
    int told = 0, drawnOnce = 0;
    for (const CWatchedButton* button : grid.buttons) {
        told += button->changes == 1;
        const int draws = drawsOf(const_cast<CWatchedButton*>(button));
        const bool hovered = button->crossings > 0 || (pointerKnown && button->GetScreenRect().Contains(pointer));
        drawnOnce += draws == 1 || (draws > 1 && hovered);
    }
    EXPECT_EQ(told, 1000);
    EXPECT_EQ(drawnOnce, 1000);
    const wxImage shown = paintToImage(*grid.buttons[500]);
    EXPECT_TRUE(isNear(pixelAt(shown, 3, 3), wxColour(20, 120, 20)));
}

// Controls that go away between a change and its news, or while the news goes round (a
// client's handler destroying its neighbour), are not told; the others are, once.
TEST(SlickSkinUsers, ControlDestroyedWhileItsSkinChangesIsNotTouched)
{
    enum When { BeforeTheNews, ByANeighbourInTheWalk, DestroyingItsNeighbours, MovedToAnotherSkin };
    const struct {
        When when;
        const char* name;
    } cases[] = {{BeforeTheNews, "destroyed before the news"},
                 {ByANeighbourInTheWalk, "destroyed by a neighbour's handler during the walk"},
                 {DestroyingItsNeighbours, "its handler destroys the controls beside it"},
                 {MovedToAnotherSkin, "moved to another skin before the news"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CSlickButtonSkin> skin = buttonSkin();
        zil::P<CSlickButtonSkin> other = buttonSkin();
        CTestPanel holder;
        std::vector<CWatchedButton*> buttons;
        for (int i = 0; i < 6; ++i) {
            buttons.push_back(new CWatchedButton(holder.panel, wxPoint(i * 34, 0), wxSize(32, 28)));
            buttons.back()->setSkin(skin.get());
        }
        CWatchedButton* victim = buttons[2];
        skin->setContentMargins(zil::CMargins(1));
        // Whatever order the walk takes, one neighbour is told before the victim and the
        // other after it.
        switch (c.when) {
        case BeforeTheNews:
            delete victim;
            break;
        case ByANeighbourInTheWalk:
            for (CWatchedButton* neighbour : {buttons[1], buttons[3]})
                neighbour->onChange = [victim] {
                    if (g_alive.count(victim))
                        delete victim;
                };
            break;
        case DestroyingItsNeighbours:
            victim->onChange = [&buttons] {
                for (CWatchedButton* b : {buttons[1], buttons[3]})
                    if (g_alive.count(b))
                        delete b;
            };
            break;
        case MovedToAnotherSkin:
            victim->setSkin(other.get());
            break;
        }
        processPendingEvents();
        int told = 0, alive = 0;
        for (CWatchedButton* button : buttons) {
            if (!g_alive.count(button))
                continue;
            ++alive;
            EXPECT_FALSE(button->toldWhileGone);
            EXPECT_LE(button->changes, 1);
            told += button->changes;
        }
        const int moved = c.when == MovedToAnotherSkin ? 1 : 0;
        if (moved) {
            EXPECT_EQ(victim->changes, 0);
        }
        EXPECT_EQ(told, alive - moved);
        EXPECT_EQ(skin->getUsers().size(), size_t(alive - moved));
    }
}

// Reading or painting a skin is no change (a control that told itself while painting would
// repaint for ever); each way of changing it is one, told once; a copy has users of its own.
TEST(SlickSkinUsers, WhatCountsAsAChange)
{
    CTestPanel holder;
    zil::P<CSlickButtonSkin> skin = buttonSkin();
    skin->getStateSkin(CSlickButton::Normal).getTextLineStyles().push_back(CTextStyle::fromCSSString(L"color: red"));
    auto* button = new CWatchedButton(holder.panel, wxPoint(0, 0), wxSize(60, 20));
    button->setSkin(skin.get());
    processPendingEvents();
    const CSlickButtonSkin copy = *skin;
    const struct {
        const char* name;
        std::function<void()> act;
        int expected;
    } cases[] = {
        {"painting", [&] { paintToImage(*button); }, 0},
        {"best size", [&] { button->InvalidateBestSize(), button->GetBestSize(); }, 0},
        {"const reads", [&] { (void)std::as_const(*skin).getStateSkin(CSlickButton::Hover).getTextLineStyles(); }, 0},
        {"a copy of a state skin changed",
         [&] {
             CSlickStateSkin loose = skin->getStateSkin(CSlickButton::Normal);
             loose.setTextColor(*wxBLUE);
         },
         0},
        {"skin setter", [&] { skin->setImageTextSpace(9); }, 1},
        {"state skin setter", [&] { skin->getStateSkin(CSlickButton::Hover).setTextColor(*wxGREEN); }, 1},
        {"line styles handed out for change",
         [&] { skin->getStateSkin(CSlickButton::Normal).getTextLineStyles().clear(); }, 1},
        {"state skin assigned", [&] { skin->getStateSkin(CSlickButton::Disabled) = CSlickStateSkin(); }, 1},
        {"skin assigned", [&] { *skin = copy; }, 1},
        {"many changes in a row",
         [&] {
             for (int i = 0; i < 50; ++i)
                 skin->setContentMargins(zil::CMargins(i % 5));
         },
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        button->changes = 0;
        c.act();
        processPendingEvents();
        EXPECT_EQ(button->changes, c.expected);
    }
    EXPECT_EQ(copy.getUsers().size(), 0u);
}
