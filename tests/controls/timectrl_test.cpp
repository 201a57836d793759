// SPDX-License-Identifier: MIT
#include "controls/inputframe.h"

#include <zilui/controls/timectrl.h>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace zilui::test {
namespace {

TEST(TimeCtrl, ValuesWrapIntoOneDay)
{
    CTimeCtrl* control = new CTimeCtrl(&sharedFrame(), wxID_ANY, 0);
    const struct { int value; const char* text; int stored; } cases[] = {
        {1439, "23:59", 1439}, {1440, "00:00", 0}, {61, "01:01", 61},    {3000, "02:00", 120},
        {-1, "00:00", 0},      {-61, "00:00", 0},  {-1441, "00:00", 0}, {INT_MIN, "00:00", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        control->setTimeValue(c.value);
        EXPECT_EQ(control->getTextCtrl()->GetValue(), c.text);
        EXPECT_EQ(control->getTimeValue(), c.stored);
    }
    CTimeTextCtrl::SField minutes{3, 5, 0, 59, control->getTextCtrl()};
    EXPECT_TRUE(minutes.setValueWithModuloRange(125) == 2 && minutes.getValue() == 5); // carry
    EXPECT_TRUE(minutes.setValueWithModuloRange(-1) == 0 && minutes.getValue() == 0);
    control->Destroy();
}

// Each key as a person types it: the text keeps its form and every change is announced once.
TEST(TimeCtrl, KeysEditTheFieldsUnderTheInsertionPoint)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CControlsInputFrame holder;
    auto* control = new CTimeCtrl(holder.panel, 4711, 0, wxPoint(10, 10));
    CTimeTextCtrl* text = control->getTextCtrl();
    std::vector<int> events;
    control->Bind(wxuEVT_TIMECHANGE, [&](CTimeCtrlEvent& e) {
        EXPECT_EQ(e.GetId(), 4711);
        EXPECT_EQ(e.GetEventObject(), control);
        events.push_back(e.getTimeValue());
    });
    int shiftReleases = 0;
    text->Bind(wxEVT_KEY_UP, [&](wxKeyEvent& e) {
        shiftReleases += e.GetKeyCode() == WXK_SHIFT ? 1 : 0;
        e.Skip();
    });
    text->SetFocus();
    ASSERT_TRUE(runLoopUntil([&] { return wxWindow::FindFocus() == text; }, 3000));
    text->SetInsertionPoint(0);
    const struct { int key; const char* text; long insertion; std::vector<int> events; } steps[] = {
        {'9', "23:00", 1, {1380}},            // the hours field clamps to 23
        {WXK_UP, "00:00", 1, {0}},            // and wraps over its top
        {WXK_TAB, "00:00", 3, {}},            // to the minutes
        {WXK_DOWN, "00:59", 3, {59}},         // which wrap under their bottom
        {'1', "00:19", 4, {19}},
        {WXK_TAB, "00:19", 0, {}},            // back to the hours
        {'a', "00:19", 0, {}},                // swallowed
        {'1', "10:19", 1, {619}},
        {'2', "12:19", 3, {739}},             // over the colon
        {WXK_DELETE, "12:09", 4, {729}},
        {WXK_LEFT, "12:09", 3, {}},
        {WXK_BACK, "12:09", 2, {}},
        {'5', "12:59", 4, {779}},             // at the end of the hours it types into the minutes
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.text);
        events.clear();
        const wxString before = text->GetValue();
        const long from = text->GetInsertionPoint();
        const auto done = [&] { return events.size() >= s.events.size() && text->GetInsertionPoint() == s.insertion; };
        // A busy display now and then drops a synthesised key; one that left no trace is sent again.
        for (int attempt = 0; attempt < 3 && !done(); ++attempt) {
            if (attempt > 0 && (!events.empty() || text->GetValue() != before || text->GetInsertionPoint() != from))
                break;
            if (wxWindow::FindFocus() != text)
                text->SetFocus();
            typeKey(s.key);
            runLoopUntil(done, 2000);
        }
        // A second event would come before a Shift key sent now, and what it queued before the
        // actions that follow.
        shiftReleases = 0;
        for (int attempt = 0; attempt < 3 && shiftReleases == 0; ++attempt) {
            if (onWayland()) {
                typeKey(WXK_SHIFT);
            } else {
                wxUIActionSimulator().KeyDown(WXK_SHIFT);
                wxUIActionSimulator().KeyUp(WXK_SHIFT);
            }
            runLoopUntil([&] { return shiftReleases > 0; }, 2000);
        }
        EXPECT_TRUE(shiftReleases > 0 && drainActions());
        EXPECT_EQ(text->GetValue(), s.text);
        EXPECT_EQ(text->GetInsertionPoint(), s.insertion);
        EXPECT_EQ(events, s.events);
    }
    // The spin button steps the field the insertion point is in.
    events.clear();
    text->SetInsertionPoint(0);
    wxSpinEvent up(wxEVT_SPIN_UP, control->getSpinCtrl()->GetId());
    control->getSpinCtrl()->ProcessWindowEvent(up);
    EXPECT_EQ(text->GetValue(), "13:59");
    EXPECT_EQ(events, std::vector<int>{839});
    // Pasted or otherwise inserted text never survives.
    text->WriteText("7x");
    EXPECT_EQ(text->GetValue(), "13:59");
}

} // namespace
} // namespace zilui::test
