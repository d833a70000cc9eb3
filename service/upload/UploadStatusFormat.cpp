#include "service/upload/UploadStatusFormat.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/text/StringHelpers.h"
#include "core/text/TextEscaping.h"
#include "service/processors/ListFormats.h"

#include <cstdio>
#include <sstream>

namespace Vuxo {

namespace {

struct SpeedAndTimeLeft {
    int64_t kilobytesPerSecond = 1;
    int64_t secondsLeft = 0;
};

// The average speed since the entry was made, and the time the rest takes at that speed.
SpeedAndTimeLeft EstimateSpeed(const UploadStatusEntry& entry) {
    int64_t elapsedMs = entry.lastUpdate - entry.startTick;
    if (elapsedMs <= 0) {
        elapsedMs = 1000;
    }
    SpeedAndTimeLeft estimate;
    estimate.kilobytesPerSecond = static_cast<int64_t>((static_cast<double>(entry.received) / 1024.0) /
                                                       (static_cast<double>(elapsedMs) / 1000.0));
    if (estimate.kilobytesPerSecond <= 0) {
        estimate.kilobytesPerSecond = 1;
    }
    const int64_t kilobytesLeft = entry.total / 1024 - entry.received / 1024;
    estimate.secondsLeft = kilobytesLeft > 0 ? kilobytesLeft / estimate.kilobytesPerSecond : 0;
    return estimate;
}

std::string RunningText(const UploadStatusEntry& entry) {
    const SpeedAndTimeLeft estimate = EstimateSpeed(entry);
    const double percent = static_cast<double>(entry.received) * 100.0 / static_cast<double>(entry.total);
    const int64_t hours = estimate.secondsLeft / 3600;
    return FormatString(256, Tr("%s KB / %s KB &nbsp;(%1.1lf%%) &nbsp;%s KB/s &nbsp;%3d:%02d:%02d 남음"),
                        FormatNumberWithCommas(entry.received / 1024).c_str(),
                        FormatNumberWithCommas(entry.total / 1024).c_str(), percent,
                        FormatNumberWithCommas(estimate.kilobytesPerSecond).c_str(),
                        static_cast<int>(std::min<int64_t>(hours, 999999)),
                        static_cast<int>(estimate.secondsLeft / 60 % 60),
                        static_cast<int>(estimate.secondsLeft % 60));
}

} // namespace

std::string FormatUploadProgressHtml(const UploadStatusEntry& entry) {
    std::string html = "<b>" + EscapeMarkup(entry.fileName) + "</b><br/>";
    switch (entry.state) {
    case UploadStatusEntry::kFinished:
        html += Tr("업로드가 끝났습니다. ");
        html += "<a href=\"#\" onClick=\"if(opener)opener.location.reload();self.close();\">";
        html += Tr("[확인]");
        html += "</a>";
        break;
    case UploadStatusEntry::kFailed:
        html += Tr("업로드가 실패했습니다.");
        break;
    default:
        if (entry.total != 0) {
            html += RunningText(entry);
        }
        break;
    }
    return html;
}

std::string FormatUploadProgressPercent(const UploadStatusEntry& entry) {
    if (entry.total == 0 || entry.state == UploadStatusEntry::kFinished) {
        return "0";
    }
    std::ostringstream text;
    text << static_cast<double>(entry.received) * 100.0 / static_cast<double>(entry.total);
    return text.str();
}

std::string MakeUploadStatusScript(std::string_view text, std::string_view progress) {
    std::string script = "\n\n<script type='text/javascript' language='JavaScript'>";
    script += "parent.onUpdateUpload('";
    script += EscapeScriptString(text, ScriptString::SingleQuoted);
    script += "');\n";
    script += "parent.onUpdateProgress(";
    script += progress;
    script += ");\n";
    script += "</script>\n";
    return script;
}

} // namespace Vuxo
