// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/slick/controls.h>
#include <zilui/system/externalcommands.h>

#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <wx/dcclient.h>
#include <wx/dcscreen.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace zilui;
using zilui::test::countNear;
using zilui::test::pixelAt;

namespace {

zil::P<CSlickButtonSkin> colouredButtonSkin(const wxColour& normal, const wxColour& hover, const wxColour& disabled)
{
    zil::P<CSlickButtonSkin> skin(new CSlickButtonSkin());
    skin->setBorderType(CSlickButtonSkin::BorderNone);
    skin->getStateSkin(CSlickButton::Normal).setBackgroundColor(normal);
    skin->getStateSkin(CSlickButton::Hover).setBackgroundColor(hover);
    skin->getStateSkin(CSlickButton::Disabled).setBackgroundColor(disabled);
    return skin;
}

// Moves the real pointer to `point` of `window` (screen coordinates of its client area).
void moveMouseTo(wxWindow* window, const wxPoint& point)
{
    wxUIActionSimulator().MouseMove(window->ClientToScreen(point));
}

// A frame of its own for tests that use the real pointer, keyboard or screen, placed where
// other test windows do not go. Test processes run in parallel on one display, so it also
// holds a lock per display while it lives; the pointer starts in its empty corner.
struct CInputFrame {
    CInputFrame()
    {
        const wxString display = wxGetenv("DISPLAY") ? wxGetenv("DISPLAY") : "";
        const std::string path = "/tmp/zilui-tests-input" + display.utf8_string() + ".lock";
        lock = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
        if (lock >= 0)
            ::flock(lock, LOCK_EX);
        frame = new wxFrame(nullptr, wxID_ANY, "input", wxPoint(860, 620), wxSize(400, 300));
        panel = new wxPanel(frame);
        frame->Show();
        frame->Raise();
        test::runLoopUntil([&] { return frame->IsShownOnScreen(); }, 5000);
        moveMouseTo(panel, wxPoint(390, 290));
        test::processPendingEvents();
    }
    ~CInputFrame()
    {
        frame->Destroy();
        test::processPendingEvents();
        if (lock >= 0)
            ::close(lock);
    }
    int lock = -1;
    wxFrame* frame;
    wxPanel* panel;
};

// The screen's pixels under `window`, as the user sees them.
wxImage grabScreen(wxWindow* window)
{
    const wxRect rect = window->GetScreenRect();
    wxBitmap bitmap(rect.width, rect.height, 24);
    wxMemoryDC memory(bitmap);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

// Grabs the screen under `window` until `check` accepts it. Grabs are spaced out: the timer
// of runLoopUntil outranks GTK's redraw, which a busy timer would starve.
bool screenShows(wxWindow* window, const std::function<bool(const wxImage&)>& check)
{
    auto last = std::chrono::steady_clock::now();
    bool shown = false;
    return test::runLoopUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (!shown && now - last >= std::chrono::milliseconds(50)) {
            last = now;
            shown = check(grabScreen(window));
        }
        return shown;
    }, 5000);
}

} // namespace

TEST(SlickControls, DrawHookPaintsTheNativeButton)
{
    CInputFrame holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(10, 10), wxSize(80, 30));
    button->setSkin(colouredButtonSkin(wxColour(200, 0, 0), wxColour(0, 200, 0), wxColour(0, 0, 200)).get());
    button->Refresh();
    EXPECT_TRUE(screenShows(button, [](const wxImage& shot) {
        return countNear(shot, wxRect(5, 5, 70, 20), wxColour(200, 0, 0)) == 70 * 20;
    }));

}

TEST(SlickControls, ClickSendsButtonEvent)
{
    CInputFrame holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Press", wxPoint(10, 10), wxSize(80, 30));
    int clicks = 0;
    button->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
    test::processPendingEvents();
    wxUIActionSimulator sim;
    sim.MouseMove(button->GetScreenRect().GetPosition() + wxPoint(40, 15));
    test::runLoopUntil([&] { return button->getSharedHover(); }, 3000);
    EXPECT_TRUE(button->getSharedHover());
    sim.MouseClick();
    EXPECT_TRUE(test::runLoopUntil([&] { return clicks == 1; }, 5000));
}

namespace {

// Records the URLs handed to the web browser; the browser is never started.
class CRecordingDelegate : public zil::CBase, public virtual CExternalCommandManager::IDelegate {
public:
    bool openFileBrowser(const zil::String&, bool) override { return true; }
    bool openFileBrowserAtDiskList() override { return true; }
    bool openWebBrowser(const zil::String& url) override
    {
        urls.push_back(url);
        return true;
    }
    bool openPartitionManager() override { return true; }
    bool openCommandPrompt() override { return true; }
    zil::TArray<zil::String> urls;
};

// The process-wide manager with a recording delegate, dropped again afterwards.
class CManagerWithDelegate : public CExternalCommandManager {
public:
    CManagerWithDelegate() : delegate(new CRecordingDelegate()) { get()->addDelegate(delegate.get()); }
    ~CManagerWithDelegate() override { disposeGlobalInstance(); }
    zil::P<CRecordingDelegate> delegate;
};

// PATH without xdg-open while it lives, so that nothing is started.
struct CEmptyPath {
    zil::test::CTempFolder folder;
    zil::test::CEnvOverride path{"PATH", folder.path().toAPIPath().c_str()};
};

} // namespace

TEST(SlickControls, SpaceTogglesCheckBox)
{
    CInputFrame holder;
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "Check", wxPoint(10, 10), wxSize(100, 24));
    int events = 0;
    box->Bind(wxEVT_CHECKBOX, [&](wxCommandEvent&) { ++events; });
    moveMouseTo(box, wxPoint(50, 12));
    // Another test process on the display may take the keyboard focus for a moment.
    for (int attempt = 0; attempt < 3 && events == 0; ++attempt) {
        box->SetFocus();
        if (!test::runLoopUntil([&] { return box->getFocus() && box->getSharedHover(); }, 3000))
            continue;
        wxUIActionSimulator().Char(' ');
        test::runLoopUntil([&] { return events > 0; }, 3000);
    }
    ASSERT_GT(events, 0);
    EXPECT_EQ(box->GetValue(), events % 2 == 1);
    EXPECT_EQ(box->getState(), box->GetValue() ? CSlickCheckBox::CheckedHover : CSlickCheckBox::UncheckedHover);
}

TEST(SlickControls, ClickOnRadioButtonClearsTheOthersOfItsGroup)
{
    const wxColour selected(0, 160, 0), unselected(160, 0, 0);
    zil::P<CSlickRadioButtonSkin> skin(new CSlickRadioButtonSkin());
    skin->setBorderType(CSlickRadioButtonSkin::BorderNone);
    for (int s = 0; s < CSlickRadioButtonSkin::StateCount; ++s)
        skin->getStateSkin(static_cast<CSlickRadioButton::State>(s)).setBackgroundColor(s % 2 ? selected : unselected);

    CInputFrame holder;
    CSlickRadioButton* radios[3];
    for (int i = 0; i < 3; ++i) {
        radios[i] = new CSlickRadioButton(holder.panel, wxID_ANY, "Radio", wxPoint(10, 10 + 30 * i), wxSize(100, 24),
                                          i == 0 ? wxRB_GROUP : 0);
        radios[i]->setSkin(skin.get());
    }
    radios[0]->SetValue(true);
    test::processPendingEvents();
    moveMouseTo(radios[2], wxPoint(50, 12));
    wxUIActionSimulator().MouseClick();
    ASSERT_TRUE(test::runLoopUntil([&] { return radios[2]->GetValue(); }, 5000));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(radios[i]->GetValue(), i == 2);
        EXPECT_EQ(pixelAt(test::paintToImage(*radios[i]), 2, 2), i == 2 ? selected : unselected);
    }
}

TEST(SlickControls, DisplayTextOfLabels)
{
    test::CTestPanel holder;
    struct Case {
        wxString label;
        bool button;
        const wchar_t* expected;
    } cases[] = {
        {"Save && &Close", true, L"Save & Close"},
        {"&&&&", true, L"&&"},
        {"Trailing&", true, L"Trailing"},
        {"&Check", false, L"&Check"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        zil::String shown;
        if (c.button)
            shown = (new CSlickButton(holder.panel, wxID_ANY, c.label))->getDisplayText();
        else
            shown = (new CSlickCheckBox(holder.panel, wxID_ANY, c.label))->getDisplayText();
        EXPECT_EQ(shown, c.expected);
    }
    // An empty label on a stock id shows the stock label.
    EXPECT_EQ((new CSlickButton(holder.panel, wxID_OK, ""))->GetLabel(), wxGetStockLabel(wxID_OK));
}

TEST(SlickControls, HoverGroupHoversTogether)
{
    const wxColour normal(200, 0, 0), hover(0, 200, 0);
    CInputFrame holder;
    zil::P<CSlickButton::CHoverGroup> group(new CSlickButton::CHoverGroup());
    CSlickButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(10 + 90 * i, 10), wxSize(80, 30));
        buttons[i]->setSkin(colouredButtonSkin(normal, hover, *wxBLUE).get());
        group->add(buttons[i]);
    }
    const auto allDrawn = [&](const wxColour& colour) {
        for (CSlickButton* button : buttons)
            if (pixelAt(test::paintToImage(*button), 2, 2) != colour)
                return false;
        return true;
    };
    moveMouseTo(buttons[0], wxPoint(40, 15));
    EXPECT_TRUE(test::runLoopUntil([&] { return buttons[2]->getSharedHover(); }, 5000));
    EXPECT_TRUE(allDrawn(hover));
    EXPECT_FALSE(buttons[1]->getOwnHover());

    moveMouseTo(holder.panel, wxPoint(200, 200));
    EXPECT_TRUE(test::runLoopUntil([&] { return !buttons[2]->getSharedHover(); }, 5000));
    EXPECT_TRUE(allDrawn(normal));

    // A member that goes while hovered takes its hover with it.
    buttons[1]->setOwnHover(true);
    EXPECT_TRUE(buttons[0]->getSharedHover());
    delete buttons[1];
    EXPECT_FALSE(buttons[0]->getSharedHover());
    EXPECT_EQ(group->getControls().size(), 2u);
}

TEST(SlickControls, UndeterminedCheckBoxDrawsUnchecked)
{
    zil::P<CSlickCheckBoxSkin> skin(new CSlickCheckBoxSkin());
    for (int s = 0; s < CSlickCheckBoxSkin::StateCount; ++s)
        skin->getStateSkin(static_cast<CSlickCheckBox::State>(s)).setBackgroundColor(wxColour(10 * s, 0, 0));
    test::CTestPanel holder;
    auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(40, 20), wxCHK_3STATE);
    box->setSkin(skin.get());
    const struct {
        wxCheckBoxState value;
        bool disabled;
        CSlickCheckBox::State expected;
    } cases[] = {
        {wxCHK_UNDETERMINED, false, CSlickCheckBox::UncheckedNormal},
        {wxCHK_CHECKED, false, CSlickCheckBox::CheckedNormal},
        {wxCHK_UNDETERMINED, true, CSlickCheckBox::UncheckedDisabled},
        {wxCHK_CHECKED, true, CSlickCheckBox::CheckedDisabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        box->Set3StateValue(c.value);
        box->Enable(!c.disabled);
        EXPECT_EQ(box->getState(), c.expected);
        EXPECT_EQ(pixelAt(test::paintToImage(*box), 5, 5), wxColour(10 * c.expected, 0, 0));
    }
}

TEST(SlickControls, LinkButtonOpensItsURL)
{
    CManagerWithDelegate manager;
    CEmptyPath noPrograms;
    CInputFrame holder;
    auto* link = new CLinkButton(holder.panel, wxID_ANY, "Example", wxPoint(10, 10), wxSize(80, 24));
    link->SetURL(L"https://example.org/a");
    int clicks = 0;
    link->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
    moveMouseTo(link, wxPoint(20, 12));
    ASSERT_TRUE(test::runLoopUntil([&] { return link->getSharedHover(); }, 5000));
    wxUIActionSimulator().MouseClick();
    EXPECT_TRUE(test::runLoopUntil([&] { return clicks == 1; }, 5000));
    ASSERT_EQ(manager.delegate->urls.size(), 1u);
    EXPECT_EQ(manager.delegate->urls[0], L"https://example.org/a");

    // The scheme is compared in lower case; other URLs go to the default application, whose
    // error (no xdg-open on this PATH) reaches the caller.
    CLinkButton::openURL(L"HTTP://EXAMPLE.ORG");
    EXPECT_EQ(manager.delegate->urls.back(), L"HTTP://EXAMPLE.ORG");
    for (const wchar_t* other : {L"mailto:someone@example.org", L"/tmp/file.txt", L"httpx://x"}) {
        SCOPED_TRACE(zil::String(other));
        EXPECT_THROW(CLinkButton::openURL(other), zil::CError);
    }
    EXPECT_EQ(manager.delegate->urls.size(), 2u);
}

TEST(SlickControls, CreatorAndDynamicCreation)
{
    test::CTestPanel holder;
    zil::P<CSlickButtonSkin> skin(new CSlickButtonSkin());
    zil::P<IButtonCreator> withSkin(new CSlickButtonCreator(skin.get()));
    zil::P<IButtonCreator> without(new CSlickButtonCreator());
    auto* a = dynamic_cast<CSlickButton*>(withSkin->createButton(holder.panel, wxID_ANY, L"A"));
    auto* b = dynamic_cast<CSlickButton*>(without->createButton(holder.panel, wxID_ANY, L"B"));
    auto* c = dynamic_cast<CSlickButton*>(without->createButton(holder.panel, wxID_ANY, L"C"));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->getSkin().get(), skin.get());
    ASSERT_TRUE(b->getSkin());
    EXPECT_NE(b->getSkin().get(), c->getSkin().get());
    EXPECT_EQ(b->getSkin()->getBorderType(), CSlickButtonSkin::BorderFlat);
    EXPECT_THROW(without->createButton(nullptr, wxID_ANY, L"D"), zil::CInvalidArgError);

    for (const char* name : {"zilui::CSlickButton", "zilui::CLinkButton", "zilui::CSlickCheckBox",
                             "zilui::CSlickRadioButton"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<wxObject> object(wxCreateDynamicObject(name));
        ASSERT_TRUE(object);
        EXPECT_EQ(object->GetClassInfo()->GetClassName(), wxString(name));
        EXPECT_TRUE(wxDynamicCast(object.get(), wxControl));
    }
}

TEST(SlickControls, ButtonBitmapsPerState)
{
    test::CTestPanel holder;
    const wxBitmap normal(8, 8, 24), current(8, 8, 24), focused(8, 8, 24), disabled(8, 8, 24);
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "B");
    button->SetBitmap(normal);
    // Hovered without a hover bitmap: the normal one.
    button->setOwnHover(true);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), normal));
    // A focused bitmap stands in for the missing current one, but does not replace it.
    button->SetBitmapFocus(focused);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), focused));
    button->SetBitmapCurrent(current);
    button->SetBitmapFocus(normal);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), current));
    button->SetBitmapDisabled(disabled);
    button->Disable();
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), disabled));
    EXPECT_EQ(button->getState(), CSlickButton::Disabled);
}
