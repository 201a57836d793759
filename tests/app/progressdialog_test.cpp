// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "app/dialogtestutil.h"
#include "support/guitest.h"

#include <zilui/app/action.h>
#include <zilui/app/progressdialog.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/file.h>
#include <wx/log.h>
#include <wx/sstream.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

wxIMPLEMENT_DYNAMIC_CLASS(zilui::test::CCountingGauge, wxGauge);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::test::CCountingStaticText, wxStaticText);

namespace zilui::test {

void loadProgressDialogResource()
{
    static bool loaded = false;
    if (loaded)
        return;
    // The file lies two folders above this one, in res/ of the source tree.
    const wxString file =
        wxString(__FILE__).BeforeLast('/').BeforeLast('/').BeforeLast('/') + "/res/ProgressDialog.xrc";
    wxString xml;
    ASSERT_TRUE(wxFile(file).ReadAll(&xml)) << file;
    xml.Replace("name=\"progress\"", "name=\"progress\" subclass=\"zilui::test::CCountingGauge\"");
    xml.Replace("name=\"messageText\"", "name=\"messageText\" subclass=\"zilui::test::CCountingStaticText\"");
    wxStringInputStream input(xml);
    wxXmlResource::Get()->InitAllHandlers();
    ASSERT_TRUE(wxXmlResource::Get()->LoadDocument(new wxXmlDocument(input), file));
    loaded = true;
}

namespace {

class ProgressDialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gauge && text); }
    void TearDown() override { dialog.reset(), processPendingEvents(); }
    void pressAbort() { click(dialog->FindWindow(wxID_ABORT)); }

    std::unique_ptr<CProgressDialog> dialog{
        (loadProgressDialogResource(), new CProgressDialog(&sharedFrame()))};
    CCountingGauge* gauge = dynamic_cast<CCountingGauge*>(dialog->FindWindow("progress"));
    CCountingStaticText* text = dynamic_cast<CCountingStaticText*>(dialog->FindWindow("messageText"));
};

TEST_F(ProgressDialogTest, FractionsSetTheRoundedValueOrPulseAndMessagesOnlyWhenChanged)
{
    ASSERT_EQ(gauge->GetRange(), 100);
    // The bar's value afterwards; whether it was set (again) and whether the bar pulsed instead.
    const struct {
        double fraction;
        int value;
        bool set, pulsed;
    } cases[] = {
        {0.5, 50, true, false},  {0.5, 50, false, false}, {0.504, 50, false, false}, {1.2, 100, true, false},
        {0.004, 0, true, false}, {0.005, 1, true, false}, {0.0, 1, false, true},     {-3.0, 1, false, true},
        {0.005, 1, true, false}, // the same value after a pulse, or the bar would keep pulsing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fraction);
        const int sets = gauge->valueSets, pulses = gauge->pulses;
        dialog->updateProgress(c.fraction);
        EXPECT_EQ(gauge->GetValue(), c.value);
        EXPECT_EQ(gauge->valueSets - sets, c.set ? 1 : 0);
        EXPECT_EQ(gauge->pulses - pulses, c.pulsed ? 1 : 0);
    }
    // The same message is not set again either.
    const std::pair<const wchar_t*, int> messages[] = {
        {L"Copying", 1}, {L"Copying", 0}, {L"Copying & checking", 1}, {L"Copying & checking", 0}, {L"", 1}};
    for (const auto& [message, sets] : messages) {
        SCOPED_TRACE(std::wstring(message));
        const int before = text->labelSets;
        dialog->updateMessage(message);
        EXPECT_EQ(text->labelSets - before, sets);
        EXPECT_EQ(text->GetLabelText(), wxString(message));
    }
}

TEST_F(ProgressDialogTest, WorkerUpdatesWaitForTheGUIThreadAndComeInOrder)
{
    constexpr int kCount = 1000;
    std::vector<std::pair<wxString, int>> seen; // GUI thread only
    CProgressDialog* target = dialog.get();
    const int labelSets = text->labelSets;
    zil::P<CFunctionThread> worker(new CFunctionThread([&] {
        for (int i = 0; i < kCount; ++i) {
            target->setProgress((i % 100 + 1) / 100.0);
            target->updateMessage(zil::toString(int64_t(i)));
            // Queued behind the update, so it sees the widgets right after that update.
            postAction([&] { seen.emplace_back(text->GetLabelText(), gauge->GetValue()); });
        }
    }));
    worker->start();
    ASSERT_TRUE(worker->join(30000));
    EXPECT_TRUE(seen.empty() && text->labelSets == labelSets);

    ASSERT_TRUE(runLoopUntil([&] { return seen.size() == size_t(kCount); }));
    for (int i = 0; i < kCount && !HasFailure(); ++i)
        EXPECT_EQ(seen[i], std::make_pair(wxString::Format("%d", i), i % 100 + 1)) << "update " << i;
}

TEST_F(ProgressDialogTest, AbortWhileShownNonModallyOnlySetsTheFlag)
{
    dialog->start();
    EXPECT_FALSE(sharedFrame().IsEnabled() || dialog->updateAndCheckAbort());
    pressAbort();
    EXPECT_TRUE(dialog->wasAborted() && dialog->IsShown());
    dialog.reset();
    EXPECT_TRUE(sharedFrame().IsEnabled());
}

TEST_F(ProgressDialogTest, ModalLoopEndsByAbortOrScheduledStop)
{
    for (const bool abort : {true, false}) {
        SCOPED_TRACE(abort ? "abort" : "stop from a worker");
        dialog->resetAborted();
        zil::P<CFunctionThread> worker(new CFunctionThread([&] { dialog->scheduleStop(); }));
        dialog->CallAfter([&] { abort ? pressAbort() : worker->start(); });
        // A loop that nothing ended is ended after a while, with a result no case expects.
        wxTimer timeout;
        timeout.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { dialog->EndModal(wxID_NONE); });
        timeout.StartOnce(20000);
        EXPECT_EQ(dialog->ShowModal(), abort ? wxID_ABORT : wxID_OK);
        EXPECT_EQ(dialog->wasAborted(), abort);
        worker->join(30000);
    }
}

TEST(ProgressDialogResourceTest, MissingResourceIsAClearError)
{
    wxXmlResource* previous = wxXmlResource::Set(new wxXmlResource());
    wxLogNull quiet;
    EXPECT_EQ(thrown([] { CProgressDialog dialog(nullptr); }).getMessage(),
              L"Cannot load resource 'ProgressDialog'");
    delete wxXmlResource::Set(previous);
}

TEST(ProgressDialogPulseTest, EndsWithTheThreadOrTheSignal)
{
    loadProgressDialogResource();
    using D = CProgressDialog;
    EXPECT_THROW(D::showPulseProgressDialogUntilThreadEnds(nullptr, L"t", L"m", nullptr), zil::CInvalidArgError);
    EXPECT_THROW(D::showPulseProgressDialogUntilSignal(nullptr, L"t", L"m", nullptr), zil::CInvalidArgError);
    for (const bool bySignal : {false, true}) {
        SCOPED_TRACE(bySignal ? "signal" : "thread");
        zil::CSignal signal, returned, performed;
        // Ends the process if the dialog hangs, rather than the whole run.
        zil::P<CFunctionThread> watchdog(new CFunctionThread([&] {
            if (!returned.wait(60000))
                std::fprintf(stderr, "pulse progress dialog hangs\n"), std::_Exit(1);
        }));
        watchdog->start();
        int frameEnabledDuringWait = -1; // set by an action that the wait loop performs
        zil::P<CFunctionThread> worker(new CFunctionThread([&] {
            postAction([&] { frameEnabledDuringWait = sharedFrame().IsEnabled(), performed.set(); });
            // The wait ends only after its loop has performed the action.
            performed.wait(60000);
            signal.set();
        }));
        worker->start();
        if (bySignal)
            D::showPulseProgressDialogUntilSignal(&sharedFrame(), L"Title", L"Waiting", &signal);
        else
            D::showPulseProgressDialogUntilThreadEnds(&sharedFrame(), L"Title", L"Waiting", worker.get());
        returned.set();
        EXPECT_TRUE(signal.isSet() && sharedFrame().IsEnabled());
        EXPECT_EQ(frameEnabledDuringWait, 0);
        worker->join();
        watchdog->join();
        processPendingEvents();
    }
}

} // namespace
} // namespace zilui::test
