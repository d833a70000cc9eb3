// Runs a plug-in for one request (action "Plugin") or sends one file of a plug-in's folder (action
// "PluginResource"). The dispatcher builds one on its stack per request and destroys it when the call
// returns. While the plug-in runs, the processor is the request context: the plug-in gets its address in
// OnRequest and passes it back to every slot of the host table, which answers through the public members
// below (caches live for this request only, so no lock is needed; the managers asked guard themselves).
// The processor holds a reference of the plug-in for the whole request, so an unload or reload of the
// plug-ins in the meantime releases it only afterwards.
#pragma once

#include "plugin/sdk/PluginApi.h"
#include "service/plugins/PluginManager.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Vuxo {

class AuthoritySet;
class HttpRequest;
class ServerContext;

class PluginRequestProcessor {
public:
    // Neither is owned; both must outlive the processor.
    explicit PluginRequestProcessor(ServerContext& server,
                                    PluginManager& plugins = PluginManager::GetInstance());
    virtual ~PluginRequestProcessor();
    PluginRequestProcessor(const PluginRequestProcessor&) = delete;
    PluginRequestProcessor& operator=(const PluginRequestProcessor&) = delete;

    // Runs the plug-in named by the query parameter "type" with the rights the dispatcher computed:
    // 400 for an unknown plug-in, 401 with the challenge when the rights lack what it needs, 400 when an
    // action plug-in is not posted a "selectedFiles" field. A plug-in that ends without answering gets a
    // 500 page sent for it. The plug-in's result (0 when it failed outright).
    int Process(HttpRequest& request, const AuthoritySet* rights);

    // Sends the file named by the query parameter "file" from the folder of the plug-in named by "type".
    // The name must stay inside that folder (no "..", no absolute path, no NUL, no symbolic link out);
    // anything else, a missing file and an unknown plug-in get 404 "Not found".
    void SendResource(HttpRequest& request);

    // ---- The host table's view of the request (null or 0 when no plug-in is running) ----

    const char* GetPluginDirectory() const;
    int GetRequestMethod() const;
    const char* GetHttpVersion() const;
    const char* GetRequestUri() const;
    const char* GetRequestPath() const;
    // The local path of the request path, or null when it names nothing (tried again on the next call).
    const char* GetRequestLocalPath();
    // The local path of a virtual path (one leading "/" skipped) through the mount manager's checked
    // resolver, or null. Only shares whose rights were checked for this request are reached: below the
    // root the page's own share; at the root a share on which the user holds the rights the plug-in
    // needs. The text stays valid until the next call.
    const char* GetLocalPath(const char* virtualPath);
    // -1 when listing the root is not allowed; else the number of callbacks made, stopping after the
    // first that returns 0.
    int EnumShares(CorvantaEnumSharesCallback callback, int user) const;
    const char* GetHeader(const char* upperCaseName) const;
    const char* GetQueryParam(const char* name) const;
    const char* GetPostParam(const char* name) const;
    const char* GetClientAddress();
    // The host and port under which the client reached the server: the HOST header (port 80 by
    // default), else the configured host name when `useHostName` is on (the listening port by default),
    // else the connection's local address and the listening port.
    const char* GetServerHost();
    int GetServerPort();
    // The response: 1, or 0 when the connection failed or the call is out of order (a second status line,
    // a header after the body began, anything before the status line).
    int BeginResponse(int code, const char* reason);
    int SendHeader(const char* name, const char* value);
    int SendBody(const char* data, int length);
    int EndResponse();
    // One log line "<plug-in id>: <text>" at the level given.
    void WriteLog(int level, const char* text) const;

private:
    bool IsRunning() const { return m_request != nullptr && m_plugin != nullptr; }
    // False after a failed write, or when the step would break the order of a response.
    bool CanWrite() const;
    bool MayReachShare(const std::string& shareName) const;
    void ResolveServerHost();
    // `name` below the plug-in's `folder`, opened so that it cannot lead out of it.
    void SendResourceFile(HttpRequest& request, const std::string& folder, const std::string& name);

    ServerContext& m_server;
    PluginManager& m_plugins;
    std::shared_ptr<const PluginRecord> m_plugin;
    HttpRequest* m_request = nullptr;
    std::string m_clientAddress;
    std::string m_host;
    std::string m_requestLocalPath;
    std::string m_localPath;
    uint16_t m_port = 0;
    bool m_hostResolved = false;
    bool m_responseBegun = false;
    bool m_writeFailed = false;
};

} // namespace Vuxo
