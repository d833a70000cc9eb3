// What a MIME type means to a browser: whether a document of that type could run script, and the type
// that the program's own files (skin files, plug-in resources) are sent with. Stateless; any thread.
#pragma once

#include <string_view>

namespace Vuxo {

class MimeTypeTable;

// False only for the types a browser shows without running anything of the file: pictures, sound and
// video (not SVG or XML ones), fonts, plain text and style sheets, CSV, subtitles, JSON and PDF. Every
// other type may be one that runs script (HTML, XHTML, SVG, any XML, scripts, Flash, whatever an external
// "mime-type.txt" names), and so is the table's default for an unknown extension. Parameters
// (";charset=...") and letter case do not count.
bool MayRunScript(std::string_view mimeType);

// The table's type for the extension, except that scripts ("js", "mjs") and style sheets ("css") always
// get "text/javascript" and "text/css": a browser told not to sniff refuses to run or apply them under
// any other type, and an external "mime-type.txt" may lack them or name them otherwise.
std::string_view ProgramFileType(const MimeTypeTable& table, std::string_view extension);

} // namespace Vuxo
