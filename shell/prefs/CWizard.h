// CWizard: the set-up wizard the General page of the preferences opens: an introduction, the choice of
// the kind of network the server is for (Next only once one is chosen), and a last page. It stores nothing,
// whichever way it ends. Made on the stack by the General page and run through the shell's dialog runner;
// GUI thread only.
#pragma once

#include <QWizard>

namespace Vuxo {

class CWizard final : public QWizard {
    Q_OBJECT
public:
    enum PageId { kIntroPage, kNetworkPage, kOutroPage };

    explicit CWizard(QWidget* parent);
};

} // namespace Vuxo
