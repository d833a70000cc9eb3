// Sends one shared file, whole or one byte range of it, as the answer to a GET of a file path. The
// dispatcher has tested the download right, opened the file (once: this processor sends from that very
// descriptor), resolved the "RANGE" header to exactly one range and taken a connection-count token; it
// builds the processor on its stack, calls SendFile and releases the token afterwards.
// Large bodies go out with sendfile straight from the file, in pieces sized by the transfer's speed so
// the speed limit paces them; small ones leave in one send together with the header block.
// One request, one thread; nothing shared.
#pragma once

#include "core/file/PelkFile.h"
#include "core/http_headers/RangeHeader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class HttpRequest;

class DownloadRequestProcessor {
public:
    // Bodies up to this size are read into memory and sent with the header block in one write.
    static constexpr int64_t kSmallBodyLimit = 64 * 1024;
    // Bodies up to this size are read into storage the connection thread keeps for its next request: a
    // buffer of this size does not fit the allocator's per-thread cache, and allocating it per request
    // takes a lock other connections share. Larger ones are allocated, so a thread keeps at most this.
    static constexpr int64_t kReusedBodyLimit = 16 * 1024;

    // `file` is open for reading, at its start, and stays owned by the caller; `fileSize` is its size as
    // the caller measured it (ranges were resolved against it); `range` holds exactly one resolved range
    // when hasRange is set. The path, the file and the range are the caller's and must outlive the
    // processor (it lives for one SendFile).
    DownloadRequestProcessor(std::string_view localPath, PelkFile& file, int64_t fileSize, bool hasRange,
                             const RangeHeader& range);
    virtual ~DownloadRequestProcessor();

    // Writes the whole response. A failure before the response began is logged and swallowed (nothing
    // is sent; the connection then closes). A failure after it began (the client went away, the file
    // shrank) is logged and passed on, so the connection ends instead of carrying a cut body as if it
    // were complete.
    void SendFile(HttpRequest& request);

private:
    void Send();

    HttpRequest* m_request = nullptr;
    bool m_responseStarted = false;
    bool m_hasRange;
    const RangeHeader& m_range;
    std::string_view m_localPath;
    PelkFile& m_file;
    int64_t m_fileSize;
};

// Sizes a transfer buffer for `speed` bytes per second: half a second's worth rounded down to whole KiB,
// at least 1 KiB and at most `largest` bytes. Storage more than twice the new size is released first, so
// the buffer shrinks when the speed drops.
void ResizeTransferBuffer(std::vector<char>& buffer, int64_t speed, int64_t largest = 256 * 1024);

} // namespace Vuxo
