// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/app/windowhelpers.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include <memory>

using namespace zilui;

namespace {

const int kReserve = wxRESERVE_SPACE_EVEN_IF_HIDDEN;

// root{w0, w1, w2, sub{w3}, panel}; panel's own sizer: panelSizer{nested{w4}}
struct Tree {
    std::unique_ptr<wxPanel> host{new wxPanel(&test::sharedFrame())};
    wxPanel* panel = new wxPanel(host.get());
    wxBoxSizer *root = new wxBoxSizer(wxVERTICAL), *sub = new wxBoxSizer(wxVERTICAL);
    wxBoxSizer *panelSizer = new wxBoxSizer(wxVERTICAL), *nested = new wxBoxSizer(wxVERTICAL);
    wxWindow* w[5];
    Tree()
    {
        for (int i = 0; i < 5; ++i)
            w[i] = new wxWindow(i < 4 ? host.get() : panel, wxID_ANY);
        for (int i = 0; i < 3; ++i)
            root->Add(w[i], 0, wxEXPAND | wxALL, 2);
        sub->Add(w[3]);
        nested->Add(w[4]);
        panelSizer->Add(nested);
        panel->SetSizer(panelSizer);
        root->Add(sub);
        root->Add(panel);
        host->SetSizer(root);
    }
};

} // namespace

// The top-level parent is the nearest top-level window, else the outermost one; the same
// bitmap is one with shared data, or both invalid.
TEST(WindowHelpers, TopLevelParentSameBitmapAndGeometryTexts)
{
    std::unique_ptr<wxDialog> dialog(new wxDialog(&test::sharedFrame(), wxID_ANY, "d"));
    // A created child always has a parent; detaching one gives an outermost non-top-level window.
    std::unique_ptr<wxPanel> orphan(new wxPanel(&test::sharedFrame()));
    test::sharedFrame().RemoveChild(orphan.get());
    EXPECT_EQ(getTopLevelParentWindow(new wxPanel(new wxPanel(dialog.get()))), dialog.get());
    EXPECT_EQ(getTopLevelParentWindow(new wxPanel(new wxPanel(orphan.get()))), orphan.get());
    EXPECT_EQ(getTopLevelParentWindow(orphan.get()), orphan.get());
    EXPECT_EQ(getTopLevelParentWindow(nullptr), nullptr);
    const wxBitmap invalid, a(8, 8), copy(a), twin(8, 8);
    EXPECT_TRUE(isSameBitmap(invalid, wxBitmap()));
    EXPECT_FALSE(isSameBitmap(a, invalid));
    EXPECT_FALSE(isSameBitmap(invalid, a));
    EXPECT_TRUE(isSameBitmap(a, copy));
    EXPECT_FALSE(isSameBitmap(a, twin));
    EXPECT_EQ(toString(wxRect(1, 2, 3, 4)), zil::String(L"(1,2,3,4)"));
    EXPECT_EQ(toString(wxRect(-10, -2, 0, 30)), zil::String(L"(-10,-2,0,30)"));
    EXPECT_EQ(toString(wxPoint(-5, 7)), zil::String(L"(-5,7)"));
    EXPECT_EQ(toString(wxSize(-1, 12)), zil::String(L"(-1,12)"));
}

TEST(WindowHelpers, FindsItemsAndParentsThroughSubSizersAndWindowSizers)
{
    Tree t;
    int index = 7;
    EXPECT_EQ(findSizerItemForWindow(t.w[2], &index), t.root->GetItem(2));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(findSizerItemForWindow(new wxWindow(t.host.get(), wxID_ANY), &index), nullptr);
    EXPECT_EQ(index, -1);
    wxSizerItem* item = t.root->GetItem(1); // stale, must be cleared
    EXPECT_EQ(findParentSizer(t.root, t.root, &item), nullptr);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(findParentSizer(t.root, t.nested, &item), t.panelSizer);
    EXPECT_EQ(item, t.panelSizer->GetItem(t.nested));
    EXPECT_EQ(findParentSizer(t.root, t.panelSizer, &item), t.root);
    EXPECT_EQ(item, t.root->GetItem(t.panel));
    EXPECT_EQ(findItemForSizer(t.root, t.sub), t.root->GetItem(t.sub));
    EXPECT_EQ(findParentSizer(t.root, t.root->GetItem(1)), t.root);
    EXPECT_EQ(findParentSizer(t.root, t.nested->GetItem(t.w[4])), t.nested);
}

TEST(WindowHelpers, ShowRemoveAndReparentReachTheirSubtrees)
{
    Tree t;
    showAllWindowsInSizer(t.root, false);
    EXPECT_FALSE(t.w[3]->IsShown() || t.w[4]->IsShown() || t.panel->IsShown());
    showAllWindowsInSizer(t.root, true);
    for (wxWindow* window : {t.w[0], t.w[1], t.w[2], t.w[3], t.w[4], static_cast<wxWindow*>(t.panel)})
        EXPECT_TRUE(window->IsShown()) << window->GetId();

    std::unique_ptr<wxPanel> target(new wxPanel(&test::sharedFrame()));
    reparentControlsInSizer(t.root, target.get());
    EXPECT_EQ(t.w[0]->GetParent(), target.get());
    EXPECT_EQ(t.w[3]->GetParent(), target.get());
    EXPECT_EQ(t.panel->GetParent(), target.get());
    EXPECT_EQ(t.w[4]->GetParent(), t.panel);

    EXPECT_THROW(removeSizerAndHideWindows(t.root, t.panelSizer), zil::CInvalidArgError);
    EXPECT_TRUE(t.w[4]->IsShown());
    removeSizerAndHideWindows(t.root, t.nested);
    EXPECT_FALSE(t.w[4]->IsShown());
    EXPECT_EQ(t.w[4]->GetParent(), t.panel);
    EXPECT_EQ(t.w[4]->GetContainingSizer(), nullptr);
    EXPECT_EQ(t.panelSizer->GetItemCount(), 0u);
}

TEST(WindowHelpers, ReserveSpaceFlagTogglesOnlyItsBit)
{
    Tree t;
    const int others = t.root->GetItem(1)->GetFlag();
    setReserveSpaceIfHiddenFlag(t.w[1], true);
    EXPECT_EQ(t.root->GetItem(1)->GetFlag(), others | kReserve);
    setReserveSpaceIfHiddenFlagForDirectChildren(t.root, true);
    setReserveSpaceIfHiddenFlag(t.root->GetItem(2), false);
    EXPECT_EQ(t.root->GetItem(t.w[0])->GetFlag(), others | kReserve);
    EXPECT_EQ(t.root->GetItem(2)->GetFlag(), others);
    EXPECT_EQ(t.root->GetItem(t.sub)->GetFlag() & kReserve, kReserve);
    EXPECT_EQ(t.sub->GetItem(t.w[3])->GetFlag() & kReserve, 0);
}
