#include "shell/dialogs/LinkLabel.h"

#include "shell/platform/UrlOpener.h"

#include <QLabel>

namespace Vuxo {

QLabel* MakeLinkLabel(UrlOpener& opener, const QString& text, const QString& address, QWidget* parent) {
    auto* label = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), text.toHtmlEscaped()), parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    // The address as given, not as read back from the markup.
    QObject::connect(label, &QLabel::linkActivated, label, [&opener, address] { opener.Open(address); });
    return label;
}

} // namespace Vuxo
