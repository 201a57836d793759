// SPDX-License-Identifier: MIT
// The native widgets under the skins: their minimum sizes, and what they tell assistive
// technology. GTK warnings fail any test through the test main's log handler.
#include "slick/slicktestutil.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <wx/sizer.h>

#include <gtk/gtk.h>

#include <functional>

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

// The test main turns what the toolkit and the accessibility bridge log into failures of the
// running test, also GTK's own structured messages and a critical a real call provokes; what
// is not a warning, or comes from elsewhere, is left alone. The messages say they are
// provoked: they reach the run's log.
TEST(SlickNative, ToolkitWarningsFailTheTest)
{
    const auto failuresOf = [](const std::function<void()>& log) {
        testing::TestPartResultArray results;
        testing::ScopedFakeTestPartResultReporter reporter(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        log();
        return results.size();
    };
    const struct {
        const char* domain; // null: none, as the accessibility bridge logs
        const char* message;
        GLogLevelFlags level;
        bool structured, fails;
    } cases[] = {
        {"Gtk", "provoked by a test", G_LOG_LEVEL_CRITICAL, false, true},
        {"Gtk", "provoked by a test", G_LOG_LEVEL_WARNING, true, true},
        {"Gdk", "provoked by a test", G_LOG_LEVEL_WARNING, false, true},
        {"GLib-GObject", "provoked by a test", G_LOG_LEVEL_CRITICAL, false, true},
        {"Atk", "provoked by a test", G_LOG_LEVEL_CRITICAL, false, true},
        {nullptr, "AT-SPI: provoked by a test", G_LOG_LEVEL_WARNING, false, true},
        {nullptr, "atk-bridge: provoked by a test", G_LOG_LEVEL_WARNING, true, true},
        {"Gtk", "provoked by a test", G_LOG_LEVEL_MESSAGE, false, false},
        {"Gtk", "provoked by a test", G_LOG_LEVEL_DEBUG, true, false},
        {"zilui-elsewhere", "provoked by a test", G_LOG_LEVEL_WARNING, false, false},
        {nullptr, "provoked by a test, of no toolkit", G_LOG_LEVEL_WARNING, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.domain ? c.domain : "") + ": " + c.message + (c.structured ? ", structured" : ""));
        const auto log = [&] {
            if (c.structured)
                g_log_structured(c.domain, c.level, "MESSAGE", "%s", c.message);
            else
                g_log(c.domain, c.level, "%s", c.message);
        };
        if (c.fails) {
            const std::string source = c.domain ? c.domain : "the accessibility bridge";
            EXPECT_NONFATAL_FAILURE(log(), source + " printed: " + c.message);
        } else {
            EXPECT_EQ(failuresOf(log), 0);
        }
    }
    // A toolkit defect a test tolerates fails no test while tolerated, and again afterwards.
    const auto critical = [] { g_log("Gtk", G_LOG_LEVEL_CRITICAL, "provoked by a test: tolerated"); };
    {
        CToleratedToolkitWarnings outer({"tolerated"});
        CToleratedToolkitWarnings inner({"something else"});
        EXPECT_EQ(failuresOf(critical), 0);
    }
    EXPECT_NONFATAL_FAILURE(critical(), "Gtk printed: provoked by a test: tolerated");

    // A control's widget given a size GTK refuses: GTK's own check logs the critical.
    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Refused");
    EXPECT_NONFATAL_FAILURE(gtk_widget_set_size_request(widgetOf(button), -5, 10),
                            "Gtk printed: gtk_widget_set_size_request: assertion 'width >= -1' failed");
}
