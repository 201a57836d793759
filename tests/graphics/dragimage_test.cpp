// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/graphics/dragimage.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/panel.h>

#include <dlfcn.h>

#include <memory>

using namespace zilui;

namespace {

struct WindowCloser {
    void operator()(wxWindow* window) const { window->Destroy(); }
};

// A container with a child at (10, 20) and a grandchild at (5, 5) in it.
struct Nest {
    std::unique_ptr<wxPanel, WindowCloser> container{
        new wxPanel(&test::sharedFrame(), wxID_ANY, wxPoint(0, 0), wxSize(200, 150))};
    wxPanel* child = new wxPanel(container.get(), wxID_ANY, wxPoint(10, 20), wxSize(100, 80));
    wxPanel* grandchild = new wxPanel(child, wxID_ANY, wxPoint(5, 5), wxSize(50, 40));
};

wxBitmap picture()
{
    return wxBitmap(wxImage(12, 9, true));
}

// GDK is looked up in the running process, since the tests do not link against it directly.
template <class F>
F gdkFunction(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

struct GListNode {
    void* data;
    GListNode* next;
    GListNode* prev;
};

// Position of `window` among its native siblings, bottom first; -1 when not found.
int stackingIndex(wxWindow* window)
{
    static const auto getWindow = gdkFunction<void* (*)(void*)>("gtk_widget_get_window");
    static const auto getParent = gdkFunction<void* (*)(void*)>("gdk_window_get_parent");
    static const auto peekChildren = gdkFunction<GListNode* (*)(void*)>("gdk_window_peek_children");
    if (!getWindow || !getParent || !peekChildren)
        return -1;
    void* own = getWindow(window->GetHandle());
    // GDK lists children from the top down.
    int fromTop = -1, count = 0;
    for (GListNode* node = peekChildren(getParent(own)); node; node = node->next, ++count)
        if (node->data == own)
            fromTop = count;
    return fromTop < 0 ? -1 : count - 1 - fromTop;
}

} // namespace

TEST(DragImage, PanelFollowsTheMouseInContainerCoordinates)
{
    Nest nest;
    zil::P<CWindowDragImage> drag(new CWindowDragImage(picture(), wxNullCursor));
    drag->beginDrag(wxPoint(8, 8), nest.grandchild, nest.container.get());
    ASSERT_NE(drag->getPanel(), nullptr);
    EXPECT_EQ(drag->getPanel()->GetParent(), nest.container.get());
    EXPECT_EQ(drag->getPanel()->GetSize(), wxSize(12, 9));
    EXPECT_EQ(drag->getOffset(), wxPoint(15, 25));
    EXPECT_TRUE(nest.grandchild->HasCapture());

    struct Case { wxPoint mouse; wxPoint expected; };
    const Case cases[] = {{{0, 0}, {7, 17}}, {{30, 2}, {37, 19}}, {{-20, -30}, {-13, -13}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mouse.x << "," << c.mouse.y);
        drag->move(c.mouse);
        EXPECT_EQ(drag->getPanel()->GetPosition(), c.expected);
    }

    drag->hide();
    EXPECT_FALSE(drag->getPanel()->IsShown());
    drag->show();
    // show puts the panel back on top even of a sibling raised while it was showing.
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

    // Without a picture the panel has no area.
    zil::P<CWindowDragImage> empty(new CWindowDragImage(wxNullBitmap, wxNullCursor));
    empty->beginDrag(wxPoint(0, 0), nest.child, nest.container.get());
    EXPECT_EQ(empty->getPanel()->GetSize(), wxSize(0, 0));
    EXPECT_EQ(empty->getOffset(), wxPoint(10, 20));
}

TEST(DragImage, NewDragEndsTheRunningOneAndRestoresItsCursor)
{
    Nest nest;
    const wxCursor hand(wxCURSOR_HAND), cross(wxCURSOR_CROSS);
    nest.child->SetCursor(hand);
    zil::P<CWindowDragImage> drag(new CWindowDragImage(picture(), cross));
    drag->beginDrag(wxPoint(1, 1), nest.child, nest.container.get());
    wxWeakRef<wxPanel> first = drag->getPanel();
    EXPECT_TRUE(nest.child->GetCursor().IsSameAs(cross));

    drag->beginDrag(wxPoint(1, 1), nest.grandchild, nest.container.get());
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_NE(drag->getPanel(), nullptr);
    EXPECT_TRUE(nest.child->GetCursor().IsSameAs(hand));
    EXPECT_FALSE(nest.child->HasCapture());
    EXPECT_TRUE(nest.grandchild->HasCapture());
    EXPECT_TRUE(nest.grandchild->GetCursor().IsSameAs(cross));

    // A window that had no cursor of its own goes back to none.
    drag->endDrag();
    EXPECT_FALSE(nest.grandchild->GetCursor().IsOk());
}

TEST(DragImage, DestroyingDuringADragReleasesTheMouse)
{
    Nest nest;
    zil::P<CWindowDragImage> drag(new CWindowDragImage(picture(), wxCursor(wxCURSOR_CROSS)));
    drag->beginDrag(wxPoint(0, 0), nest.grandchild, nest.container.get());
    wxWeakRef<wxPanel> panel = drag->getPanel();
    ASSERT_TRUE(nest.grandchild->HasCapture());
    drag.reset();
    EXPECT_FALSE(nest.grandchild->HasCapture());
    EXPECT_EQ(panel.get(), nullptr);
    EXPECT_FALSE(nest.grandchild->GetCursor().IsOk());
}

TEST(DragImage, NullContainerIsRefusedAfterEndingThePreviousDrag)
{
    Nest nest;
    zil::P<CWindowDragImage> drag(new CWindowDragImage(picture(), wxNullCursor));
    const size_t children = nest.container->GetChildren().size();

    // Nothing running: these do nothing and create nothing.
    drag->move(wxPoint(3, 3));
    drag->show();
    drag->hide();
    drag->endDrag();
    EXPECT_EQ(nest.container->GetChildren().size(), children);

    drag->beginDrag(wxPoint(0, 0), nest.grandchild, nest.container.get());
    EXPECT_EQ(nest.container->GetChildren().size(), children + 1);
    try {
        drag->beginDrag(wxPoint(0, 0), nest.grandchild, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const zil::CInvalidArgError& e) {
        EXPECT_EQ(e.getMessage(), L"A containing window cmust be specified.");
        EXPECT_EQ(e.getSource(), L"CWindowDragImage::beginDrag");
    }
    EXPECT_EQ(drag->getPanel(), nullptr);
    EXPECT_EQ(nest.container->GetChildren().size(), children);
    EXPECT_FALSE(nest.grandchild->HasCapture());
    drag->move(wxPoint(3, 3));
    drag->show();
    EXPECT_EQ(nest.container->GetChildren().size(), children);
}
