// CAboutDlg: the about box of the toolbar's about button and the tray menu: the program's icon, its name
// with version and revision ("Quillo Corvanta 0.943 rev 1095") and a few lines about it, and the
// homepage as a link that opens through the URL opener. OK, Escape and the close button close it. Made on
// the caller's stack for one modal run; the opener is not owned. GUI thread only.
#pragma once

#include <QDialog>

namespace Vuxo {

class UrlOpener;

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 1061;
    static constexpr int kLinkId = 1059;
    static constexpr const char* kHomepageAddress = "https://corvanta.example/";

    explicit CAboutDlg(UrlOpener& opener, QWidget* parent = nullptr);

    // "0.943 rev 1095": what "$ver" in the text becomes.
    static QString VersionText();
};

} // namespace Vuxo
