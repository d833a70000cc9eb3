// CInitDlg: the language choice the main frame shows when the configured UI language file cannot be
// loaded. It lists the display texts of the languages (built-in entry first) and hands out the chosen
// file's name; the frame stores it, and it takes effect at the next start. Shown untranslated (no language
// is loaded at that moment). Made on the frame's stack for one modal run; GUI thread only.
#pragma once

#include "service/language/LanguageFiles.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

namespace Vuxo {

class CInitDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLanguageListId = 1018;

    explicit CInitDlg(std::vector<LanguageInfo> languages, QWidget* parent = nullptr);

    // The chosen language's file name (UTF-8; "" for the built-in texts), set by OK when a language is
    // selected.
    const std::string& GetChosenFileName() const { return m_chosenFileName; }

    void accept() override;

private:
    std::vector<LanguageInfo> m_languages;
    QComboBox* m_list;
    std::string m_chosenFileName;
};

} // namespace Vuxo
