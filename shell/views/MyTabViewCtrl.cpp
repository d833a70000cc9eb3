#include "shell/views/MyTabViewCtrl.h"

#include "core/i18n/LocalizationStringTable.h"
#include "service/mounts/Mount.h"
#include "service/mounts/MountManager.h"
#include "shell/views/LogView.h"
#include "shell/views/MountView.h"
#include "shell/views/StatusView.h"
#include "shell/views/ViewIcons.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>

namespace Vuxo {
namespace {

bool HasLocalFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return false;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

} // namespace

CMyTabViewCtrl::CMyTabViewCtrl(GuiTransferStatusAggregator& aggregator, LogQueue& logQueue, QWidget* parent,
                               int quietMs)
    : CTabViewCtrl(parent), m_mountView(new CMountView(this)),
      m_statusView(new CStatusView(aggregator, this, quietMs)),
      m_logView(new CLogView(logQueue, this, quietMs)) {
    setAcceptDrops(true);
    AddTab(QString::fromUtf8(Tr("공유")), m_mountView, true, TabIcon(kSharesTab));
    AddTab(QString::fromUtf8(Tr("전송상태")), m_statusView, false, TabIcon(kStatusTab));
    AddTab(QString::fromUtf8(Tr("로그")), m_logView, false, TabIcon(kLogTab));
}

CMyTabViewCtrl::~CMyTabViewCtrl() = default;

void CMyTabViewCtrl::SetMountManager(MountManager* manager) {
    m_mountView->SetMountManager(manager);
}

void CMyTabViewCtrl::ClearLog() {
    m_logView->Clear();
}

std::vector<std::string> CMyTabViewCtrl::AddDroppedUrls(const QList<QUrl>& urls) {
    std::vector<std::string> names;
    MountManager* manager = m_mountView->GetMountManager();
    if (manager == nullptr) {
        return names;
    }
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        // The file system's own bytes for the name, whatever the locale.
        QByteArray path = QFile::encodeName(url.toLocalFile());
        std::string name = manager->AddMount(path.toStdString());
        if (name.empty()) {
            continue; // refused; the manager's log entry says why
        }
        // Show the path as the manager stored it (absolute, normalised).
        Mount mount;
        std::string shown = manager->GetMount(name, mount) ? mount.localPath : path.toStdString();
        m_mountView->AddMount(shown, name);
        names.push_back(std::move(name));
    }
    return names;
}

void CMyTabViewCtrl::dragEnterEvent(QDragEnterEvent* event) {
    if (HasLocalFiles(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CMyTabViewCtrl::dragMoveEvent(QDragMoveEvent* event) {
    if (HasLocalFiles(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CMyTabViewCtrl::dropEvent(QDropEvent* event) {
    if (!HasLocalFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    AddDroppedUrls(event->mimeData()->urls());
    event->acceptProposedAction();
}

} // namespace Vuxo
