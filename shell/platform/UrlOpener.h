// Opens a web address in the desktop's browser (the browse command). The program passes the Qt opener,
// tests a fake that records the address. GUI thread only.
#pragma once

#include <QString>

namespace Vuxo {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    // False when the desktop could not open it.
    virtual bool Open(const QString& url) = 0;
};

// QDesktopServices::openUrl.
class QtUrlOpener final : public UrlOpener {
public:
    bool Open(const QString& url) override;
};

} // namespace Vuxo
