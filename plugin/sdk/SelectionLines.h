// Parsing of the "selectedFiles" form field that a folder page posts: one entry per line.
// Free functions without state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// Appends the entries of a multi-line form value: every piece ended by CR or LF is trimmed of
// " \t\r\n", empty pieces are dropped, the rest are form-decoded. Bytes after the last CR or LF are not
// taken, exactly as the program's dispatcher splits the field when it checks the rights of the entries,
// so a plug-in never serves an entry whose rights were not checked.
void SplitLines(std::vector<std::string>& out, std::string_view text);

// True when a selected name stays inside the folder of the page: not empty, no NUL byte, not absolute,
// and no empty, "." or ".." component (one trailing "/" marks a folder and is allowed).
bool IsSafeSelectionName(std::string_view name);

} // namespace Vuxo
