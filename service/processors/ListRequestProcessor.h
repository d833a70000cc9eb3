// Renders the page of one shared folder, or at the root the page that lists the shares, through the
// skin's template: entries with links, dates and sizes, the total size, the free disk space, the upper
// folder and upload links as the rights allow, and the installed skins. A folder named without its
// trailing "/" is redirected to the path with it. Names and paths that come from the request or the file
// system are HTML-escaped; links are URL-encoded, which needs nothing more. The entries are held in the
// server's page memory; a folder that finds no room there waits for it, and is answered 503 when it
// does not come in time. The day log says "SendList" succeeded only for a page that went out whole.
// Built on the dispatcher's stack for one request with the rights the dispatcher computed. In
// skin-developer mode every listing reloads the skins first, all listings serialised by one
// process-wide lock; otherwise listings run side by side without one.
#pragma once

#include "service/accounts/AuthoritySet.h"
#include "service/pages/PageMemoryBudget.h"
#include "service/processors/ListEntries.h"

#include <string>

namespace Vuxo {

class HttpRequest;
class ServerContext;

// What one page shows.
struct ListPage {
    explicit ListPage(PageMemoryBudget& budget) : memory(budget), entries(&memory) {}

    bool showUpper = false; // the upper-folder link and the free space
    bool canUpload = false; // the upload and new-folder functions
    bool showFiles = false; // the entry table (always, for a listing)
    std::string content;    // a notice above the table; empty for a listing
    std::string address;    // the folder's virtual address, beginning with "/"
    std::string localPath;  // the folder on disk ("" at the root)
    PageMemory memory;      // what the entries take
    ListEntryList entries;
};

class ListRequestProcessor {
public:
    ListRequestProcessor(ServerContext& server, AuthoritySet rights);
    virtual ~ListRequestProcessor();

    // Answers the request with the page or a redirect.
    void SendList(HttpRequest& request);

private:
    // True when the answer (the page or the redirect) went out whole.
    bool Answer();
    // These give false when the page memory had no room for every entry.
    bool CollectShares(ListEntryList& entries) const;
    // `requestPath` names the folder (with its trailing "/"); a link whose target the share's resolver
    // refuses (it leads out of the share) is left out, as fetching it would be refused. Waits for room
    // in the page memory when the folder needs more than is free.
    bool CollectFolder(const std::string& requestPath, ListPage& page) const;
    // One walk; false when not every entry found room. `need` adds up what every entry takes.
    bool WalkFolder(const std::string& requestPath, ListEntryList& entries, size_t& need) const;
    bool SendPage(ListPage& page);
    void SendBusy();

    ServerContext& m_server;
    HttpRequest* m_request = nullptr;
    AuthoritySet m_rights;
    bool m_isRoot = false;
};

} // namespace Vuxo
