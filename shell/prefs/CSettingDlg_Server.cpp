#include "shell/prefs/CSettingDlg_Server.h"

#include "core/text/StringHelpers.h"
#include "service/config/QuilloConfig.h"
#include "service/server/QuilloServer.h"
#include "shell/prefs/PageControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QUrl>
#include <QVBoxLayout>

namespace Vuxo {

namespace {

// The radios of the address choice, by id.
constexpr int kLancardRadio = 1041;
constexpr int kPublicRadio = 1042;
constexpr int kHostNameRadio = 1043;
// Address texts are stored with at most this many characters.
constexpr int kAddressTextLimit = 127;

constexpr const char* kPortToolTip =
    "접속자가 연결할 포트 번호를 지정합니다. 인터넷 회선 공급자가 80번 포트를 "
    "막은 등의 경우에 8080 등으로 바꿔 주시면 됩니다.";

// At most `limit` UTF-16 units, never half of a surrogate pair, as UTF-8.
std::string LimitedUtf8(QString text, int limit) {
    if (text.size() > limit) {
        text.truncate(text.at(limit - 1).isHighSurrogate() ? limit - 1 : limit);
    }
    return text.toStdString();
}

} // namespace

CSettingDlg_Server::CSettingDlg_Server(OptionEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment), m_worker([this](bool reachable) {
          // Queued to the page: when the page is gone by then, Qt drops the call.
          QMetaObject::invokeMethod(
              this, [this, reachable] { OnCheckAnswered(reachable); }, Qt::QueuedConnection);
      }) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakePortGroup());
    m_showHidden = WithId(
        new QCheckBox(QString::fromUtf8("하드디스크의 숨김 파일 및 폴더도 웹페이지에 표시"), this), 1001);
    m_writeLog = WithId(new QCheckBox(QString::fromUtf8("로그를 파일에 기록"), this), 1003);
    m_rootAccess = WithId(
        new QCheckBox(QString::fromUtf8("접속자가 공유 항목 최상위 목록을 볼 수 있게 함"), this), 1006);
    layout->addWidget(m_showHidden);
    layout->addWidget(m_writeLog);
    layout->addWidget(m_rootAccess);
    layout->addWidget(MakeAddressGroup());
    layout->addStretch(1);
    Fill();
}

CSettingDlg_Server::~CSettingDlg_Server() {
    // Before the page's parts go: a test still waiting is cancelled, and its answer is queued to a page
    // that still exists (and is then dropped with it).
    m_worker.Stop();
}

QWidget* CSettingDlg_Server::MakePortGroup() {
    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);

    auto* portGroup = new QGroupBox(QString::fromUtf8("포트 번호"), row);
    auto* portLayout = new QVBoxLayout(portGroup);
    m_port = WithId(new QLineEdit(portGroup), kPortEditId);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    m_port->setMaxLength(10);
    m_port->setToolTip(ShellText(kPortToolTip));
    portLayout->addWidget(m_port);

    auto* checkGroup = new QGroupBox(QString::fromUtf8("접속 체크"), row);
    auto* checkLayout = new QHBoxLayout(checkGroup);
    checkLayout->addWidget(new QLabel(QString::fromUtf8("현재 포트"), checkGroup));
    m_currentPort = WithId(new QLineEdit(checkGroup), 1002);
    m_currentPort->setEnabled(false);
    checkLayout->addWidget(m_currentPort);
    m_check = WithId(new QPushButton(QString::fromUtf8("체크"), checkGroup), 1015);
    checkLayout->addWidget(m_check);
    connect(m_check, &QPushButton::clicked, this, &CSettingDlg_Server::RunConnectionCheck);

    rowLayout->addWidget(portGroup);
    rowLayout->addWidget(checkGroup);
    return row;
}

QWidget* CSettingDlg_Server::MakeAddressGroup() {
    auto* group = new QGroupBox(QString::fromUtf8("IP주소 표시"), this);
    auto* grid = new QGridLayout(group);
    m_addressChoice = new QButtonGroup(group);
    const std::pair<int, const char*> radios[] = {{kLancardRadio, "랜카드에 할당된 주소"},
                                                  {kHostNameRadio, "표시할 주소를 직접 지정"},
                                                  {kPublicRadio, "외부에서 자동으로 얻어오기"}};
    int row = 0;
    for (const auto& [id, text] : radios) {
        auto* radio = WithId(new QRadioButton(QString::fromUtf8(text), group), id);
        m_addressChoice->addButton(radio, id);
        grid->addWidget(radio, row++, 0);
    }
    m_lancard = WithId(new QComboBox(group), 1045);
    m_hostName = WithId(new QLineEdit(group), 1005);
    m_hostName->setMaxLength(kAddressTextLimit);
    grid->addWidget(m_lancard, 0, 1);
    grid->addWidget(m_hostName, 1, 1);
    grid->setColumnStretch(1, 1);
    connect(m_addressChoice, &QButtonGroup::idClicked, this, [this] { UpdateAddressControls(); });
    return group;
}

void CSettingDlg_Server::Fill() {
    const QuilloConfig& config = m_environment.config;
    const bool running = config.wasRunning.load();
    const QString currentPort = running ? QString::number(config.port.load()) : QString();

    const std::string preferred = config.preferredLancardAddress.Get();
    int selected = 0;
    const std::vector<std::string> addresses =
        m_environment.localAddresses ? m_environment.localAddresses() : std::vector<std::string>();
    for (size_t i = 0; i < addresses.size(); ++i) {
        m_lancard->addItem(QString::fromStdString(addresses[i]));
        if (addresses[i] == preferred) {
            selected = static_cast<int>(i);
        }
    }
    m_lancard->setCurrentIndex(addresses.empty() ? -1 : selected);
    m_hostName->setText(QString::fromStdString(config.HostName.Get()));

    // The public address wins when both flags are set.
    const int choice = config.getPublicIP.load()   ? kPublicRadio
                       : config.useHostName.load() ? kHostNameRadio
                                                   : kLancardRadio;
    m_addressChoice->button(choice)->setChecked(true);
    UpdateAddressControls();

    m_rootAccess->setChecked(config.canRootAccess.load());
    m_port->setText(QString::number(config.port.load()));
    m_showHidden->setChecked(config.showHiddenFiles.load());
    m_writeLog->setChecked(config.writeLog.load());
    m_currentPort->setText(currentPort);
    // The test asks the maker's service to reach the running server; without either there is nothing to ask.
    m_check->setEnabled(running && static_cast<bool>(m_environment.connectionCheck.run));
}

void CSettingDlg_Server::UpdateAddressControls() {
    const int choice = m_addressChoice->checkedId();
    m_lancard->setEnabled(choice == kLancardRadio);
    m_hostName->setEnabled(choice == kHostNameRadio);
}

bool CSettingDlg_Server::ReadPort(unsigned& port) const {
    bool ok = false;
    port = m_port->text().toUInt(&ok);
    return ok && port >= 1 && port <= 65535;
}

bool CSettingDlg_Server::Validate() {
    unsigned port = 0;
    return ReadPort(port);
}

void CSettingDlg_Server::Refuse() {
    m_port->setFocus(Qt::OtherFocusReason);
    m_port->selectAll();
    m_environment.platform.boxes.Show(
        this,
        QString::fromStdString(FormatString(256, Tr("Failed to exchanging data!\n(Control ID: %u)"),
                                            static_cast<unsigned>(kPortEditId))),
        QString(), BoxIcon::Warning, BoxButtons::Ok);
}

void CSettingDlg_Server::Apply() {
    QuilloConfig& config = m_environment.config;
    config.canRootAccess = m_rootAccess->isChecked();
    unsigned port = 0;
    if (ReadPort(port)) { // the dialog validated the page before; a bad port keeps the stored one
        config.showHiddenFiles = m_showHidden->isChecked();
        config.writeLog = m_writeLog->isChecked();
        config.port = static_cast<unsigned short>(port);
    }
    config.preferredLancardAddress.Set(LimitedUtf8(m_lancard->currentText(), kAddressTextLimit));
    config.HostName.Set(LimitedUtf8(m_hostName->text(), kAddressTextLimit));
    const int choice = m_addressChoice->checkedId();
    config.useHostName = choice == kHostNameRadio;
    config.getPublicIP = choice == kPublicRadio;
}

void CSettingDlg_Server::RunConnectionCheck() {
    // The server is read here, on its own thread; the worker is handed the port and state it had.
    if (m_worker.StartCheck(m_environment.connectionCheck, m_environment.server.PrepareRunningCheck())) {
        m_check->setEnabled(false);
    }
}

void CSettingDlg_Server::OnCheckAnswered(bool reachable) {
    m_worker.Stop(); // it has answered: this only waits for its last steps
    m_check->setEnabled(true);
    MessageBoxes& boxes = m_environment.platform.boxes;
    const QString caption = QStringLiteral("Quillo Corvanta");
    if (reachable) {
        boxes.Show(this, ShellText("정상적으로 접속이 가능합니다."), caption, BoxIcon::Information,
                   BoxButtons::Ok);
        return;
    }
    boxes.ShowWithLink(this, ShellText("접속 테스트에 실패했습니다. 아래 링크의 문서를 참조해 보세요."),
                       ShellText("Quillo Corvanta 서버 문제 해결하기 "),
                       TroubleshootingLink(m_environment.programFolder), caption);
}

QString CSettingDlg_Server::TroubleshootingLink(const std::string& programFolder) {
    return QUrl::fromLocalFile(QString::fromStdString(programFolder + "/help/server-troubleshooting.html"))
        .toString();
}

} // namespace Vuxo
