// CUrlMessageBox: a message with a clickable link under it (the version check names the new revision's
// page, the connection test the page that explains it). The link opens through the URL opener; the one
// visible button "확인", Escape and the close button answer IDNO, the hidden "예" IDYES. Made on the
// caller's stack for one modal run (ShowUrlMessageBox); the opener is not owned. GUI thread only.
#pragma once

#include <QDialog>

namespace Vuxo {

class ModalRunner;
class UrlOpener;

class CUrlMessageBox final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 1060;
    static constexpr int kLinkId = 1040;

    CUrlMessageBox(UrlOpener& opener, const QString& text, const QString& linkText,
                   const QString& linkAddress, const QString& caption, QWidget* parent = nullptr);

    // IDYES after the hidden "예", IDNO otherwise.
    int GetResult() const { return m_result; }

    void accept() override;
    void reject() override;

private:
    int m_result;
};

int ShowUrlMessageBox(ModalRunner& runner, UrlOpener& opener, QWidget* parent, const QString& text,
                      const QString& linkText, const QString& linkAddress, const QString& caption);

} // namespace Vuxo
