// Stores one file that a browser posts into a shared folder with a multipart form (the field
// "uploadfile"; the query carries the "key" under which the upload window follows the progress). The
// file arrives into a temporary file beside its destination and gets its final, never-colliding name
// only when the whole part has arrived and the file is closed; only then is the upload reported
// finished. Every failure removes the temporary file and reports the upload failed. The answer is a
// short plain-text message: "OK", or the reasons of the refusal one per line.
// The dispatcher builds it on its stack for a multipart POST whose caller holds the U right and calls
// ReceiveFile once. It works on the connection thread, but for the disk writes of a part larger than one
// buffer (a WriteBehindFile's thread); the upload-status table guards itself.
#pragma once

#include <cstdint>
#include <string>

namespace Vuxo {

class HttpRequest;
class ServerContext;
class TemporaryUploadFile;
class UploadStatusTable;

class UploadRequestProcessor {
public:
    // Reports to the program's upload-status table.
    explicit UploadRequestProcessor(ServerContext& server);
    UploadRequestProcessor(ServerContext& server, UploadStatusTable& table);
    virtual ~UploadRequestProcessor();

    // Handles the whole request and answers it (status 200 whatever the outcome; the body tells).
    void ReceiveFile(HttpRequest& request);

    // The answer's text.
    const std::string& GetMessage() const { return m_message; }

private:
    bool ValidateUploadTarget(HttpRequest& request, const std::string& folder);
    bool FindUploadPart(HttpRequest& request);
    bool ReadUploadPartHeader(HttpRequest& request);
    bool ReceiveToFile(HttpRequest& request, const std::string& folder, const std::string& key,
                       int64_t total);
    // Copies the current part into the file; "" when the part arrived whole, else the failure's text.
    std::string CopyPartToFile(HttpRequest& request, TemporaryUploadFile& file, const std::string& key);
    // Adds a refused part's text on a line of its own.
    void AppendRefusal(const char* text);

    ServerContext& m_server;
    UploadStatusTable& m_table;
    std::string m_message;
    std::string m_fileName; // the accepted part's file name, made safe
};

} // namespace Vuxo
