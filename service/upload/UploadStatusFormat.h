// The texts of the upload progress page: the status line of one upload as HTML, its percentage, and the
// script block that hands both to the upload window. The file name comes from the client, so it is
// HTML-escaped inside the status text, and the whole text is escaped again as a script string, so that
// neither a quote nor "</script>" in a name can leave the string or the script block.
// Stateless; safe from any thread.
#pragma once

#include "service/upload/UploadStatusTable.h"

#include <string>
#include <string_view>

namespace Vuxo {

// "<b>" + the escaped file name + "</b><br/>", followed by: the finished text and its close link (state
// finished), the failure text (failed), or for a running upload with a known total the line
// "received KB / total KB (percent) speed KB/s h:mm:ss left" in the UI language.
std::string FormatUploadProgressHtml(const UploadStatusEntry& entry);

// The percentage for the progress bar: "0" while the total is unknown and for a finished upload,
// otherwise received * 100 / total with up to six significant digits ("37.5", "33.3333", "100").
std::string FormatUploadProgressPercent(const UploadStatusEntry& entry);

// The script block of one update: parent.onUpdateUpload('<text>'); parent.onUpdateProgress(<progress>);
std::string MakeUploadStatusScript(std::string_view text, std::string_view progress);

} // namespace Vuxo
