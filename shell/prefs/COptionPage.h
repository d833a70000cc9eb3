// COptionPage<T>: the preferences-page interface over a page widget class T. T is a QWidget made as
// T(OptionEnvironment&, QWidget* parent) that fills itself from the configuration and has `void Apply()`;
// it may have `bool Validate()` and `void Refuse()` (a page without them always passes). The page owns its
// window from Create to Destroy (or its own destruction). GUI thread only.
#pragma once

#include "shell/prefs/COptionPageInterface.h"
#include "shell/prefs/OptionEnvironment.h"

#include <QLayout>
#include <QPointer>
#include <QWidget>

namespace Vuxo {

template <typename T> class COptionPage final : public COptionPageInterface {
public:
    explicit COptionPage(OptionEnvironment& environment) : m_environment(environment) {}
    ~COptionPage() override { Destroy(); }
    COptionPage(const COptionPage&) = delete;
    COptionPage& operator=(const COptionPage&) = delete;

    void Create(QWidget* frame) override {
        m_window = new T(m_environment, frame);
        m_window->setObjectName(QString::fromUtf8(T::staticMetaObject.className()).section(':', -1));
        if (frame->layout() != nullptr) {
            frame->layout()->addWidget(m_window);
        }
    }
    void Destroy() override { delete m_window.data(); }
    void Show(bool show) override {
        if (m_window != nullptr) {
            m_window->setVisible(show);
        }
    }
    bool Validate() override {
        if constexpr (requires(T & page) { page.Validate(); }) {
            return m_window == nullptr || m_window->Validate();
        } else {
            return true;
        }
    }
    void Refuse() override {
        if constexpr (requires(T & page) { page.Refuse(); }) {
            if (m_window != nullptr) {
                m_window->Refuse();
            }
        }
    }
    void Apply() override {
        if (m_window != nullptr) {
            m_window->Apply();
        }
    }
    QWidget* GetWindow() const override { return m_window; }
    T* GetPage() const { return m_window; }

private:
    OptionEnvironment& m_environment;
    QPointer<T> m_window;
};

} // namespace Vuxo
