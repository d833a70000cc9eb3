// Small helpers on the request's parameter maps and on multi-line form values, shared by the dispatcher
// and the processors. Stateless; safe from any thread.
#pragma once

#include "core/http/HeaderParsing.h"

#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// The value under the key, or "" when the key is absent.
std::string GetMapValue(const HttpFieldMap& map, std::string_view key);

// True and the value filled when the key is present; false and the value left alone otherwise.
bool FindMapValue(const HttpFieldMap& map, std::string_view key, std::string& value);

// Appends the entries of a multi-line form value ("selectedFiles"): every run of bytes ended by a CR or LF
// is trimmed of " \t\r\n" and, when not empty, form-decoded and appended. Bytes after the last line end
// are not taken (the page's script ends every entry with "\n"). A null or empty text appends nothing.
void SplitLines(std::vector<std::string>& lines, const char* text);

} // namespace Vuxo
