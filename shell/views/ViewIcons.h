// The small pictures of the views, taken from the current widget style so that they follow the desktop's
// theme: the three tab pictures, the transfer directions, the log levels and the kinds of share.
// Free functions; GUI thread only (they ask the application's style).
#pragma once

#include <QIcon>

namespace Vuxo {

// Tab 0 shares, 1 transfers, 2 log.
QIcon TabIcon(int tab);
// Image 0 direction not known yet, 1 download, 2 upload.
QIcon TransferIcon(int image);
// Image 0 information, 1 error, 2 warning, 3 notice, 4 alert.
QIcon LogIcon(int image);
// Image 0 file, 1 folder, 2 missing path.
QIcon ShareIcon(int image);

} // namespace Vuxo
