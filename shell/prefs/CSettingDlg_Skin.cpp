#include "shell/prefs/CSettingDlg_Skin.h"

#include "core/log/Trace.h"
#include "service/config/QuilloConfig.h"
#include "service/skins/SkinManager.h"
#include "shell/prefs/PageControls.h"
#include "shell/prefs/ReportList.h"

#include <QTreeWidget>
#include <QVBoxLayout>

namespace Vuxo {

CSettingDlg_Skin::CSettingDlg_Skin(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment) {
    auto* layout = new QVBoxLayout(this);
    m_skins = WithId(MakeReportList(this, {{"스킨", 275}}), 1062);
    layout->addWidget(m_skins);

    const std::string defaultSkin = m_environment.config.defaultSkin.Get();
    int selected = 0;
    // ListSkinNames is in ascending order already.
    for (const std::string& name : m_environment.skins.ListSkinNames()) {
        auto* item = new QTreeWidgetItem(m_skins, {QString::fromStdString(name)});
        if (name == defaultSkin) {
            selected = m_skins->indexOfTopLevelItem(item);
        }
    }
    SelectListRow(*m_skins, m_skins->topLevelItemCount() > 0 ? selected : -1);
}

void CSettingDlg_Skin::Apply() {
    const int row = SelectedListRow(*m_skins);
    const std::string name = row >= 0 ? m_skins->topLevelItem(row)->text(0).toStdString() : std::string();
    m_environment.config.defaultSkin.Set(name);
    if (m_environment.skins.HasSkin(name)) {
        m_environment.skins.SetDefaultSkin(name);
        Trace(LOG_NOTICE, Tr("%s 스킨을 기본스킨으로 설정"), name.c_str());
    } else {
        Trace(LOG_WARNING, Tr("기본스킨으로 지정된 %s 스킨이 없음!"), name.c_str());
    }
}

} // namespace Vuxo
