// The sub-folder list ("?action=Subdir"): the names of the folders below a request path, for the folder
// page's path bar, as a small script array rendered from the sub-folder template: at the root the folder
// shares, elsewhere the sub-folders of the folder, always closed by the entry "/". Names are written as
// escaped script strings, so a quote, a backslash or a line break in a name stays inside its entry.
// Built on the dispatcher's stack for one request and called once with the caller's list right. It
// derives OutputStream so the template renders straight into the response.
#pragma once

#include "core/template/OutputStream.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace Vuxo {

class HttpRequest;
class ServerContext;
class TextContent;

class SubdirRequestProcessor : public OutputStream {
public:
    explicit SubdirRequestProcessor(ServerContext& server);
    ~SubdirRequestProcessor() override;

    // Writes the whole response: 'UNAUTHORIZED' without the list right, the share list at the root
    // ("text/xml"), the folder's sub-folders ("text/plain"), or 404 for a path that names no folder.
    void Process(HttpRequest& request, bool mayList);

    // Forwards rendered bytes to the response.
    void Write(const char* data, std::size_t length) override;

private:
    void AddShareRows(TextContent& content) const;
    // False when the path names something that is not a folder.
    // `requestPath` names the folder (with its trailing "/"); links leading out of the share are left out.
    bool AddFolderRows(const std::string& requestPath, const std::string& localPath,
                       TextContent& content) const;
    void SendList(const char* contentType, TextContent& content);
    void SendNotFound();

    ServerContext& m_server;
    HttpRequest* m_request = nullptr;
};

} // namespace Vuxo
