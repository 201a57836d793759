// SPDX-License-Identifier: MIT
// The native widgets under the skins: their minimum sizes, and what they tell assistive
// technology. GTK warnings fail any test through the test main's log handler.
#include "slick/slicktestutil.h"

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

wxSize nativeMinimum(wxWindow* window)
{
    int width = 0, height = 0, natural = 0;
    GTK_WIDGET_GET_CLASS(widgetOf(window))->get_preferred_width(widgetOf(window), &width, &natural);
    GTK_WIDGET_GET_CLASS(widgetOf(window))->get_preferred_height(widgetOf(window), &height, &natural);
    return wxSize(width, height);
}

// Small skins: no margins, so that the skin's best size is as small as the label allows.
template <class Skin> zil::P<Skin> tightSkin()
{
    zil::P<Skin> skin(new Skin());
    skin->setBorderType(Skin::BorderNone);
    skin->setContentMargins(zil::CMargins(0, 0, 0, 0));
    skin->setImageTextSpace(0);
    return skin;
}

} // namespace

TEST(SlickNative, BestSizeCoversTheNativeMinimumInSizers)
{
    CTestPanel holder;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    holder.panel->SetSizer(sizer);
    auto* radio = new CSlickRadioButton(holder.panel, wxID_ANY, "R", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    radio->setSkin(tightSkin<CSlickRadioButtonSkin>().get());
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "");
    box->setSkin(tightSkin<CSlickCheckBoxSkin>().get());
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "B");
    button->setSkin(tightSkin<CSlickButtonSkin>().get());
    auto* link = new CLinkButton(holder.panel, wxID_ANY, "link");
    wxWindow* const windows[] = {radio, box, button, link};
    for (wxWindow* w : windows)
        sizer->Add(w, 0, wxALL, 2);
    holder.panel->Layout();
    processPendingEvents();
    for (wxWindow* w : windows) {
        SCOPED_TRACE(w->GetClassInfo()->GetClassName());
        const wxSize best = w->GetBestSize(), minimum = nativeMinimum(w);
        EXPECT_GE(best.x, minimum.x);
        EXPECT_GE(best.y, minimum.y);
        EXPECT_EQ(w->GetSize(), best);
    }
}

// A skin set after creation resizes a control that had its best size, and relays out a sizer.
TEST(SlickNative, SetSkinAfterCreationUpdatesTheSize)
{
    CTestPanel holder;
    zil::P<CSlickButtonSkin> wide(new CSlickButtonSkin());
    wide->setContentMargins(zil::CMargins(30, 12, 30, 12));
    auto* loose = new CSlickButton(holder.panel, wxID_ANY, "Loose");
    const wxSize before = loose->GetSize();
    loose->setSkin(wide.get());
    EXPECT_EQ(loose->GetSize(), loose->GetBestSize());
    EXPECT_GT(loose->GetSize().x, before.x);

    auto* fixed = new CSlickButton(holder.panel, wxID_ANY, "Fixed", wxDefaultPosition, wxSize(50, 20));
    fixed->setSkin(wide.get());
    EXPECT_EQ(fixed->GetSize(), wxSize(50, 20)); // a size of the caller's own stays

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    holder.panel->SetSizer(sizer);
    auto* inSizer = new CSlickButton(holder.panel, wxID_ANY, "In sizer");
    sizer->Add(inSizer);
    holder.panel->Layout();
    inSizer->setSkin(wide.get());
    EXPECT_EQ(inSizer->GetSize(), inSizer->GetBestSize());
    processPendingEvents();
}

TEST(SlickNative, AccessibleNameRoleAndStates)
{
    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Save && &Close");
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
        bool checked;
        bool enabled;
    } cases[] = {
        {button, "Save & Close", ATK_ROLE_PUSH_BUTTON, false, true},
        {box, "Check me", ATK_ROLE_CHECK_BOX, true, true},
        {radio, "Radio", ATK_ROLE_RADIO_BUTTON, true, true},
        {link, "A link", ATK_ROLE_LINK, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AtkObject* accessible = gtk_widget_get_accessible(widgetOf(c.window));
        ASSERT_TRUE(accessible);
        EXPECT_STREQ(atk_object_get_name(accessible), c.name);
        EXPECT_EQ(atk_object_get_role(accessible), c.role);
        AtkStateSet* states = atk_object_ref_state_set(accessible);
        EXPECT_EQ(atk_state_set_contains_state(states, ATK_STATE_CHECKED), c.checked);
        EXPECT_EQ(atk_state_set_contains_state(states, ATK_STATE_ENABLED), c.enabled);
        g_object_unref(states);
    }
    // A later label is what is read out, too.
    box->SetLabel("&Other");
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(widgetOf(box))), "Other");
    box->SetValue(false);
    AtkStateSet* states = atk_object_ref_state_set(gtk_widget_get_accessible(widgetOf(box)));
    EXPECT_FALSE(atk_state_set_contains_state(states, ATK_STATE_CHECKED));
    g_object_unref(states);
}
