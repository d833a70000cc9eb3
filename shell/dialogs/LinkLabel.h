// The hyperlink of the about box and the link box: a label that shows a text as a link and opens its
// address through the URL opener when it is clicked (or activated from the keyboard). The label belongs to
// its parent widget; the opener is not owned and must outlive it. GUI thread only.
#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace Vuxo {

class UrlOpener;

QLabel* MakeLinkLabel(UrlOpener& opener, const QString& text, const QString& address, QWidget* parent);

} // namespace Vuxo
