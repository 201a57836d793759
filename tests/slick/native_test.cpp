// SPDX-License-Identifier: MIT
// The native widgets under the skins: their minimum sizes, and what they tell assistive
// technology. GTK warnings fail any test through the test main's log handler.
#include "slick/slicktestutil.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <wx/sizer.h>

#include <gtk/gtk.h>

using namespace zilui;
using namespace zilui::test;

namespace {

GtkWidget* widgetOf(wxWindow* window)
{
    return static_cast<GtkWidget*>(window->GetHandle());
}

// The widget's own minimum, without the size request wxWidgets sets.
wxSize nativeMinimum(wxWindow* window)
{
    int width = 0, height = 0, natural = 0;
    GTK_WIDGET_GET_CLASS(widgetOf(window))->get_preferred_width(widgetOf(window), &width, &natural);
    GTK_WIDGET_GET_CLASS(widgetOf(window))->get_preferred_height(widgetOf(window), &height, &natural);
    return wxSize(width, height);
}

} // namespace

// Tight skins (no margins) at their best size in a sizer, then a wide skin set afterwards.
TEST(SlickNative, BestSizeCoversTheNativeMinimumAndFollowsTheSkin)
{
    CTestPanel holder;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    holder.panel->SetSizer(sizer);
    zil::P<CSlickRadioButtonSkin> tight(new CSlickRadioButtonSkin());
    tight->setBorderType(CSlickRadioButtonSkin::BorderNone);
    tight->setContentMargins(zil::CMargins(0, 0, 0, 0));
    tight->setImageTextSpace(0);
    auto* radio = new CSlickRadioButton(holder.panel, wxID_ANY, "R", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    radio->setSkin(tight.get());
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "");
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "B");
    auto* link = new CLinkButton(holder.panel, wxID_ANY, "link");
    wxWindow* const windows[] = {radio, box, button, link};
    for (wxWindow* w : windows)
        sizer->Add(w, 0, wxALL, 2);
    holder.panel->Layout();
    for (wxWindow* w : windows) {
        SCOPED_TRACE(w->GetClassInfo()->GetClassName());
        // Once GTK has restyled the widgets.
        EXPECT_TRUE(runLoopUntil([&] {
            const wxSize best = w->GetBestSize(), minimum = nativeMinimum(w);
            return best.x >= minimum.x && best.y >= minimum.y && w->GetSize() == best;
        }, 3000));
    }

    zil::P<CSlickButtonSkin> wide(new CSlickButtonSkin());
    wide->setContentMargins(zil::CMargins(30, 12, 30, 12));
    const wxSize before = button->GetSize();
    button->setSkin(wide.get()); // in the sizer
    EXPECT_EQ(button->GetSize(), button->GetBestSize());
    EXPECT_GT(button->GetSize().x, before.x);
    auto* loose = new CSlickButton(holder.panel, wxID_ANY, "Loose"); // at its best size, no sizer
    loose->setSkin(wide.get());
    EXPECT_EQ(loose->GetSize(), loose->GetBestSize());
    auto* fixed = new CSlickButton(holder.panel, wxID_ANY, "Fixed", wxDefaultPosition, wxSize(50, 20));
    fixed->setSkin(wide.get());
    EXPECT_EQ(fixed->GetSize(), wxSize(50, 20)); // a size of the caller's own stays
}

TEST(SlickNative, AccessibleNameRoleAndStates)
{
    CTestPanel holder;
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "&Check me");
    auto* radio = new CSlickRadioButton(holder.panel, wxID_ANY, "&Radio", wxDefaultPosition, wxDefaultSize,
                                        wxRB_GROUP);
    auto* link = new CLinkButton(holder.panel, wxID_ANY, "A &link");
    box->SetValue(true);
    radio->SetValue(true);
    link->Disable();
    const struct {
        wxWindow* window;
        const char* name;
        AtkRole role;
        bool checked, enabled;
    } cases[] = {
        {new CSlickButton(holder.panel, wxID_ANY, "Save && &Close"), "Save & Close", ATK_ROLE_PUSH_BUTTON, false, true},
        {box, "Check me", ATK_ROLE_CHECK_BOX, true, true},
        {radio, "Radio", ATK_ROLE_RADIO_BUTTON, true, true},
        {link, "A link", ATK_ROLE_LINK, false, false},
    };
    const auto hasState = [](wxWindow* window, AtkStateType type) {
        AtkStateSet* states = atk_object_ref_state_set(gtk_widget_get_accessible(widgetOf(window)));
        const bool result = atk_state_set_contains_state(states, type);
        g_object_unref(states);
        return result;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AtkObject* accessible = gtk_widget_get_accessible(widgetOf(c.window));
        EXPECT_STREQ(atk_object_get_name(accessible), c.name);
        EXPECT_EQ(atk_object_get_role(accessible), c.role);
        EXPECT_EQ(hasState(c.window, ATK_STATE_CHECKED), c.checked);
        EXPECT_EQ(hasState(c.window, ATK_STATE_ENABLED), c.enabled);
    }
    // A later label and value are what is read out.
    box->SetLabel("&Other");
    box->SetValue(false);
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(widgetOf(box))), "Other");
    EXPECT_FALSE(hasState(box, ATK_STATE_CHECKED));
}

// The test main turns what GTK logs into failures of the running test, also GTK's own
// structured messages.
TEST(SlickNative, ToolkitWarningsFailTheTest)
{
    EXPECT_NONFATAL_FAILURE(g_log("Gtk", G_LOG_LEVEL_CRITICAL, "assertion 'size >= 0' failed"),
                            "Gtk printed: assertion 'size >= 0' failed");
    EXPECT_NONFATAL_FAILURE(g_log_structured("Gtk", G_LOG_LEVEL_WARNING, "MESSAGE", "Negative content width"),
                            "Gtk printed: Negative content width");
}
