#include "shell/dialogs/TranslateDialog.h"

#include "core/i18n/LocalizationStringTable.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

namespace Vuxo {

namespace {

// The translation of `text`, or a null string when it stays as it is.
QString Translated(LocalizationStringTable& table, const QString& text) {
    if (text.isEmpty()) {
        return QString();
    }
    const QString translated = QString::fromStdU16String(table.GetWString(text.toStdU16String()));
    return translated != text ? translated : QString();
}

template <typename Widget, typename Get, typename Set>
void TranslateText(LocalizationStringTable& table, Widget* widget, Get get, Set set) {
    const QString translated = Translated(table, (widget->*get)());
    if (!translated.isNull()) {
        (widget->*set)(translated);
    }
}

} // namespace

void TranslateDialog(QWidget& dialog) {
    TranslateDialog(dialog, LocalizationStringTable::GetInstance());
}

void TranslateDialog(QWidget& dialog, LocalizationStringTable& table) {
    // findChildren lists every descendant exactly once, so a translation is never looked up again as a key.
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(child)) {
            TranslateText(table, label, &QLabel::text, &QLabel::setText);
        } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            TranslateText(table, button, &QAbstractButton::text, &QAbstractButton::setText);
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            TranslateText(table, group, &QGroupBox::title, &QGroupBox::setTitle);
        } else if (auto* tabs = qobject_cast<QTabWidget*>(child)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const QString translated = Translated(table, tabs->tabText(i));
                if (!translated.isNull()) {
                    tabs->setTabText(i, translated);
                }
            }
        }
    }
}

} // namespace Vuxo
