// SPDX-License-Identifier: MIT
#include "listaccessible.h"

#include <wx/listctrl.h>

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zilui::gtk {

namespace {

struct ListTable;
struct ListRow;

// The objects below are GObjects: C++ members are pointers made in init and freed in finalize.

// The list's own object, on the widget that takes the keyboard focus, so that GTK's focus
// tracking lands on it. A GtkWidgetAccessible: parent, extents and the widget's own states
// come from GTK.
struct ListTable {
    GtkWidgetAccessible parent;
    wxListView* list;               // null once the list is destroyed
    std::map<long, ListRow*>* rows; // those a reader asked for, one reference each
    std::vector<std::string>* headers;
};
struct ListTableClass {
    GtkWidgetAccessibleClass parent;
};

// A row keeps its table until the rows are replaced or the list goes; then it is defunct.
// Its parent reference holds the table, and the table's cache holds the row: the cache is
// emptied on both occasions, which ends the cycle.
struct ListRow {
    AtkObject parent;
    ListTable* table;
    long index;
    std::vector<AtkObject*>* cells; // made as asked for, one reference each
    std::string* name;              // what get_name returned last
};
struct ListRowClass {
    AtkObjectClass parent;
};

struct ListCell {
    AtkObject parent;
    ListRow* row; // null once the row is defunct
    int column;
    std::string* name;
};
struct ListCellClass {
    AtkObjectClass parent;
};

GType list_table_get_type();
GType list_row_get_type();
GType list_cell_get_type();

ListTable* tableOf(gpointer object)
{
    return reinterpret_cast<ListTable*>(object);
}
ListRow* rowOf(gpointer object)
{
    return reinterpret_cast<ListRow*>(object);
}
ListCell* cellOf(gpointer object)
{
    return reinterpret_cast<ListCell*>(object);
}

gint toGint(long count)
{
    return static_cast<gint>(std::min<long>(count, INT_MAX));
}

wxListView* listOf(const ListRow* row)
{
    return row && row->table ? row->table->list : nullptr;
}

bool hasRow(const wxListView* list, long index)
{
    return list && index >= 0 && index < list->GetItemCount();
}

ListRow* rowAt(ListTable* table, long index)
{
    if (!hasRow(table->list, index))
        return nullptr;
    ListRow*& row = (*table->rows)[index];
    if (!row) {
        row = rowOf(g_object_new(list_row_get_type(), nullptr));
        row->table = table;
        row->index = index;
        atk_object_set_parent(ATK_OBJECT(row), ATK_OBJECT(table));
        atk_object_set_role(ATK_OBJECT(row), ATK_ROLE_TABLE_ROW);
    }
    return row;
}

AtkObject* cellAt(ListRow* row, int column)
{
    wxListView* list = listOf(row);
    if (!list || column < 0 || column >= list->GetColumnCount())
        return nullptr;
    if (row->cells->size() <= static_cast<size_t>(column))
        row->cells->resize(static_cast<size_t>(column) + 1, nullptr);
    AtkObject*& cell = (*row->cells)[static_cast<size_t>(column)];
    if (!cell) {
        cell = ATK_OBJECT(g_object_new(list_cell_get_type(), nullptr));
        cellOf(cell)->row = row;
        cellOf(cell)->column = column;
        atk_object_set_parent(cell, ATK_OBJECT(row));
        atk_object_set_role(cell, ATK_ROLE_TABLE_CELL);
    }
    return cell;
}

void forgetCells(ListRow* row)
{
    for (AtkObject* cell : *row->cells)
        if (cell) {
            cellOf(cell)->row = nullptr;
            g_object_unref(cell);
        }
    row->cells->clear();
}

// Rows a reader still holds say they are gone.
void forgetRows(ListTable* table)
{
    std::map<long, ListRow*> rows;
    rows.swap(*table->rows);
    for (const auto& [index, row] : rows) {
        forgetCells(row);
        row->table = nullptr;
        atk_object_notify_state_change(ATK_OBJECT(row), ATK_STATE_DEFUNCT, TRUE);
        g_object_unref(row);
    }
}

bool listHasFocus(wxListView& list)
{
    const wxWindow* focus = wxWindow::FindFocus();
    return focus && (focus == &list || focus->GetParent() == &list);
}

// What a row and its cells share. Only rows (not cells) are selected and focused.
void addItemStates(AtkStateSet* set, wxListView& list, long index, bool isRow)
{
    atk_state_set_add_state(set, ATK_STATE_VISIBLE);
    if (list.IsEnabled()) {
        atk_state_set_add_state(set, ATK_STATE_ENABLED);
        atk_state_set_add_state(set, ATK_STATE_SENSITIVE);
    }
    const long top = list.GetTopItem();
    if (list.IsShownOnScreen() && index >= top && index <= top + list.GetCountPerPage())
        atk_state_set_add_state(set, ATK_STATE_SHOWING);
    if (!isRow)
        return;
    atk_state_set_add_state(set, ATK_STATE_SELECTABLE);
    atk_state_set_add_state(set, ATK_STATE_FOCUSABLE);
    if (list.IsSelected(index))
        atk_state_set_add_state(set, ATK_STATE_SELECTED);
    if (list.GetFocusedItem() == index && listHasFocus(list))
        atk_state_set_add_state(set, ATK_STATE_FOCUSED);
}

// ListRow

G_DEFINE_TYPE(ListRow, list_row, ATK_TYPE_OBJECT)

void list_row_init(ListRow* self)
{
    self->table = nullptr;
    self->index = -1;
    self->cells = new std::vector<AtkObject*>();
    self->name = new std::string();
}

void list_row_finalize(GObject* object)
{
    ListRow* self = rowOf(object);
    forgetCells(self);
    delete self->cells;
    delete self->name;
    G_OBJECT_CLASS(list_row_parent_class)->finalize(object);
}

const gchar* list_row_get_name(AtkObject* object)
{
    ListRow* self = rowOf(object);
    wxListView* list = listOf(self);
    if (hasRow(list, self->index))
        *self->name = list->GetItemText(self->index, 0).utf8_string();
    return self->name->c_str();
}

gint list_row_get_index_in_parent(AtkObject* object)
{
    return rowOf(object)->table ? toGint(rowOf(object)->index) : -1;
}

gint list_row_get_n_children(AtkObject* object)
{
    wxListView* list = listOf(rowOf(object));
    return list ? list->GetColumnCount() : 0;
}

AtkObject* list_row_ref_child(AtkObject* object, gint index)
{
    AtkObject* cell = cellAt(rowOf(object), index);
    return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

AtkStateSet* list_row_ref_state_set(AtkObject* object)
{
    AtkStateSet* set = ATK_OBJECT_CLASS(list_row_parent_class)->ref_state_set(object);
    ListRow* self = rowOf(object);
    if (wxListView* list = listOf(self); hasRow(list, self->index))
        addItemStates(set, *list, self->index, true);
    else
        atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
    return set;
}

void list_row_class_init(ListRowClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = list_row_finalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = list_row_get_name;
    atk->get_index_in_parent = list_row_get_index_in_parent;
    atk->get_n_children = list_row_get_n_children;
    atk->ref_child = list_row_ref_child;
    atk->ref_state_set = list_row_ref_state_set;
}

// ListCell

G_DEFINE_TYPE(ListCell, list_cell, ATK_TYPE_OBJECT)

void list_cell_init(ListCell* self)
{
    self->row = nullptr;
    self->column = -1;
    self->name = new std::string();
}

void list_cell_finalize(GObject* object)
{
    delete cellOf(object)->name;
    G_OBJECT_CLASS(list_cell_parent_class)->finalize(object);
}

const gchar* list_cell_get_name(AtkObject* object)
{
    ListCell* self = cellOf(object);
    wxListView* list = listOf(self->row);
    if (list && hasRow(list, self->row->index) && self->column < list->GetColumnCount())
        *self->name = list->GetItemText(self->row->index, self->column).utf8_string();
    return self->name->c_str();
}

gint list_cell_get_index_in_parent(AtkObject* object)
{
    return cellOf(object)->row ? cellOf(object)->column : -1;
}

AtkStateSet* list_cell_ref_state_set(AtkObject* object)
{
    AtkStateSet* set = ATK_OBJECT_CLASS(list_cell_parent_class)->ref_state_set(object);
    ListCell* self = cellOf(object);
    wxListView* list = listOf(self->row);
    if (list && hasRow(list, self->row->index))
        addItemStates(set, *list, self->row->index, false);
    else
        atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
    return set;
}

void list_cell_class_init(ListCellClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = list_cell_finalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = list_cell_get_name;
    atk->get_index_in_parent = list_cell_get_index_in_parent;
    atk->ref_state_set = list_cell_ref_state_set;
}

// ListTable: AtkTable for readers that walk by row and column, AtkSelection for the selection.

void list_table_table_init(AtkTableIface* iface);
void list_table_selection_init(AtkSelectionIface* iface);

G_DEFINE_TYPE_WITH_CODE(ListTable, list_table, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_TABLE, list_table_table_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_SELECTION, list_table_selection_init))

void list_table_init(ListTable* self)
{
    self->list = nullptr;
    self->rows = new std::map<long, ListRow*>();
    self->headers = new std::vector<std::string>();
}

void list_table_finalize(GObject* object)
{
    ListTable* self = tableOf(object);
    forgetRows(self);
    delete self->rows;
    delete self->headers;
    G_OBJECT_CLASS(list_table_parent_class)->finalize(object);
}

void list_table_initialize(AtkObject* object, gpointer data)
{
    ATK_OBJECT_CLASS(list_table_parent_class)->initialize(object, data);
    object->role = ATK_ROLE_TABLE;
}

gint list_table_get_n_children(AtkObject* object)
{
    wxListView* list = tableOf(object)->list;
    return list ? toGint(list->GetItemCount()) : 0;
}

AtkObject* list_table_ref_child(AtkObject* object, gint index)
{
    ListRow* row = rowAt(tableOf(object), index);
    return row ? ATK_OBJECT(g_object_ref(row)) : nullptr;
}

AtkStateSet* list_table_ref_state_set(AtkObject* object)
{
    AtkStateSet* set = ATK_OBJECT_CLASS(list_table_parent_class)->ref_state_set(object);
    // The bridge walks and caches the children of every object but those that manage their
    // descendants: without it, a million-row list would be a million objects on first look.
    atk_state_set_add_state(set, ATK_STATE_MANAGES_DESCENDANTS);
    if (wxListView* list = tableOf(object)->list; list && !list->HasFlag(wxLC_SINGLE_SEL))
        atk_state_set_add_state(set, ATK_STATE_MULTISELECTABLE);
    return set;
}

void list_table_class_init(ListTableClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = list_table_finalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->initialize = list_table_initialize;
    atk->get_n_children = list_table_get_n_children;
    atk->ref_child = list_table_ref_child;
    atk->ref_state_set = list_table_ref_state_set;
}

// The `index`-th selected row, -1 if there are fewer.
long nthSelected(wxListView& list, gint index)
{
    long row = list.GetFirstSelected();
    while (row != -1 && index-- > 0)
        row = list.GetNextSelected(row);
    return row;
}

void list_table_selection_init(AtkSelectionIface* iface)
{
    iface->add_selection = [](AtkSelection* selection, gint index) -> gboolean {
        wxListView* list = tableOf(selection)->list;
        if (!hasRow(list, index))
            return FALSE;
        list->Select(index, true);
        return TRUE;
    };
    iface->remove_selection = [](AtkSelection* selection, gint index) -> gboolean {
        wxListView* list = tableOf(selection)->list;
        const long row = list ? nthSelected(*list, index) : -1;
        if (row == -1)
            return FALSE;
        list->Select(row, false);
        return TRUE;
    };
    iface->clear_selection = [](AtkSelection* selection) -> gboolean {
        wxListView* list = tableOf(selection)->list;
        if (!list)
            return FALSE;
        for (long row = list->GetFirstSelected(); row != -1; row = list->GetNextSelected(row))
            list->Select(row, false);
        return TRUE;
    };
    iface->ref_selection = [](AtkSelection* selection, gint index) -> AtkObject* {
        ListTable* table = tableOf(selection);
        ListRow* row = table->list && index >= 0 ? rowAt(table, nthSelected(*table->list, index)) : nullptr;
        return row ? ATK_OBJECT(g_object_ref(row)) : nullptr;
    };
    iface->get_selection_count = [](AtkSelection* selection) -> gint {
        wxListView* list = tableOf(selection)->list;
        return list ? list->GetSelectedItemCount() : 0;
    };
    iface->is_child_selected = [](AtkSelection* selection, gint index) -> gboolean {
        wxListView* list = tableOf(selection)->list;
        return hasRow(list, index) && list->IsSelected(index);
    };
}

void list_table_table_init(AtkTableIface* iface)
{
    iface->get_n_rows = [](AtkTable* table) -> gint { return list_table_get_n_children(ATK_OBJECT(table)); };
    iface->get_n_columns = [](AtkTable* table) -> gint {
        wxListView* list = tableOf(table)->list;
        return list ? list->GetColumnCount() : 0;
    };
    iface->ref_at = [](AtkTable* table, gint row, gint column) -> AtkObject* {
        ListRow* found = rowAt(tableOf(table), row);
        AtkObject* cell = found ? cellAt(found, column) : nullptr;
        return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
    };
    iface->get_column_description = [](AtkTable* table, gint column) -> const gchar* {
        ListTable* self = tableOf(table);
        if (!self->list || column < 0 || column >= self->list->GetColumnCount())
            return nullptr;
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        self->list->GetColumn(column, item);
        self->headers->resize(std::max(self->headers->size(), static_cast<size_t>(column) + 1));
        return ((*self->headers)[static_cast<size_t>(column)] = item.GetText().utf8_string()).c_str();
    };
    iface->is_row_selected = [](AtkTable* table, gint row) -> gboolean {
        wxListView* list = tableOf(table)->list;
        return hasRow(list, row) && list->IsSelected(row);
    };
    iface->is_selected = [](AtkTable* table, gint row, gint) -> gboolean {
        wxListView* list = tableOf(table)->list;
        return hasRow(list, row) && list->IsSelected(row);
    };
    iface->get_selected_rows = [](AtkTable* table, gint** selected) -> gint {
        wxListView* list = tableOf(table)->list;
        const gint count = list ? list->GetSelectedItemCount() : 0;
        *selected = count > 0 ? g_new(gint, count) : nullptr;
        gint n = 0;
        for (long row = count > 0 ? list->GetFirstSelected() : -1; row != -1 && n < count;
             row = list->GetNextSelected(row))
            (*selected)[n++] = toGint(row);
        return n;
    };
}

// Which object GTK gives for a widget is its class's get_accessible; the wxWidgets widget
// class is shared by every window, so the override answers the list's table for the widgets
// that have one and asks the class's own function for all others.
GQuark tableQuark()
{
    static const GQuark quark = g_quark_from_static_string("zilui-list-accessible");
    return quark;
}

using GetAccessible = AtkObject* (*)(GtkWidget*);

std::map<GType, GetAccessible>& originalGetAccessible()
{
    static std::map<GType, GetAccessible> originals;
    return originals;
}

AtkObject* getAccessible(GtkWidget* widget)
{
    if (gpointer table = g_object_get_qdata(G_OBJECT(widget), tableQuark()))
        return ATK_OBJECT(table);
    // A class derived after the override inherits it: its nearest overridden ancestor's own.
    for (GType type = G_TYPE_FROM_INSTANCE(widget); type; type = g_type_parent(type)) {
        const auto found = originalGetAccessible().find(type);
        if (found != originalGetAccessible().end())
            return found->second(widget);
    }
    return nullptr;
}

void routeGetAccessible(GtkWidget* widget)
{
    GtkWidgetClass* klass = GTK_WIDGET_GET_CLASS(widget);
    if (klass->get_accessible == getAccessible)
        return;
    originalGetAccessible()[G_TYPE_FROM_CLASS(klass)] = klass->get_accessible;
    klass->get_accessible = getAccessible;
}

// The window that takes the keyboard focus: the generic list control's main window, its child.
wxWindow* focusWindowOf(wxListView& list)
{
    for (wxWindow* child : list.GetChildren())
        if (static_cast<void*>(child) == static_cast<void*>(list.m_mainWin))
            return child;
    return &list;
}

ListTable* findTable(wxListView& list)
{
    auto* widget = static_cast<GtkWidget*>(focusWindowOf(list)->GetHandle());
    return widget ? tableOf(g_object_get_qdata(G_OBJECT(widget), tableQuark())) : nullptr;
}

void onWidgetDestroyed(GtkWidget*, gpointer table)
{
    forgetRows(tableOf(table));
    tableOf(table)->list = nullptr;
    gtk_accessible_set_widget(GTK_ACCESSIBLE(table), nullptr);
}

} // namespace

void installListAccessible(wxListView& list)
{
    auto* widget = static_cast<GtkWidget*>(focusWindowOf(list)->GetHandle());
    if (!widget || findTable(list))
        return;
    routeGetAccessible(widget);
    // As GTK makes a widget's object.
    ListTable* table = tableOf(g_object_new(list_table_get_type(), "widget", widget, nullptr));
    atk_object_initialize(ATK_OBJECT(table), widget);
    table->list = &list;
    g_object_set_qdata_full(G_OBJECT(widget), tableQuark(), table, g_object_unref);
    g_signal_connect(widget, "destroy", G_CALLBACK(onWidgetDestroyed), table);

    // The handlers hold the table for as long as the list holds them.
    const std::shared_ptr<ListTable> held(tableOf(g_object_ref(table)), [](ListTable* t) { g_object_unref(t); });
    const auto selected = [held](wxListEvent& event) {
        event.Skip();
        // Cells and rows not asked for have nobody to tell.
        const auto found = held->rows->find(event.GetIndex());
        if (found != held->rows->end())
            atk_object_notify_state_change(ATK_OBJECT(found->second), ATK_STATE_SELECTED,
                                           event.GetEventType() == wxEVT_LIST_ITEM_SELECTED);
        if (held->list)
            g_signal_emit_by_name(held.get(), "selection-changed");
    };
    list.Bind(wxEVT_LIST_ITEM_SELECTED, selected);
    list.Bind(wxEVT_LIST_ITEM_DESELECTED, selected);
    list.Bind(wxEVT_LIST_ITEM_FOCUSED, [held](wxListEvent& event) {
        event.Skip();
        if (ListRow* row = rowAt(held.get(), event.GetIndex())) {
            atk_object_notify_state_change(ATK_OBJECT(row), ATK_STATE_FOCUSED, TRUE);
            g_signal_emit_by_name(held.get(), "active-descendant-changed", row);
        }
    });
    list.Bind(wxEVT_DESTROY, [held, &list](wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() == &list) {
            forgetRows(held.get());
            held->list = nullptr;
        }
    });
}

void listRowsReplaced(wxListView& list)
{
    ListTable* table = findTable(list);
    if (!table)
        return;
    forgetRows(table);
    g_signal_emit_by_name(table, "model-changed");
    g_signal_emit_by_name(table, "visible-data-changed");
}

} // namespace zilui::gtk
