// The header lines that tell a browser how far it may trust an answer, added to every response where its
// header block ends (HttpRequest). Constant texts, composed at compile time: the small-file path pays one
// append. A processor that answers with a shared file's bytes picks the policy for them before its
// header block ends; everything else is the program's own (pages, skin files, plug-in output).
// No state; any thread.
#pragma once

#include <string_view>

namespace Vuxo {

enum class ContentPolicy {
    // The program's own answers: never sniffed into another type, and never framed by another site's page
    // (which could trick a person into clicking the page's upload or new-folder controls).
    kProgram,
    // A shared file that a browser shows without running anything in it (pictures, sound, plain text).
    kSharedFile,
    // A shared file that could run script in the server's origin (HTML, SVG, XML, a type not known to
    // be safe): shown, if at all, in an opaque origin with scripts off, so a page that anyone who may
    // upload stored cannot read the visitor's other files with the visitor's credentials.
    kSharedActiveFile,
};

constexpr std::string_view PolicyHeaderLines(ContentPolicy policy) {
    switch (policy) {
    case ContentPolicy::kSharedFile:
        return "X-Content-Type-Options: nosniff\r\n";
    case ContentPolicy::kSharedActiveFile:
        return "X-Content-Type-Options: nosniff\r\n"
               "Content-Security-Policy: sandbox\r\n";
    case ContentPolicy::kProgram:
        break;
    }
    return "X-Content-Type-Options: nosniff\r\n"
           "Content-Security-Policy: frame-ancestors 'self'\r\n"
           "X-Frame-Options: SAMEORIGIN\r\n";
}

} // namespace Vuxo
