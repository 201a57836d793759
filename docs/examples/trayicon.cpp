// SPDX-License-Identifier: MIT
// docs/system.md
#include <zilui/system/taskbaricon.h>

#include <wx/frame.h>
#include <wx/menu.h>

class MyFrame : public wxFrame {
public:
    void showTrayIcon(const wxIcon& appIcon);

private:
    void onTrayCommand(wxCommandEvent&) {}

    zil::P<zilui::CTaskBarIcon> m_trayIcon;
};

class CTrayIcon : public zilui::CTaskBarIcon {
protected:
    wxMenu* createPopupMenu() override;                    // made anew each time it opens
    void onTaskBarEvent(zilui::TaskBarEvent event) override;
};

void MyFrame::showTrayIcon(const wxIcon& appIcon)
{
    m_trayIcon = new CTrayIcon;                            // a zil::P<zilui::CTaskBarIcon>
    m_trayIcon->setIconAndToolTipText(appIcon, L"My application");
    m_trayIcon->show();
    m_trayIcon->Bind(wxEVT_MENU, &MyFrame::onTrayCommand, this); // commands of the menu
    m_trayIcon->showNotification(L"Backup", L"Finished.", zilui::NIIF_INFO, 5000);
    m_trayIcon->initWindowsTaskBarFeatures(this);
    m_trayIcon->setTaskBarProgress(0.5);
}

wxMenu* CTrayIcon::createPopupMenu()
{
    auto* menu = new wxMenu;
    menu->Append(wxID_OPEN, "&Open");
    return menu;
}

void CTrayIcon::onTaskBarEvent(zilui::TaskBarEvent) {}
