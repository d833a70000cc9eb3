// The upload window's progress page ("?action=UploadStatus&key=..."): one HTML response that stays open
// and gets a small script block every few seconds, calling the window's parent.onUpdateUpload with the
// status text and parent.onUpdateProgress with the percentage, until the upload of that key finished or
// failed. A key that never shows up ends with the failure text after about nine seconds; an upload that
// has not moved for a minute is given up as failed too.
// Built on the dispatcher's stack for one request, without any login (the key is the secret). It reads
// copies of the upload-status table's entries and never holds the table's lock while writing or waiting.
#pragma once

#include <string>

namespace Vuxo {

class Clock;
class HttpRequest;
class ServerContext;
class UploadStatusTable;

class UploadStatusReportingRequestProcessor {
public:
    // Misses (one second apart) before a key that never appears is reported as failed.
    static constexpr int kMaxMisses = 9;

    // The program's table; waits end early when the server stops the connection.
    explicit UploadStatusReportingRequestProcessor(ServerContext& server);
    // A table of its own; with `sleeper` set, waits sleep on that clock instead (tests step through).
    UploadStatusReportingRequestProcessor(ServerContext& server, UploadStatusTable& table, Clock* sleeper);
    virtual ~UploadStatusReportingRequestProcessor();

    // Writes the whole response. A client that goes away ends it through the write's exception.
    void Process(HttpRequest& request);

private:
    // False when the server is stopping the connection.
    bool Wait(HttpRequest& request, int64_t ms);

    ServerContext& m_server; // not used: every processor is built with the server
    UploadStatusTable& m_table;
    Clock* m_sleeper;
};

} // namespace Vuxo
