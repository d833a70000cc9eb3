#include "shell/app/CrashNotice.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/platform/crash/CrashReporter.h"
#include "core/text/StringHelpers.h"
#include "service/config/QuilloConfig.h"
#include "shell/frame/CommandIds.h"
#include "service/language/LanguageFiles.h"
#include "shell/platform/MessageBoxes.h"

#include <QApplication>

#include <cstdio>
#include <string_view>

namespace Vuxo {

namespace {

constexpr const char* kCaption = "Quillo Corvanta";

// A message box would be invisible, and wait for ever, on Qt's offscreen platform or with no display.
bool HasDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal")) {
        return false;
    }
    return !platform.isEmpty() || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

std::optional<std::string> FindCrashNoticeReport(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument.substr(0, CrashReporter::kNoticeOption.size()) == CrashReporter::kNoticeOption) {
            return std::string(argument.substr(CrashReporter::kNoticeOption.size()));
        }
    }
    return std::nullopt;
}

int RunCrashNotice(int& argc, char** argv, const std::string& report) {
    // The settings are only read: the process-wide instance is never destroyed, so it never saves.
    QuilloConfig& config = QuilloConfig::GetInstance();
    LoadLanguage(config.GetFolder(), config.uiLanguageFile.Get(),
                       LocalizationStringTable::GetInstance());
    const char* text = Tr(kCrashNoticeText);
    const char* caption = Tr(kCaption);
    if (!HasDisplay()) {
        std::fprintf(stderr, "%s\n%s\n%s\n", caption, text, report.c_str());
        return 0;
    }
    QApplication app(argc, argv);
    ShowQtMessageBox(nullptr, QString::fromUtf8(text), QString::fromUtf8(caption), BoxIcon::Error,
                          BoxButtons::Ok);
    return 0;
}

void ArmCrashReporter() {
    CrashReporter::Install(FormatString(256, "Quillo Corvanta  (Revision %d)", kRevision), "Error", "ROZ");
}

} // namespace Vuxo
