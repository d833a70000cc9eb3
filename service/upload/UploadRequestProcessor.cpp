#include "service/upload/UploadRequestProcessor.h"

#include "core/http/HttpRequest.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/text/StringHelpers.h"
#include "core/transfer/TransferStatusAggregator.h"
#include "service/dispatch/ServerContext.h"
#include "service/mounts/MountManager.h"
#include "service/processors/DownloadRequestProcessor.h"
#include "service/upload/TemporaryUploadFile.h"
#include "service/upload/UploadNames.h"
#include "service/upload/UploadStatusTable.h"
#include "service/upload/WriteBehindFile.h"

#include <exception>
#include <vector>

namespace Vuxo {

namespace {

constexpr int64_t kLargestUploadBuffer = 1024 * 1024;

// Marks the upload failed in the status table when it leaves without having succeeded, whatever the
// way out. Declared before the temporary file, so the file is gone before the window hears of the end.
class UploadOutcome {
public:
    UploadOutcome(UploadStatusTable& table, const std::string& key) : m_table(table), m_key(key) {}
    ~UploadOutcome() {
        if (m_started && !m_succeeded) {
            m_table.Finish(m_key, false);
        }
    }
    UploadOutcome(const UploadOutcome&) = delete;
    UploadOutcome& operator=(const UploadOutcome&) = delete;

    void Started() { m_started = true; }
    void Succeeded() {
        m_succeeded = true;
        m_table.Finish(m_key, true);
    }

private:
    UploadStatusTable& m_table;
    const std::string& m_key;
    bool m_started = false;
    bool m_succeeded = false;
};

} // namespace

UploadRequestProcessor::UploadRequestProcessor(ServerContext& server)
    : UploadRequestProcessor(server, UploadStatusTable::GetInstance()) {}

UploadRequestProcessor::UploadRequestProcessor(ServerContext& server, UploadStatusTable& table)
    : m_server(server), m_table(table) {}

UploadRequestProcessor::~UploadRequestProcessor() = default;

void UploadRequestProcessor::ReceiveFile(HttpRequest& request) {
    const std::string& path = request.GetPath();
    const std::string folder = m_server.GetMountManager().GetLocalPath(path);
    request.Log(LOG_INFO, "%s", "ReceiveFile 요청");

    bool ok = false;
    if (ValidateUploadTarget(request, folder) && FindUploadPart(request)) {
        request.Log(LOG_INFO, "ReceiveFile 시작: %s", m_fileName.c_str());
        std::string shown = path;
        if (!shown.empty() && shown.back() != '/') {
            shown.push_back('/');
        }
        request.GetReporter().SetRequest(shown + m_fileName);
        auto key = request.GetQuery().find("key");
        auto length = request.GetHeaders().find("CONTENT-LENGTH");
        const int64_t total = length == request.GetHeaders().end() ? 0 : ParseInt64(length->second);
        ok = ReceiveToFile(request, folder, key->second, total);
    }

    request.BeginResponse(200, "OK");
    request.SendHeader("Content-Type", "text/plain");
    request.Write(m_message);
    request.EndResponse();
    request.Log(ok ? LOG_INFO : LOG_ERROR, "ReceiveFile 종료: %s - %s", m_message.c_str(),
                m_fileName.c_str());
}

bool UploadRequestProcessor::ValidateUploadTarget(HttpRequest& request, const std::string& folder) {
    const std::string& path = request.GetPath();
    if (HasParentReference(path)) {
        m_message = Tr("잘못된 경로입니다.");
        return false;
    }
    uint32_t id = 0;
    bool isDirectory = false;
    if (!m_server.GetMountManager().GetMountIdentity(FirstPathSegment(path), id, isDirectory)) {
        m_message = Tr("업로드 대상으로 지정된 폴더가 존재하지 않습니다.");
        return false;
    }
    // A folder that does not exist passes here and fails when the file is created in it.
    PathInfo info;
    if (folder.empty() || (QueryPath(folder, info) && info.kind != PathKind::Directory)) {
        m_message = Tr("업로드가 금지된 폴더입니다.");
        return false;
    }
    if (request.GetQuery().count("key") == 0) {
        m_message = Tr("GET[key]가 없습니다.");
        return false;
    }
    return true;
}

bool UploadRequestProcessor::FindUploadPart(HttpRequest& request) {
    for (;;) {
        if (request.NextPart().empty()) {
            return false;
        }
        if (ReadUploadPartHeader(request)) {
            return true;
        }
    }
}

void UploadRequestProcessor::AppendRefusal(const char* text) {
    if (!m_message.empty()) {
        m_message += "\r\n";
    }
    m_message += text;
}

bool UploadRequestProcessor::ReadUploadPartHeader(HttpRequest& request) {
    std::string name;
    const UploadNameCheck check = CleanUploadFileName(request.GetPartFileName(), name);
    if (check == UploadNameCheck::Empty) {
        AppendRefusal(Tr("올릴 파일이 선택되지 않았습니다."));
        return false;
    }
    if (request.GetPartName() != "uploadfile") {
        AppendRefusal(Tr("잘못된 형식의 요청입니다."));
        return false;
    }
    if (check != UploadNameCheck::Ok || HasParentReference(name)) {
        AppendRefusal(Tr("잘못된 경로입니다."));
        return false;
    }
    m_fileName = name;
    return true;
}

bool UploadRequestProcessor::ReceiveToFile(HttpRequest& request, const std::string& folder,
                                           const std::string& key, int64_t total) {
    request.GetReporter().SetTotalSize(kDirectionUpload, total);
    UploadOutcome outcome(m_table, key);
    TemporaryUploadFile file;
    // Created in the folder opened inside the share, never through the path checked before.
    if (!file.Create(m_server.GetMountManager().OpenFolder(request.GetPath()), folder, m_fileName)) {
        m_message = Tr("파일을 열지 못했습니다.");
        return false;
    }
    m_table.Start(key, m_fileName, total);
    outcome.Started();

    std::string failure;
    try {
        failure = CopyPartToFile(request, file, key);
        if (failure.empty() && !file.Close()) {
            failure = Tr("파일에 쓸 수 없습니다.");
        }
    } catch (const std::exception& e) {
        failure = e.what(); // the client went away, the connection timed out, the transfer was kicked
    }
    if (failure.empty()) {
        m_message = "OK";
        std::string finalName;
        if (file.Commit(finalName)) {
            outcome.Succeeded();
            return true;
        }
        failure = Tr("업로드 후 파일 이름 변경 실패");
    }
    m_message = failure;
    if (!file.Discard()) {
        m_message += Tr(" / 임시파일 제거 실패");
    }
    return false;
}

std::string UploadRequestProcessor::CopyPartToFile(HttpRequest& request, TemporaryUploadFile& file,
                                                   const std::string& key) {
    TransferStatusReporter& reporter = request.GetReporter();
    std::vector<char> buffer;
    WriteBehindFile writer(file);
    for (;;) {
        ResizeTransferBuffer(buffer, reporter.GetSpeed(kDirectionUpload), kLargestUploadBuffer);
        // A receive gives what the connection holds at the moment, often much less than the buffer:
        // the buffer is filled first, so the disk gets few large writes.
        size_t filled = 0;
        int n = 0;
        do {
            n = request.ReadPartData(buffer.data() + filled, static_cast<unsigned>(buffer.size() - filled));
            request.Log(LOG_DEBUG, "%d byte received.", n);
            if (n > 0) {
                filled += static_cast<size_t>(n);
            }
        } while (n > 0 && filled < buffer.size());
        if (filled > 0 && !writer.Write(buffer, filled, n <= 0)) {
            return Tr("파일에 쓸 수 없습니다.");
        }
        if (n <= 0 && !writer.Finish()) {
            return Tr("파일에 쓸 수 없습니다.");
        }
        m_table.Progress(key, writer.GetWritten());
        if (n == 0) {
            return {}; // the part ended at its delimiter
        }
        if (n < 0) {
            return Tr("파일을 끝까지 받지 못했습니다."); // the body ended before the part did
        }
    }
}

} // namespace Vuxo
