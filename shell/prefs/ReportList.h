// The report lists of the preferences pages (rules, accounts, skins, plug-ins): a QTreeWidget without a
// tree, one row selected at a time, whole rows selected, headers translated; and the selection helpers the
// pages share. GUI thread.
#pragma once

#include <initializer_list>
#include <utility>

class QTreeWidget;
class QWidget;

namespace Vuxo {

// Columns as (built-in header text, width in pixels).
QTreeWidget* MakeReportList(QWidget* parent, std::initializer_list<std::pair<const char*, int>> columns);

// The selected row, -1 for none.
int SelectedListRow(const QTreeWidget& list);
// Selects `row` alone, makes it current, scrolls it into view and gives the list the focus; -1 clears the
// selection.
void SelectListRow(QTreeWidget& list, int row);

} // namespace Vuxo
