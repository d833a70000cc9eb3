// The sub-folder list ("?action=Subdir"): the names of the folders below a request path, for the folder
// page's path bar, as a small script array rendered from the sub-folder template: at the root the folder
// shares, elsewhere the sub-folders of the folder, always closed by the entry "/". Names are written as
// escaped script strings, so a quote, a backslash or a line break in a name stays inside its entry.
// The names are held in the server's page memory; a folder that finds no room there is answered 503.
// Built on the dispatcher's stack for one request and called once with the caller's list right. It
// derives OutputStream so the template renders straight into the response.
#pragma once

#include "core/template/OutputStream.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace Vuxo {

class HttpRequest;
class ListEntryList;
class ServerContext;

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
    enum class Gathered { Whole, NotAFolder, NoRoom };

    // False when the page memory had no room for every name.
    bool AddShares(ListEntryList& names) const;
    // `requestPath` names the folder (with its trailing "/"); links leading out of the share are left out.
    Gathered AddFolders(const std::string& requestPath, const std::string& localPath,
                        ListEntryList& names) const;
    void SendList(const char* contentType, const ListEntryList& names);
    void SendNotFound();
    void SendBusy();

    ServerContext& m_server;
    HttpRequest* m_request = nullptr;
};

} // namespace Vuxo
