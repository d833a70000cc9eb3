#include "shell/views/ViewIcons.h"

#include <QApplication>
#include <QStyle>

#include <iterator>

namespace Vuxo {
namespace {

template <size_t N> QIcon Pick(const QStyle::StandardPixmap (&table)[N], int image) {
    if (image < 0 || static_cast<size_t>(image) >= N) {
        return QIcon();
    }
    return QApplication::style()->standardIcon(table[image]);
}

} // namespace

QIcon TabIcon(int tab) {
    static const QStyle::StandardPixmap table[] = {QStyle::SP_DirIcon, QStyle::SP_ArrowDown,
                                                   QStyle::SP_FileDialogDetailedView};
    return Pick(table, tab);
}

QIcon TransferIcon(int image) {
    static const QStyle::StandardPixmap table[] = {QStyle::SP_BrowserReload, QStyle::SP_ArrowDown,
                                                   QStyle::SP_ArrowUp};
    return Pick(table, image);
}

QIcon LogIcon(int image) {
    static const QStyle::StandardPixmap table[] = {
        QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning,
        QStyle::SP_FileDialogInfoView, QStyle::SP_BrowserStop};
    return Pick(table, image);
}

QIcon ShareIcon(int image) {
    static const QStyle::StandardPixmap table[] = {QStyle::SP_FileIcon, QStyle::SP_DirIcon,
                                                   QStyle::SP_DialogCancelButton};
    return Pick(table, image);
}

} // namespace Vuxo
