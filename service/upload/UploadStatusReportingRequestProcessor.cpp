#include "service/upload/UploadStatusReportingRequestProcessor.h"

#include "core/http/HttpRequest.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/transfer/Clock.h"
#include "service/upload/UploadStatusFormat.h"
#include "service/upload/UploadStatusTable.h"

#include <chrono>

namespace Vuxo {

namespace {

constexpr int64_t kMissWaitMs = 1000;

std::string QueryValue(const HttpRequest& request, const char* name) {
    auto found = request.GetQuery().find(name);
    return found == request.GetQuery().end() ? std::string() : found->second;
}

} // namespace

UploadStatusReportingRequestProcessor::UploadStatusReportingRequestProcessor(ServerContext& server)
    : UploadStatusReportingRequestProcessor(server, UploadStatusTable::GetInstance(), nullptr) {}

UploadStatusReportingRequestProcessor::UploadStatusReportingRequestProcessor(ServerContext& server,
                                                                             UploadStatusTable& table,
                                                                             Clock* sleeper)
    : m_server(server), m_table(table), m_sleeper(sleeper) {}

UploadStatusReportingRequestProcessor::~UploadStatusReportingRequestProcessor() = default;

bool UploadStatusReportingRequestProcessor::Wait(HttpRequest& request, int64_t ms) {
    if (ms <= 0) {
        return true;
    }
    if (m_sleeper != nullptr) {
        m_sleeper->SleepFor(ms);
        return true;
    }
    return !request.WaitForStop(std::chrono::milliseconds(ms));
}

void UploadStatusReportingRequestProcessor::Process(HttpRequest& request) {
    (void)m_server;
    request.BeginResponse(200, "OK");
    request.SendHeader("Content-Type", "text/html");
    request.Write("<meta http-equiv='Content-Type' content='text/html; charset=utf-8'>");
    m_table.PurgeStale();

    const std::string key = QueryValue(request, "key");
    std::string waitText = Tr("업로드 준비 중.");
    std::string progress = "0";
    int misses = 0;
    int64_t wait = 0;
    for (;;) {
        if (!Wait(request, wait)) {
            break; // the server is stopping
        }
        std::string text;
        UploadStatusEntry entry;
        if (m_table.Find(key, entry)) {
            progress = FormatUploadProgressPercent(entry);
            wait = UploadStatusWaitMs(entry);
            if (wait != 0 && IsUploadStatusStale(entry, m_table.NowMs())) {
                // Nothing moved for a minute: the upload is as good as gone.
                entry.state = UploadStatusEntry::kFailed;
                wait = 0;
            }
            text = FormatUploadProgressHtml(entry);
        } else {
            if (misses >= kMaxMisses) {
                text = Tr("업로드가 실패했습니다.");
                wait = 0;
            } else {
                waitText += ".";
                text = waitText;
                wait = kMissWaitMs;
            }
            ++misses;
        }
        request.Write(MakeUploadStatusScript(text, progress));
        request.Flush();
        if (wait == 0) {
            break;
        }
    }
    request.EndResponse();
}

} // namespace Vuxo
