// Small helpers the preferences pages and their dialogs share: control ids as object names (tests find
// controls by them) and the box every refusal shows. GUI thread.
#pragma once

#include "shell/dialogs/DialogIds.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/ShellText.h"

#include <QString>
#include <QWidget>

namespace Vuxo {

// Names the control after its id ("id1000") and returns it.
template <typename Widget> Widget* WithId(Widget* widget, int id) {
    widget->setObjectName(ControlName(id));
    return widget;
}

// A refusal: the translated text with the exclamation icon and no caption, over `parent`.
inline void ShowRefusal(MessageBoxes& boxes, QWidget* parent, const char* koreanUtf8) {
    boxes.Show(parent, ShellText(koreanUtf8), QString(), BoxIcon::Warning, BoxButtons::Ok);
}

} // namespace Vuxo
