// SPDX-License-Identifier: MIT
#include "controls/inputframe.h"

#include <zilui/controls/wrappers.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>

#include <gtk/gtk.h>

namespace zilui::test {
namespace {

// What `control` renders over a blue bitmap of its size; `rendered` tells the result.
wxImage render(wxWindow* control, bool* rendered)
{
    wxBitmap bitmap(control->GetSize().x, control->GetSize().y, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxBLUE_BRUSH);
    dc.Clear();
    *rendered = renderControlInto(*control, dc);
    dc.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

int countPixels(const wxImage& image, const wxRect& rect, const std::function<bool(int, int, int)>& test)
{
    int count = 0;
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        for (int x = rect.x; x < rect.x + rect.width; ++x)
            count += test(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
    return count;
}

const auto isFill = [](int r, int g, int b) { return r == 0 && g == 0 && b == 255; };

// A drag image or popup frame is made of these renderings: they must show the frame and the
// text, not an empty or black box.
TEST(Wrappers, RenderIntoADCShowsFrameAndText)
{
    CControlsInputFrame holder;
    auto* text = new CTextCtrl(holder.panel, wxID_ANY, "MMMM", wxPoint(10, 10), wxSize(140, 34));
    auto* radio = new CRadioButton(holder.panel, wxID_ANY, "MMMM", wxPoint(10, 60), wxSize(140, 30));
    radio->SetForegroundColour(wxColour(220, 0, 0));
    ASSERT_TRUE(runLoopUntil([&] { return text->IsShownOnScreen() && radio->IsShownOnScreen(); }, 5000));
    processPendingEvents();

    // Until the display server has confirmed the frame's size, nothing can be drawn.
    bool rendered = false;
    wxImage entry;
    ASSERT_TRUE(runLoopUntil([&] { return entry = render(text, &rendered), rendered; }, 5000));
    const int w = entry.GetWidth(), h = entry.GetHeight();
    EXPECT_EQ(countPixels(entry, wxRect(3, 3, w - 6, h - 6), isFill), 0) << "a hole in the entry";
    // The frame: the outermost column differs from the field's inside next to it.
    const wxColour edge(entry.GetRed(0, h / 2), entry.GetGreen(0, h / 2), entry.GetBlue(0, h / 2));
    const wxColour inside(entry.GetRed(4, h / 2), entry.GetGreen(4, h / 2), entry.GetBlue(4, h / 2));
    EXPECT_GT(std::abs(edge.Red() - inside.Red()) + std::abs(edge.Green() - inside.Green()) +
                  std::abs(edge.Blue() - inside.Blue()),
              20);
    EXPECT_GT(countPixels(entry, wxRect(4, 4, w - 8, h - 8), [](int r, int g, int b) { return r + g + b < 200; }),
              20)
        << "no text";

    // The custom text colour shows in the label.
    wxImage label;
    ASSERT_TRUE(runLoopUntil([&] { return label = render(radio, &rendered), rendered; }, 5000));
    EXPECT_GT(countPixels(label, wxRect(0, 0, label.GetWidth(), label.GetHeight()),
                          [](int r, int g, int b) { return r > 150 && g < 80 && b < 80; }),
              10);

    text->Hide();
    const wxImage hidden = render(text, &rendered);
    EXPECT_TRUE(rendered);
    EXPECT_EQ(countPixels(hidden, wxRect(0, 0, w, h), isFill), w * h);
}

// The wrapper keeps its own value, which must follow the native group, by code and by click.
TEST(Wrappers, RadioButtonValueFollowsItsGroup)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CControlsInputFrame holder;
    auto* a = new CRadioButton(holder.panel, wxID_ANY, "a", wxPoint(10, 10), wxDefaultSize, wxRB_GROUP);
    auto* b = new CRadioButton(holder.panel, wxID_ANY, "b", wxPoint(10, 40));
    auto* single = new CRadioButton(holder.panel, wxID_ANY, "s", wxPoint(10, 70), wxDefaultSize, wxRB_SINGLE);
    int events = 0;
    holder.panel->Bind(wxEVT_RADIOBUTTON, [&](wxCommandEvent&) { ++events; });
    // What the wrapper stores and what GTK shows must agree after every call; a deselected
    // button leaves its group with none selected, as on Windows. GTK starts each group,
    // the single button's too, with its first button selected.
    const auto shown = [](CRadioButton* r) {
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(r->GetHandle())) != FALSE;
    };
    const struct {
        CRadioButton* button;
        bool value;
        bool a, b, single;
    } steps[] = {{nullptr, false, true, false, true}, {b, true, false, true, true},
                 {b, false, false, false, true},      {single, false, false, false, false},
                 {a, false, false, false, false},     {a, true, true, false, false},
                 {single, true, true, false, true},   {single, false, true, false, false},
                 {a, false, false, false, false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message()
                     << (step.button ? step.button->GetLabel() : "start") << " " << step.value);
        if (step.button)
            step.button->SetValue(step.value);
        EXPECT_EQ(a->GetValue(), step.a);
        EXPECT_EQ(b->GetValue(), step.b);
        EXPECT_EQ(single->GetValue(), step.single);
        EXPECT_EQ(shown(a), step.a);
        EXPECT_EQ(shown(b), step.b);
        EXPECT_EQ(shown(single), step.single);
    }
    processPendingEvents();
    EXPECT_EQ(events, 0);
    ASSERT_TRUE(runLoopUntil([&] { return a->IsShownOnScreen(); }, 5000));
    pointerTo(a, wxPoint(8, a->GetSize().y / 2));
    processPendingEvents();
    pointerClick();
    EXPECT_TRUE(runLoopUntil([&] { return a->GetValue(); }, 3000));
    EXPECT_TRUE(shown(a));
    EXPECT_FALSE(b->GetValue());
}

} // namespace
} // namespace zilui::test
