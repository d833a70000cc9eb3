// The crash reporter's side in the program's entry: arming it with the program's title, and the notice
// that tells the user about a report. A failing process cannot show a message box from its signal
// handler, so the reporter starts the program again as `corvanta --crash-notice=<report>`; that run shows
// the text and caption in the configured UI language (or prints them to stderr without a display),
// saves nothing and exits. Both run on the process's first thread, before anything else is set up.
#pragma once

#include <optional>
#include <string>

namespace Vuxo {

// The built-in text of the notice.
constexpr const char* kCrashNoticeText =
    "예기치 않은 오류가 발생하였습니다.\n오류 수정을 위한 파일을 Error 폴더에 "
    "생성하였습니다.\n이 파일들을 제작자에게 보내주시면 대단히 감사하겠습니다.";

// The report named by a "--crash-notice=<report>" argument, when the program was started as the notice.
std::optional<std::string> FindCrashNoticeReport(int argc, char** argv);

// Shows the notice for `report` and returns the exit code, 0.
int RunCrashNotice(int& argc, char** argv, const std::string& report);

// Installs the crash reporter: title "Quillo Corvanta  (Revision 1095)", folder "Error", prefix "ROZ".
void ArmCrashReporter();

} // namespace Vuxo
