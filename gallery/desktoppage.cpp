// SPDX-License-Identifier: MIT
#include "desktoppage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/system/taskbaricon.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include <cmath>
#include <functional>
#include <utility>

namespace gallery {

namespace {

using zilui::toWX;

// A filled disc of `colour` on a clear square, drawn by coverage so its edge is smooth.
wxIcon makeDisc(int size, const wxColour& colour)
{
    wxImage image(size, size);
    image.SetRGB(wxRect(0, 0, size, size), colour.Red(), colour.Green(), colour.Blue());
    image.InitAlpha();
    const double r = size / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            image.SetAlpha(x, y, static_cast<unsigned char>(255 * std::min(1.0, std::max(0.0, r - d))));
        }
    }
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

wxString fill(zil::String text, const zil::String& key, const zil::String& value)
{
    text.Replace(key, value);
    return toWX(text);
}

class CGalleryTrayIcon : public zilui::CTaskBarIcon {
public:
    static constexpr int kNotifyID = 1;
    static constexpr int kHideID = 2;

    std::function<void(zilui::TaskBarEvent)> onEvent;

protected:
    wxMenu* createPopupMenu() override
    {
        auto* menu = new wxMenu;
        menu->Append(kNotifyID, toWX(ZILUI_TR("Show a &notification")));
        menu->AppendSeparator();
        menu->Append(kHideID, toWX(ZILUI_TR("&Hide the icon")));
        return menu;
    }
    void onTaskBarEvent(zilui::TaskBarEvent event) override
    {
        if (onEvent)
            onEvent(event);
    }
};

class CDesktopPage : public wxPanel {
public:
    explicit CDesktopPage(wxWindow* parent) : wxPanel(parent), m_icon(new CGalleryTrayIcon)
    {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(new wxStaticText(
                       this, wxID_ANY,
                       toWX(ZILUI_TR("The notification area, notifications and the taskbar entry of this "
                                     "window, as the running desktop offers them."))),
                   0, wxALL, 8);

        m_showIcon = new wxCheckBox(this, wxID_ANY, toWX(ZILUI_TR("Show an icon in the notification area")));
        sizer->Add(m_showIcon, 0, wxLEFT | wxRIGHT | wxTOP, 8);
        // A notification goes with the icon: none while it is hidden.
        m_notify = new wxButton(this, wxID_ANY, toWX(ZILUI_TR("Show a notification")));
        m_notify->Disable();
        sizer->Add(m_notify, 0, wxALL, 8);

        auto* progressRow = new wxBoxSizer(wxHORIZONTAL);
        progressRow->Add(new wxStaticText(this, wxID_ANY, toWX(ZILUI_TR("Taskbar progress:"))), 0,
                         wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
        m_progress = new wxSlider(this, wxID_ANY, 0, 0, 100, wxDefaultPosition, wxSize(240, -1));
        progressRow->Add(m_progress, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
        m_state = new wxChoice(this, wxID_ANY);
        for (const zil::String& name : {ZILUI_TR("No progress"), ZILUI_TR("Indeterminate"),
                                        ZILUI_TR("Normal"), ZILUI_TR("Error"), ZILUI_TR("Paused")})
            m_state->Append(toWX(name));
        m_state->SetSelection(0);
        progressRow->Add(m_state, 0, wxALIGN_CENTER_VERTICAL);
        sizer->Add(progressRow, 0, wxALL, 8);

        m_badge = new wxCheckBox(this, wxID_ANY, toWX(ZILUI_TR("Put a badge on the window's icon")));
        sizer->Add(m_badge, 0, wxALL, 8);
        m_status = new wxStaticText(this, wxID_ANY, wxString());
        sizer->Add(m_status, 0, wxALL, 8);
        SetSizer(sizer);

        m_icon->setIconAndToolTipText(makeDisc(32, wxColour(40, 110, 200)), ZILUI_TR("zilui gallery"));
        m_icon->onEvent = [this](zilui::TaskBarEvent event) { onTrayEvent(event); };
        m_icon->Bind(
            wxEVT_MENU, [this](wxCommandEvent&) { notify(); }, CGalleryTrayIcon::kNotifyID);
        m_icon->Bind(
            wxEVT_MENU, [this](wxCommandEvent&) { showIcon(false); }, CGalleryTrayIcon::kHideID);
        m_showIcon->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) { showIcon(e.IsChecked()); });
        m_notify->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { notify(); });
        m_progress->Bind(wxEVT_SLIDER, [this](wxCommandEvent&) {
            report(taskBar() && m_icon->setTaskBarProgress(m_progress->GetValue() / 100.0));
        });
        m_state->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
            static const zilui::TaskBarProgressState states[] = {
                zilui::TBPF_NOPROGRESS, zilui::TBPF_INDETERMINATE, zilui::TBPF_NORMAL, zilui::TBPF_ERROR,
                zilui::TBPF_PAUSED};
            report(taskBar() && m_icon->setTaskBarProgressState(states[m_state->GetSelection()]));
        });
        m_badge->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
            wxIcon badge = makeDisc(16, *wxRED);
            report(taskBar() && m_icon->setTaskBarButtonImageAndToolTipText(e.IsChecked() ? &badge : nullptr,
                                                                            zil::String()));
        });
    }

private:
    bool taskBar() { return m_icon->initWindowsTaskBarFeatures(this); }

    void showIcon(bool show)
    {
        m_showIcon->SetValue(show);
        const bool ok = show ? m_icon->show() : m_icon->hide();
        m_notify->Enable(m_icon->isVisible());
        const zil::String protocol = m_icon->getBackend()->getIconProtocol();
        if (show && ok)
            m_status->SetLabel(fill(ZILUI_TR("The icon is shown as %PROTOCOL%."), L"%PROTOCOL%", protocol));
        else if (!show)
            m_status->SetLabel(wxString());
        report(ok);
    }

    void notify()
    {
        report(m_icon->showNotification(
            ZILUI_TR("zilui gallery"),
            ZILUI_TR("A notification from the gallery. Click it to see the event arrive."), zilui::NIIF_INFO,
            5000));
    }

    void onTrayEvent(zilui::TaskBarEvent event)
    {
        const zil::String names[] = {ZILUI_TR("left button down"),    ZILUI_TR("left button up"),
                                     ZILUI_TR("left double click"),   ZILUI_TR("right button down"),
                                     ZILUI_TR("right button up"),     ZILUI_TR("right double click"),
                                     ZILUI_TR("notification clicked")};
        m_status->SetLabel(fill(ZILUI_TR("Last event from the desktop: %EVENT%."), L"%EVENT%", names[event]));
    }

    // Says when the desktop has nothing for what was asked.
    void report(bool ok)
    {
        if (!ok)
            m_status->SetLabel(toWX(ZILUI_TR("The running desktop offers no equivalent; see the log.")));
    }

    zil::P<CGalleryTrayIcon> m_icon;
    wxCheckBox* m_showIcon;
    wxButton* m_notify;
    wxSlider* m_progress;
    wxChoice* m_state;
    wxCheckBox* m_badge;
    wxStaticText* m_status;
};

} // namespace

wxWindow* makeDesktopPage(wxWindow* parent)
{
    return new CDesktopPage(parent);
}

} // namespace gallery
