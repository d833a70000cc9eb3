#include "shell/prefs/CSettingDlg_Plugin.h"

#include "core/i18n/LocalizationStringTable.h"
#include "service/accounts/AuthoritySet.h"
#include "service/plugins/PluginManager.h"
#include "shell/prefs/PageControls.h"
#include "shell/prefs/ReportList.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace Vuxo {

CSettingDlg_Plugin::CSettingDlg_Plugin(OptionEnvironment& environment, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    QTreeWidget* list =
        WithId(MakeReportList(this, {{"플러그인", 150}, {"버전", 50}, {"제작자", 100}}), 1067);
    layout->addWidget(list);

    // Every right: every plug-in, whatever it requires of a visitor.
    const AuthoritySet everything(AuthoritySet::kAll);
    std::vector<PluginInfo> plugins;
    environment.plugins.ListPlugins(plugins, &everything);
    for (const PluginInfo& info : plugins) {
        const std::shared_ptr<const PluginRecord> record = environment.plugins.GetPlugin(info.id);
        if (record == nullptr) {
            continue; // unloaded meanwhile
        }
        // A plug-in names itself in the built-in language; the table translates it as on the folder
        // pages. One that gives no name is shown by its id (its folder's name).
        const std::string name = LocalizationStringTable::GetInstance().GetString(record->GetName().c_str());
        new QTreeWidgetItem(list, {QString::fromStdString(name.empty() ? info.id : name),
                                   QString::fromStdString(record->GetVersion()),
                                   QString::fromStdString(record->GetAuthor())});
    }
    // The names are longer in some languages than the column's width: the column widens to them.
    const int width = list->columnWidth(0);
    list->resizeColumnToContents(0);
    list->setColumnWidth(0, std::max(width, list->columnWidth(0)));
    list->setSortingEnabled(true);
    list->sortByColumn(0, Qt::AscendingOrder);
}

} // namespace Vuxo
