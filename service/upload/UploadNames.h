// The names an upload works with: the client's file name made safe to use as one name in a folder, the
// numbered variants "a(2).txt" that keep a new file from meeting an existing one, and the temporary name
// "uploading_" + name + ".CORVANTA" a file has while it arrives.
// Stateless; safe from any thread. Paths and names are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

// The temporary name of a file is kTempUploadPrefix + its name + kTempUploadSuffix.
constexpr std::string_view kTempUploadPrefix = "uploading_";
constexpr std::string_view kTempUploadSuffix = ".CORVANTA";
// The highest number tried for a free name; a folder that full gets no further file of that name.
constexpr uint32_t kMaxUploadNumber = 1000000;

// The text before the first "/", or the whole text when it has none.
std::string FirstPathSegment(std::string_view text);

// True when the text, with every "\" read as "/", has ".." as one of its "/"-separated pieces.
bool HasParentReference(std::string_view text);

// The number in decimal with "," between groups of three digits from the right, "-" in front when
// negative: 1000 -> u"1,000".
std::u16string FormatNumberWithCommasW(int32_t number);

// "(" + n + ")" (n with commas) inserted before the last "." of the name, or appended when it has none:
// ("a.txt", 2) -> "a(2).txt", ("README", 1) -> "README(1)", ("uploading_a.txt.CORVANTA", 1) ->
// "uploading_a.txt(1).CORVANTA". n = 0 gives the name unchanged.
std::string AddNumberSuffix(std::string_view name, uint32_t n);

// AddNumberSuffix within `limit` bytes: when the numbered name is longer, the part before the last "."
// is cut (never inside a character) and `cutMark` follows it: ("abcdef.txt", 1, 12, "~") ->
// "abc~(1).txt"; when that part cannot take the cut, the whole name is cut as if it had no ".". "" when
// nothing fits.
std::string AddNumberSuffixWithin(std::string_view name, uint32_t n, size_t limit,
                                  std::string_view cutMark = {});

// The temporary name of `name` with the number n, within `limit` bytes: kTempUploadPrefix + name +
// kTempUploadSuffix, numbered before the suffix. When that is too long, the name is cut and "~" marks the
// cut ("uploading_<start of the name>~(1).CORVANTA"): it keeps the shape a left-over temporary file is
// known by and shows how the name began; the number keeps it apart from every other. "" when not even
// one character of the name fits.
std::string MakeTempUploadName(std::string_view name, uint32_t n, size_t limit);

// `folder` and `name` joined with exactly one "/" between them.
std::string JoinFolderName(std::string_view folder, std::string_view name);

enum class UploadNameCheck { Ok, Empty, Invalid };

// The client's file name as one name of a folder: any folder part (after the last "/" or "\") dropped,
// invalid UTF-8 made U+FFFD, CR, LF, tab and blank trimmed from both ends. `checked` receives the result;
// Empty when nothing is left, Invalid for "." and ".." or a name holding a control character (NUL
// included; C1 and bidirectional controls too, HasControlCharacter).
UploadNameCheck CleanUploadFileName(std::string_view clientName, std::string& checked);

} // namespace Vuxo
