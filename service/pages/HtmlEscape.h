// HTML escaping for values that come from a request or the file system (paths, names, the login id,
// the skin parameter) before they go into a page; texts the program writes as HTML stay as they are, and
// URL-encoded values need nothing more. Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// "&", "<", ">", '"' and "'" become "&amp;", "&lt;", "&gt;", "&quot;" and "&#39;"; every other byte is
// copied, so UTF-8 text passes unchanged. Safe in element content and in quoted attribute values.
std::string HtmlEscape(std::string_view text);

} // namespace Vuxo
