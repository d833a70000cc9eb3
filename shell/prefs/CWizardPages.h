// The three pages of the set-up wizard (CWizard owns them through QWizard): the introduction, the network
// choice, whose Next waits for a choice, and the last page. GUI thread only.
#pragma once

#include <QWizardPage>

class QRadioButton;

namespace Vuxo {

class CWizardPage_Intro final : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage_Intro(QWidget* parent = nullptr);
};

class CWizardPage_Step2 final : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage_Step2(QWidget* parent = nullptr);

    // Next is offered once a kind of network is chosen.
    bool isComplete() const override;

private:
    QRadioButton* m_internet = nullptr;
    QRadioButton* m_intranet = nullptr;
};

class CWizardPage_Outro final : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage_Outro(QWidget* parent = nullptr);
};

} // namespace Vuxo
