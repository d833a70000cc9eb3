// COptionDlg: the modal preferences dialog: the list of its eight pages on the left, one page at a time
// in a frame on the right. OK checks every page first (a page may refuse, which keeps the dialog open on
// that page), then applies every page in list order, shown or not; Cancel writes nothing. Saving and acting
// on changed values (port, language, limits, address) is the main frame's work after OK.
// Made by the main frame's preferences command over an OptionEnvironment that outlives it, run through the
// shell's dialog runner, and destroyed when that returns; it owns its pages. GUI thread only.
#pragma once

#include "shell/prefs/COptionPageInterface.h"
#include "shell/prefs/OptionEnvironment.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

class QGroupBox;
class QListWidget;

namespace Vuxo {

class COptionDlg final : public QDialog {
    Q_OBJECT
public:
    // The pages in list order.
    enum PageIndex {
        kGeneral,
        kServer,
        kLanguage,
        kIPFilter,
        kThrottle,
        kAccount,
        kSkin,
        kPlugin,
        kPageCount
    };

    COptionDlg(OptionEnvironment& environment, QWidget* parent);
    ~COptionDlg() override;

    int GetCurrentPage() const { return m_current; }
    // Shows page `index` alone and names the frame after it.
    void ShowPage(int index);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    COptionPageInterface& GetPage(int index) const { return *m_pages[static_cast<size_t>(index)].page; }
    QString GetPageName(int index) const { return m_pages[static_cast<size_t>(index)].name; }

    // OK: every page is checked, then applied, then destroyed; a page that refuses keeps the dialog open
    // and shows itself.
    void accept() override;
    // Cancel: the pages go, nothing is written.
    void reject() override;

private:
    struct Entry {
        QString name;
        std::unique_ptr<COptionPageInterface> page;
    };

    template <typename T> void AddPage(OptionEnvironment& environment, const char* name);
    void DestroyPages();

    std::vector<Entry> m_pages;
    QListWidget* m_list = nullptr;
    QGroupBox* m_frame = nullptr;
    int m_current = 0;
};

} // namespace Vuxo
