// SPDX-License-Identifier: MIT
#include "dbusmenuexport.h"

#include "sessionbus.h"

#include <wx/menu.h>

namespace zilui::desktop {

namespace {

// Where a wxMenu item's id and menu are kept on its D-Bus twin.
constexpr const char* kWxIdKey = "zilui-wx-id";
constexpr const char* kWxMenuKey = "zilui-wx-menu";

// Whether `parent`'s children stand for `menu`'s items one to one: the same kinds in the same
// order, with submenus of the same shape, so that they can take the menu's state in place.
bool sameMenuShape(DbusmenuMenuitem* parent, const wxMenu& menu)
{
    GList* child = dbusmenu_menuitem_get_children(parent);
    for (const wxMenuItem* item : menu.GetMenuItems()) {
        if (!child)
            return false;
        auto* d = static_cast<DbusmenuMenuitem*>(child->data);
        child = child->next;
        const bool separator =
            g_strcmp0(dbusmenu_menuitem_property_get(d, DBUSMENU_MENUITEM_PROP_TYPE), "separator") == 0;
        const bool submenu =
            dbusmenu_menuitem_property_get(d, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY) != nullptr;
        if (separator != item->IsSeparator() || submenu != (item->GetSubMenu() != nullptr) ||
            (submenu && !sameMenuShape(d, *item->GetSubMenu())))
            return false;
    }
    return child == nullptr;
}

// The label and state of `item` on its D-Bus twin, and for a command the wxWidgets item it
// stands for. A property that keeps its value sends nothing to the host.
void setMenuItemState(DbusmenuMenuitem* d, const wxMenuItem& item)
{
    dbusmenu_menuitem_property_set(d, DBUSMENU_MENUITEM_PROP_LABEL,
                                   menuLabel(item.GetItemLabel().utf8_string()).c_str());
    dbusmenu_menuitem_property_set_bool(d, DBUSMENU_MENUITEM_PROP_ENABLED, item.IsEnabled());
    if (item.IsCheckable()) {
        dbusmenu_menuitem_property_set(d, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                       item.IsRadio() ? DBUSMENU_MENUITEM_TOGGLE_RADIO
                                                      : DBUSMENU_MENUITEM_TOGGLE_CHECK);
        dbusmenu_menuitem_property_set_int(d, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                           item.IsChecked() ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                                            : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
    } else {
        dbusmenu_menuitem_property_remove(d, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE);
        dbusmenu_menuitem_property_remove(d, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE);
    }
    if (!item.GetSubMenu()) {
        g_object_set_data(G_OBJECT(d), kWxIdKey, GINT_TO_POINTER(item.GetId()));
        g_object_set_data(G_OBJECT(d), kWxMenuKey, item.GetMenu());
    }
}

// `menu`'s state on the D-Bus items of the same shape under `parent`.
void updateMenuItems(DbusmenuMenuitem* parent, const wxMenu& menu)
{
    GList* child = dbusmenu_menuitem_get_children(parent);
    for (const wxMenuItem* item : menu.GetMenuItems()) {
        auto* d = static_cast<DbusmenuMenuitem*>(child->data);
        child = child->next;
        if (item->IsSeparator())
            continue;
        setMenuItemState(d, *item);
        if (const wxMenu* sub = item->GetSubMenu())
            updateMenuItems(d, *sub);
    }
}

} // namespace

std::string menuLabel(const std::string& in)
{
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '&') {
            if (i + 1 < in.size() && in[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (in[i] == '_') {
            out += "__";
        } else {
            out += in[i];
        }
    }
    return out;
}

CDbusMenuExport::CDbusMenuExport(const zil::CBase& owner, std::function<Listener*()> listener)
    : m_owner(owner), m_listener(std::move(listener))
{
}

CDbusMenuExport::~CDbusMenuExport()
{
    withdraw();
}

void CDbusMenuExport::publish()
{
    Listener* listener = m_listener();
    if (!listener)
        return;
    std::unique_ptr<wxMenu> menu(listener->createBackendMenu());
    if (!m_server)
        m_server = dbusmenu_server_new(kMenuPath);
    // Items of the same shape as those exported take the new state in place, and the host gets
    // the changed properties alone: a new layout makes it refill a menu it may be showing, and
    // waybar now and then left that one empty.
    DbusmenuMenuitem* exported = nullptr;
    g_object_get(m_server, DBUSMENU_SERVER_PROP_ROOT_NODE, &exported, nullptr);
    const bool inPlace = exported && menu && sameMenuShape(exported, *menu);
    if (inPlace)
        updateMenuItems(exported, *menu);
    if (exported)
        g_object_unref(exported);
    if (inPlace) {
        m_menu = std::move(menu);
        return;
    }
    DbusmenuMenuitem* root = dbusmenu_menuitem_new();
    g_signal_connect(root, DBUSMENU_MENUITEM_SIGNAL_ABOUT_TO_SHOW, G_CALLBACK(&CDbusMenuExport::onAboutToShow),
                     this);
    // Items are numbered in menu order, so a menu made anew keeps the ids of the one the host
    // shows: a click on it that reaches us after the rebuild still finds its item.
    int nextId = 1;
    if (menu)
        addItems(root, *menu, nextId);
    dbusmenu_server_set_root(m_server, root);
    g_object_unref(root);
    m_menu = std::move(menu);
}

void CDbusMenuExport::withdraw()
{
    if (m_server) {
        g_object_unref(m_server);
        m_server = nullptr;
    }
    m_menu.reset();
}

void CDbusMenuExport::addItems(DbusmenuMenuitem* parent, wxMenu& menu, int& nextId)
{
    for (wxMenuItem* item : menu.GetMenuItems()) {
        DbusmenuMenuitem* d = dbusmenu_menuitem_new_with_id(nextId++);
        if (item->IsSeparator()) {
            dbusmenu_menuitem_property_set(d, DBUSMENU_MENUITEM_PROP_TYPE, "separator");
        } else {
            setMenuItemState(d, *item);
            if (wxMenu* sub = item->GetSubMenu()) {
                dbusmenu_menuitem_property_set(d, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                               DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
                addItems(d, *sub, nextId);
            } else {
                g_signal_connect(d, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                                 G_CALLBACK(&CDbusMenuExport::onItemActivated), this);
            }
        }
        dbusmenu_menuitem_child_append(parent, d);
        g_object_unref(d);
    }
}

void CDbusMenuExport::onItemActivated(DbusmenuMenuitem* item, guint, gpointer self)
{
    auto* menuExport = static_cast<CDbusMenuExport*>(self);
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kWxIdKey));
    auto* owner = static_cast<wxMenu*>(g_object_get_data(G_OBJECT(item), kWxMenuKey));
    if (!owner)
        return;
    // A check item toggles when chosen, as in a popup menu; a radio item becomes checked.
    const wxMenuItem* wxItem = owner->FindItem(id);
    const bool checked =
        wxItem && wxItem->IsCheckable() ? (wxItem->IsRadio() || !wxItem->IsChecked()) : false;
    zil::P<const zil::CBase> keep(&menuExport->m_owner);
    callAfter([keep, menuExport, id, checked] {
        // The menu may have been rebuilt meanwhile: a host asks for it anew as it opens, and the
        // click on the menu it shows can come before that rebuild has run. The command goes to
        // the item of the same id in the current menu; with none there, it is dropped.
        Listener* listener = menuExport->m_listener();
        if (!listener || !menuExport->m_menu)
            return;
        wxMenuItem* now = menuExport->m_menu->FindItem(id);
        if (!now)
            return;
        if (now->IsCheckable())
            now->Check(checked);
        listener->onBackendMenuCommand(*now->GetMenu(), id, checked);
    });
}

gboolean CDbusMenuExport::onAboutToShow(DbusmenuMenuitem*, gpointer self)
{
    // The menu is made anew each time it opens, so its labels and states are current; unless
    // it was withdrawn meanwhile.
    auto* menuExport = static_cast<CDbusMenuExport*>(self);
    zil::P<const zil::CBase> keep(&menuExport->m_owner);
    callAfter([keep, menuExport] {
        if (menuExport->m_server)
            menuExport->publish();
    });
    return TRUE;
}

} // namespace zilui::desktop
