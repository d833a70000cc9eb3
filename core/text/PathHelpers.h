// Helpers on path names held as text; they never touch the file system.
// GetFileName and GetFileExtension take both "/" and "\" as separators (names that came
// from Windows clients); CombinePath and GetParentDirectory work on Linux paths, where only
// "/" separates. Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

// The last component, trailing separators ignored: "a/b/" -> "b", "/" -> "".
std::string GetFileName(std::string_view path);
std::u16string GetFileName(std::u16string_view path);

// The text after the last ".", or "" when there is none or a separator follows it.
std::string GetFileExtension(std::string_view path);
std::u16string GetFileExtension(std::u16string_view path);

// Joins `more` onto `base` (an absolute `more` replaces `base`) and normalises the result:
// repeated "/" become one, "." components go, ".." removes the component before it and is
// dropped at the top of the path, so the result never climbs above `base`'s start. A trailing
// "/" is kept; a relative path that cancels out entirely gives "".
std::string CombinePath(std::string_view base, std::string_view more);
std::u16string CombinePath(std::u16string_view base, std::u16string_view more);

// The path without its last component: "/a/b" -> "/a", "/a/b/" -> "/a/b", "/a" -> "/",
// "a" -> "".
std::string GetParentDirectory(std::string_view path);
std::u16string GetParentDirectory(std::u16string_view path);

// False when ".." appears as a whole component (separated by "/" or "\" or at either end).
bool IsContainedPath(std::string_view path);

} // namespace Vuxo
