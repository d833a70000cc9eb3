#include "shell/prefs/ReportList.h"

#include "shell/prefs/PageControls.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace Vuxo {

QTreeWidget* MakeReportList(QWidget* parent, std::initializer_list<std::pair<const char*, int>> columns) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setSectionsMovable(false);
    QStringList headers;
    for (const auto& [text, width] : columns) {
        headers << ShellText(text);
    }
    list->setHeaderLabels(headers);
    int column = 0;
    for (const auto& entry : columns) {
        list->setColumnWidth(column++, entry.second);
    }
    return list;
}

int SelectedListRow(const QTreeWidget& list) {
    const QList<QTreeWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.indexOfTopLevelItem(selected.first());
}

void SelectListRow(QTreeWidget& list, int row) {
    QTreeWidgetItem* item = row >= 0 ? list.topLevelItem(row) : nullptr;
    if (item == nullptr) {
        list.clearSelection();
        return;
    }
    list.setCurrentItem(item);
    item->setSelected(true);
    list.scrollToItem(item);
    list.setFocus(Qt::OtherFocusReason);
}

} // namespace Vuxo
