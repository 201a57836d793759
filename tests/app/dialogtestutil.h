// SPDX-License-Identifier: MIT
// Dialog tests: the progress dialog's resource with widgets that count how they are driven,
// a button press as a user makes it, and a thread that runs a function.
#pragma once

#include <zil/thread.h>

#include <gtest/gtest.h>

#include <wx/gauge.h>
#include <wx/stattext.h>

#include <functional>
#include <utility>

namespace zilui::test {

class CCountingGauge : public wxGauge {
public:
    void SetValue(int value) override { ++valueSets, wxGauge::SetValue(value); }
    void Pulse() override { ++pulses, wxGauge::Pulse(); }
    int valueSets = 0;
    int pulses = 0;

private:
    wxDECLARE_DYNAMIC_CLASS(CCountingGauge);
};

class CCountingStaticText : public wxStaticText {
public:
    void SetLabel(const wxString& label) override { ++labelSets, wxStaticText::SetLabel(label); }
    int labelSets = 0;

private:
    wxDECLARE_DYNAMIC_CLASS(CCountingStaticText);
};

// Loads res/ProgressDialog.xrc from the source tree once, its gauge and message made of the
// counting classes above.
void loadProgressDialogResource();

// As a user would: only a visible and enabled button can be pressed.
inline void click(wxWindow* button)
{
    ASSERT_TRUE(button && button->IsShown() && button->IsEnabled());
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

class CFunctionThread : public zil::CThread {
public:
    explicit CFunctionThread(std::function<void()> function) : m_function(std::move(function)) {}

protected:
    void run() override { m_function(); }

private:
    std::function<void()> m_function;
};

} // namespace zilui::test
