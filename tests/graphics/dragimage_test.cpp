// SPDX-License-Identifier: MIT
#include "controls/inputframe.h"
#include "app/apptestutil.h"
#include "graphics/graphicstestutil.h"
#include "support/guitest.h"
#include "zil/temp_folder.h"

#include <zilui/app/screen.h>
#include <zilui/graphics/dragimage.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/weakref.h>

#include <gtk/gtk.h>

#include <dlfcn.h>

using namespace zilui;
using namespace zilui::test;

namespace {

// A container with a child at (10, 20) and a grandchild at (5, 5) in it.
struct Nest {
    Owned<wxPanel> container{new wxPanel(&sharedFrame(), wxID_ANY, wxPoint(0, 0), wxSize(200, 150))};
    wxPanel* child = new wxPanel(container.get(), wxID_ANY, wxPoint(10, 20), wxSize(100, 80));
    wxPanel* grandchild = new wxPanel(child, wxID_ANY, wxPoint(5, 5), wxSize(50, 40));
};

zil::P<CWindowDragImage> makeDrag(const wxCursor& cursor = wxNullCursor)
{
    return zil::P<CWindowDragImage>(new CWindowDragImage(wxBitmap(wxImage(12, 9, true)), cursor));
}

// Position of `window` among its native siblings, bottom first; -1 when not found. GDK is
// looked up in the running process, since the tests do not link against it directly.
int stackingIndex(wxWindow* window)
{
    struct Node { void* data; Node* next; };
    using Getter = void* (*)(void*);
    static const auto getWindow = reinterpret_cast<Getter>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    static const auto getParent = reinterpret_cast<Getter>(dlsym(RTLD_DEFAULT, "gdk_window_get_parent"));
    static const auto children =
        reinterpret_cast<Node* (*)(void*)>(dlsym(RTLD_DEFAULT, "gdk_window_peek_children"));
    if (!getWindow || !getParent || !children)
        return -1;
    void* own = getWindow(window->GetHandle());
    int fromTop = -1, count = 0; // GDK lists children from the top down
    for (Node* node = children(getParent(own)); node; node = node->next, ++count)
        fromTop = node->data == own ? count : fromTop;
    return fromTop < 0 ? -1 : count - 1 - fromTop;
}

} // namespace

TEST(DragImage, PanelFollowsTheMouseInContainerCoordinatesAndShowsOnTop)
{
    const test::CInputLock input; // the drag grabs the pointer: no other test's clicks meanwhile
    Nest nest;
    auto drag = makeDrag();
    drag->beginDrag(wxPoint(8, 8), nest.grandchild, nest.container.get());
    ASSERT_NE(drag->getPanel(), nullptr);
    EXPECT_EQ(drag->getPanel()->GetParent(), nest.container.get());
    EXPECT_EQ(drag->getPanel()->GetSize(), wxSize(12, 9));
    EXPECT_EQ(drag->getOffset(), wxPoint(15, 25));
    EXPECT_TRUE(nest.grandchild->HasCapture());
    for (auto [mouse, expected] : {std::pair(wxPoint(0, 0), wxPoint(7, 17)), {{-20, -30}, {-13, -13}}}) {
        drag->move(mouse);
        EXPECT_EQ(drag->getPanel()->GetPosition(), expected) << mouse.x << "," << mouse.y;
    }

    drag->hide();
    EXPECT_FALSE(drag->getPanel()->IsShown());
    drag->show();
    // A sibling raised while the panel shows goes below it again on the next show.
    auto* sibling = new wxPanel(nest.container.get(), wxID_ANY, wxPoint(0, 0), wxSize(50, 50));
    sibling->Raise();
    ASSERT_GE(stackingIndex(drag->getPanel()), 0);
    ASSERT_GT(stackingIndex(sibling), stackingIndex(drag->getPanel()));
    drag->show();
    EXPECT_TRUE(drag->getPanel()->IsShown());
    EXPECT_GT(stackingIndex(drag->getPanel()), stackingIndex(sibling));

    drag->endDrag();
    EXPECT_EQ(drag->getPanel(), nullptr);
    EXPECT_FALSE(nest.grandchild->HasCapture());

    zil::P<CWindowDragImage> empty(new CWindowDragImage(wxNullBitmap, wxNullCursor));
    empty->beginDrag(wxPoint(0, 0), nest.child, nest.container.get());
    EXPECT_EQ(empty->getPanel()->GetSize(), wxSize(0, 0));
}

// Calls without a drag do nothing; a second drag, destruction and a refused drag end the one before.
TEST(DragImage, EndingADragGivesBackCursorAndCapture)
{
    const test::CInputLock input; // the drag grabs the pointer: no other test's clicks meanwhile
    Nest nest;
    const wxCursor hand(wxCURSOR_HAND), cross(wxCURSOR_CROSS);
    nest.child->SetCursor(hand);
    auto drag = makeDrag(cross);
    const size_t children = nest.container->GetChildren().size();
    drag->move(wxPoint(3, 3));
    drag->show();
    drag->hide();
    drag->endDrag();
    EXPECT_EQ(nest.container->GetChildren().size(), children);

    drag->beginDrag(wxPoint(1, 1), nest.child, nest.container.get());
    wxWeakRef<wxPanel> first = drag->getPanel();
    EXPECT_TRUE(nest.child->GetCursor().IsSameAs(cross));
    drag->beginDrag(wxPoint(1, 1), nest.grandchild, nest.container.get());
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_TRUE(nest.child->GetCursor().IsSameAs(hand));
    EXPECT_FALSE(nest.child->HasCapture());
    EXPECT_TRUE(nest.grandchild->HasCapture());

    const zil::CInvalidArgError e = zil::test::thrown<zil::CInvalidArgError>(
        [&] { drag->beginDrag(wxPoint(0, 0), nest.grandchild, nullptr); });
    EXPECT_EQ(e.getMessage(), L"A containing window cmust be specified.");
    EXPECT_EQ(e.getSource(), L"CWindowDragImage::beginDrag");
    EXPECT_EQ(drag->getPanel(), nullptr);
    EXPECT_EQ(nest.container->GetChildren().size(), children);
    EXPECT_FALSE(nest.grandchild->HasCapture());

    drag->beginDrag(wxPoint(1, 1), nest.grandchild, nest.container.get());
    wxWeakRef<wxPanel> last = drag->getPanel();
    drag.reset();
    EXPECT_EQ(last.get(), nullptr);
    EXPECT_FALSE(nest.grandchild->HasCapture());
    EXPECT_FALSE(nest.grandchild->GetCursor().IsOk()); // it had no cursor of its own
}

// Where no program may draw over the screen (Wayland), the picture is a popup that the
// compositor places over the dragging window and that follows the pointer: it shows in the
// window's picture where the hotspot puts it, and is gone with the drag.
TEST(DragImage, ToolkitImageFollowsThePointerWhereTheScreenCannotBeDrawnOn)
{
    if (isX11Display())
        GTEST_SKIP() << "X11 keeps the toolkit's drag image, drawn over the screen";
    auto* frame = new wxFrame(nullptr, wxID_ANY, "drag", wxPoint(40, 40), wxSize(300, 200));
    auto* panel = new wxPanel(frame, wxID_ANY, wxPoint(20, 10), wxSize(240, 160));
    panel->SetBackgroundColour(*wxWHITE);
    const auto mapped = [](wxWindow* w) { return gtk_widget_get_mapped(static_cast<GtkWidget*>(w->GetHandle())); };
    const wxColour blue(0, 0, 200);
    wxImage picture(20, 10);
    picture.SetRGB(wxRect(0, 0, 20, 10), blue.Red(), blue.Green(), blue.Blue());
    zil::P<CWXDragImage> drag(new CWXDragImage(wxBitmap(picture), wxNullCursor));

    // Before the window is on the display there is nowhere to show it.
    drag->beginDrag(wxPoint(5, 5), panel, panel);
    drag->show();
    ASSERT_NE(drag->getPopup(), nullptr);
    EXPECT_FALSE(drag->getPopup()->IsShown());
    drag->endDrag();

    frame->Show();
    runLoopUntil([&] { return mapped(frame); }, 5000);
    drag->beginDrag(wxPoint(5, 5), panel, panel);
    wxWeakRef<wxWindow> popup(drag->getPopup());
    for (const wxPoint& point : {wxPoint(40, 30), wxPoint(200, 140)}) {
        SCOPED_TRACE(point.x);
        drag->move(point);
        drag->show();
        EXPECT_TRUE(runLoopUntil([&] { return mapped(popup); }, 5000));
        EXPECT_EQ(popup->GetScreenRect(), wxRect(panel->ClientToScreen(point - wxPoint(5, 5)), wxSize(20, 10)));
        // The picture's corner sits at point - hotspot in the panel, in the frame's picture.
        const wxPoint corner = panel->GetPosition() + point - wxPoint(5, 5);
        bool shown = false;
        runLoopUntil([&] {
            const wxImage shot = renderWindow(*frame);
            const double s = frame->GetContentScaleFactor();
            shown = shot.IsOk() && pixelAt(shot, wxRound((corner.x + 1) * s), wxRound((corner.y + 1) * s)) == blue &&
                    pixelAt(shot, wxRound((corner.x + 18) * s), wxRound((corner.y + 8) * s)) == blue &&
                    pixelAt(shot, wxRound((corner.x - 2) * s), wxRound((corner.y - 2) * s)) != blue;
            return shown;
        }, 5000);
        EXPECT_TRUE(shown);
    }
    drag->hide();
    EXPECT_FALSE(popup->IsShown());
    drag->endDrag();
    EXPECT_EQ(drag->getPopup(), nullptr);
    EXPECT_FALSE(panel->HasCapture());
    EXPECT_TRUE(runLoopUntil([&] { return !popup; }, 5000));
    frame->Destroy();
    processPendingEvents();
}
