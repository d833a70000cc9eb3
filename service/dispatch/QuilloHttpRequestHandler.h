// The request dispatcher: the HttpRequestHandler that the server object installs into its web server.
// For every request it decides, in one fixed order, the answer: a redirect to the canonical path, the
// identification answer, a built-in file, the IP filter's refusal, authentication (Basic, against the
// account store; no credentials means ".anonymous"), log in, the refusal of an upload, new folder or
// logout that a page of another origin sent (RequestOrigin.h), log out, the rights on the share, and then
// one request processor built on its stack for this request (folder list, download, ...), or a status or
// message page.
// Owned by the server object, which creates it at start and deletes it after the web server stopped.
// Every connection thread calls it at once; it keeps nothing between requests and takes no lock of its
// own (the managers it asks guard themselves).
#pragma once

#include "core/file/PelkFile.h"
#include "core/http/HttpRequestHandler.h"

#include <string>

namespace Vuxo {

class AuthoritySet;
class ServerContext;

class QuilloHttpRequestHandler : public HttpRequestHandler {
public:
    // The server is not owned and must outlive the handler.
    explicit QuilloHttpRequestHandler(ServerContext& server);
    ~QuilloHttpRequestHandler() override;

    // Answers the request through it. Connection-count refusals are answered here; socket failures while
    // answering pass on to the connection thread.
    void HandleRequest(HttpRequest& request) override;

    // loginId := the user name of the request's credentials, or ".anonymous" without any (always true).
    // With credentials: true when the account exists and the password matches.
    bool Authenticate(std::string& loginId, HttpRequest& request) const;

private:
    // Where a request that passed authentication goes, decided from its header alone.
    enum class Route { Subdir, Plugin, RootList, Upload, MakeDirectory, Entry };

    void Dispatch(HttpRequest& request);
    static Route ChooseRoute(const HttpRequest& request, const std::string& action);
    // Reads the request's form body; false when it was refused for now (answered 503).
    bool ReceiveForm(HttpRequest& request) const;
    // The rights of the request, and the local path of a path below the root ("" at the root). False
    // when the request was answered while computing them. For an entry (`forEntry`) the path is not yet
    // checked for links that lead out (GetLocalPathForOpen): ServeEntry opens it below the share first.
    bool ComputeRights(HttpRequest& request, const std::string& loginId, bool forEntry, AuthoritySet& rights,
                       std::string& localPath) const;
    // A file, a folder's page or a refusal; `openPath` is GetLocalPathForOpen's.
    void ServeEntry(HttpRequest& request, const std::string& openPath, const AuthoritySet& rights);
    void ServeFile(HttpRequest& request, const std::string& localPath, PelkFile& file);

    ServerContext& m_server;
};

} // namespace Vuxo
