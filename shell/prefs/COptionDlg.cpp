#include "shell/prefs/COptionDlg.h"

#include "shell/dialogs/TranslateDialog.h"
#include "shell/prefs/COptionPage.h"
#include "shell/prefs/CSettingDlg_Account.h"
#include "shell/prefs/CSettingDlg_General.h"
#include "shell/prefs/CSettingDlg_IPFilter.h"
#include "shell/prefs/CSettingDlg_Language.h"
#include "shell/prefs/CSettingDlg_Plugin.h"
#include "shell/prefs/CSettingDlg_Server.h"
#include "shell/prefs/CSettingDlg_Skin.h"
#include "shell/prefs/CSettingDlg_Throttle.h"
#include "shell/prefs/PageControls.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

// The page frame's margin around a page.
constexpr int kFrameMargin = 15;

} // namespace

template <typename T> void COptionDlg::AddPage(OptionEnvironment& environment, const char* name) {
    m_pages.push_back(Entry{ShellText(name), std::make_unique<COptionPage<T>>(environment)});
}

COptionDlg::COptionDlg(OptionEnvironment& environment, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("COptionDlg"));
    setWindowTitle(ShellText("환경설정"));
    resize(640, 470);

    AddPage<CSettingDlg_General>(environment, "일반");
    AddPage<CSettingDlg_Server>(environment, "서버");
    AddPage<CSettingDlg_Language>(environment, "언어");
    AddPage<CSettingDlg_IPFilter>(environment, "IP 필터");
    AddPage<CSettingDlg_Throttle>(environment, "접속제한");
    AddPage<CSettingDlg_Account>(environment, "계정");
    AddPage<CSettingDlg_Skin>(environment, "스킨");
    AddPage<CSettingDlg_Plugin>(environment, "플러그인");

    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout();
    m_list = WithId(new QListWidget(this), 1012);
    m_list->setMaximumWidth(130);
    m_frame = WithId(new QGroupBox(this), 1009);
    auto* frameLayout = new QVBoxLayout(m_frame);
    frameLayout->setContentsMargins(kFrameMargin, kFrameMargin, kFrameMargin, kFrameMargin);
    body->addWidget(m_list);
    body->addWidget(m_frame, 1);
    layout->addLayout(body, 1);

    layout->addWidget(MakeOkCancelButtons(*this));

    for (const Entry& entry : m_pages) {
        m_list->addItem(entry.name);
    }
    // Every page is made and filled now, so OK applies pages the user never looked at as they were stored.
    for (const Entry& entry : m_pages) {
        entry.page->Create(m_frame);
    }
    ShowPage(0);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != m_current) {
            ShowPage(row);
        }
    });
    TranslateDialog(*this);
}

COptionDlg::~COptionDlg() {
    DestroyPages();
}

void COptionDlg::ShowPage(int index) {
    if (index < 0 || index >= GetPageCount()) {
        return;
    }
    m_current = index;
    // The others go before the new page shows: for a moment both would be laid out, and the dialog
    // would grow to hold them and never shrink back.
    for (int i = 0; i < GetPageCount(); ++i) {
        if (i != index) {
            GetPage(i).Show(false);
        }
    }
    GetPage(index).Show(true);
    const QSignalBlocker quiet(m_list);
    m_list->setCurrentRow(index);
    m_frame->setTitle(m_list->item(index)->text());
}

void COptionDlg::accept() {
    for (int i = 0; i < GetPageCount(); ++i) {
        if (!GetPage(i).Validate()) {
            // The box comes over the page with the bad value, its field focused, not over the page shown.
            ShowPage(i);
            GetPage(i).Refuse();
            return;
        }
    }
    for (const Entry& entry : m_pages) {
        entry.page->Apply();
    }
    DestroyPages();
    QDialog::accept();
}

void COptionDlg::reject() {
    DestroyPages();
    QDialog::reject();
}

void COptionDlg::DestroyPages() {
    for (const Entry& entry : m_pages) {
        entry.page->Destroy();
    }
}

} // namespace Vuxo
