#include "service/processors/DownloadRequestProcessor.h"

#include "core/file/PelkFile.h"
#include "core/http/HttpRequest.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/log/TraceBatch.h"
#include "core/text/PathHelpers.h"
#include "service/mime/MimeTypeTable.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace Vuxo {

DownloadRequestProcessor::DownloadRequestProcessor(std::string_view localPath, PelkFile& file,
                                                   int64_t fileSize, bool hasRange, const RangeHeader& range)
    : m_hasRange(hasRange), m_range(range), m_localPath(localPath), m_file(file), m_fileSize(fileSize) {}

DownloadRequestProcessor::~DownloadRequestProcessor() = default;

void DownloadRequestProcessor::SendFile(HttpRequest& request) {
    m_request = &request;
    // A small file read whole and gathered with its header leaves only after the handler returns, so its
    // two lines reach the log in one write; any send or receive on the way delivers the first line before
    // it waits (the request does), so a longer transfer never holds it back.
    const TraceBatch lines;
    request.Log(LOG_INFO, "%s", Tr("SendFile 시작"));
    try {
        Send();
    } catch (const std::exception& e) {
        request.Log(LOG_ERROR, Tr("SendFile 실패: (%s)"), e.what());
        if (m_responseStarted) {
            // Part of the answer is out (or queued) with a length the body did not reach: end the
            // connection, so the client sees a cut transfer rather than a complete one.
            throw;
        }
        return;
    }
    request.Log(LOG_INFO, "%s", Tr("SendFile 성공"));
}

void DownloadRequestProcessor::Send() {
    HttpRequest& request = *m_request;
    const int64_t size = m_fileSize;
    if (size < 0) {
        throw std::runtime_error("Cannot open file");
    }
    const bool partial = m_hasRange && m_range.IsResolved() && m_range.GetRangeCount() == 1;
    const int64_t start = partial ? m_range.GetRanges().front().first : 0;
    const int64_t length = partial ? m_range.GetRanges().front().last - start + 1 : size;

    // A small body is read before anything is written, so that a file that shrank meanwhile fails
    // before the header block promises its length.
    // The connection thread reuses the storage of a body up to kReusedBodyLimit (see the header).
    thread_local std::vector<char> t_reusedBody;
    std::vector<char> ownBody;
    const bool small = length <= kSmallBodyLimit;
    std::vector<char>& body = length <= kReusedBodyLimit ? t_reusedBody : ownBody;
    if (small) {
        body.resize(static_cast<size_t>(length));
        // The file comes at its start, so only a range needs a seek.
        const bool positioned = start == 0 || m_file.Seek(start, PelkFile::Begin) == start;
        if (!positioned || m_file.Read(body.data(), body.size()) != body.size()) {
            throw std::runtime_error("The file ended before the promised length was read.");
        }
    }

    m_responseStarted = true;
    if (partial) {
        request.BeginResponse(RangeHeader::GetPartialContentStatus(), RangeHeader::GetPartialContentReason());
        request.SendHeader(RangeHeader::GetContentRangeHeaderName(), m_range.GetContentRangeValue());
    } else {
        request.BeginResponse(200, "OK");
    }
    TransferStatusReporter& reporter = request.GetReporter();
    reporter.SetTotalSize(kDirectionDownload, size);
    reporter.SetPosition(kDirectionDownload, start);
    request.SendHeader("Content-Length", std::to_string(length));
    const MimeTypeTable::Entry type = MimeTypeTable::GetInstance().Lookup(GetFileExtension(m_localPath));
    request.SendHeader("Content-Type", type.type);
    // A shared file is anybody's who may upload: one that could run script does so in an opaque origin.
    request.SetContentPolicy(type.mayRunScript ? ContentPolicy::kSharedActiveFile
                                               : ContentPolicy::kSharedFile);
    // The length is known, so the connection can carry the client's next request.
    request.SetKeepAlive();

    if (small) {
        request.Write(body.data(), body.size());
    } else {
        request.SendFileData(m_file.GetDescriptor(), start, length);
    }
    request.EndResponse();
}

void ResizeTransferBuffer(std::vector<char>& buffer, int64_t speed, int64_t largest) {
    constexpr int64_t kMin = 1024;
    const int64_t size = std::clamp<int64_t>(speed / 2 / 1024 * 1024, kMin, std::max(largest, kMin));
    if (buffer.capacity() > static_cast<size_t>(2 * size)) {
        std::vector<char>().swap(buffer);
    }
    buffer.resize(static_cast<size_t>(size));
}

} // namespace Vuxo
