#include "shell/dialogs/AboutDlg.h"

#include "shell/dialogs/DialogButtons.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/LinkLabel.h"
#include "shell/frame/CommandIds.h"
#include "shell/platform/ShellText.h"
#include "shell/res/ShellResources.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

constexpr int kIconSize = 64;

} // namespace

QString CAboutDlg::VersionText() {
    return QStringLiteral("%1 rev %2").arg(QString::fromUtf8(kVersionText)).arg(kRevision);
}

CAboutDlg::CAboutDlg(UrlOpener& opener, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(QStringLiteral("About"));

    auto* icon = new QLabel(this);
    icon->setPixmap(LoadShellIcon(QStringLiteral("corvanta")).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);

    // The whole text, however long: "$ver" is replaced wherever it stands.
    QString text =
        QStringLiteral("Quillo Corvanta $ver\n\n") +
        ShellText("웹 브라우저로 폴더와 파일을 나누는 HTTP 파일 공유 서버") + QStringLiteral("\n") +
        ShellText("공유 항목마다 계정별 권한, 속도 제한과 접속 제한을 지정할 수 있습니다.") +
        QStringLiteral("\n\n") +
        ShellText("창을 닫아도 알림 영역에서 계속 실행되며, 모든 전송과 기록을 창에서 실시간으로 볼 수 "
                  "있습니다.");
    text.replace(QStringLiteral("$ver"), VersionText());
    auto* label = new QLabel(text, this);
    label->setObjectName(ControlName(kTextId));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);

    const QString homepage = QString::fromUtf8(kHomepageAddress);
    QLabel* link = MakeLinkLabel(opener, homepage, homepage, this);
    link->setObjectName(ControlName(kLinkId));

    auto* texts = new QVBoxLayout;
    texts->addWidget(label);
    texts->addWidget(link);
    texts->addStretch(1);
    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(MakeButtonRow(*this, {{IDOK, ShellText("확인")}}));
}

} // namespace Vuxo
