// SPDX-License-Identifier: MIT
// What a screen reader learns about a drawn list: wxWidgets' list control on GTK paints its
// rows itself and gives assistive technology nothing but an empty panel.
#pragma once

class wxListView;

namespace zilui::gtk {

// Makes `list` read as a table: one row per item, named by its first column, with a cell per
// column and the selection and the focused item as the rows' states. Row objects are made only
// as a reader asks for them, so that a virtual list of a million rows costs nothing until
// read. Call once, after the list is created.
void installListAccessible(wxListView& list);

// The rows were replaced as a whole (a virtual list given other rows): row objects a reader
// holds are gone, and the reader asks again.
void listRowsReplaced(wxListView& list);

} // namespace zilui::gtk
