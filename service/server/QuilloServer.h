// The file-sharing service as one object: it owns the shares, the accounts, the IP filter and the
// connection-count limits, installs the program's log sink, loads what requests are served from
// (built-in files, MIME table, skins, IP-filter rules), starts and stops the web server with the
// request dispatcher on the configured port, and knows the address under which the server is shown.
// The shell creates one at start and destroys it at exit, on its GUI thread; tests build one over a
// configuration in a temporary folder. Start, Stop, ChangePort and the destructor run on one thread.
// The address string is written by the address update and read by GetUrl under the address lock; the
// managers guard themselves and are reached by connection threads through ServerContext.
#pragma once

#include "core/thread/CriticalSection.h"
#include "service/dispatch/ServerContext.h"
#include "service/server/ServerLogSink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Vuxo {

class GuiTransferStatusAggregator;
class QuilloHttpRequestHandler;
class WebServer;

class QuilloServer : public ServerContext {
public:
    using AlertCallback = ServerLogSink::AlertCallback;

    // `programFolder` holds mount.ini (the configuration's file), skin/, plugin/ and Log/. The aggregator
    // (may be null: none) is not owned; the configuration must outlive the server.
    QuilloServer(QuilloConfig& config, std::string programFolder, GuiTransferStatusAggregator* aggregator);
    // Stops, keeps `wasRunning` as it was before the stop, saves, and logs the closing line.
    ~QuilloServer() override;

    QuilloServer(const QuilloServer&) = delete;
    QuilloServer& operator=(const QuilloServer&) = delete;

    // Listens on the configured port with a new dispatcher. True when already running. On failure the
    // alert tells whether the port is taken or needs privileges, `wasRunning` is cleared and saved.
    bool Start();
    // Ends every connection, clears the address and every transfer, clears `wasRunning` and saves.
    void Stop();
    bool IsRunning() const;
    // The port listened on (only meaningful while running).
    uint16_t GetPort() const override;
    // The request's credentials match an account's name and password.
    bool IsLoggedIn(const HttpRequest& request) const override;
    // Moves a running server to another port; false (old port kept) when the new one cannot be used.
    bool ChangePort(uint16_t port);

    // Works out the address the server is shown under. The lookup of the public address and the
    // configured host name belong to the public-address thread, which replaces this step later; today
    // the address is the first non-loopback IPv4 address of this host, or "127.0.0.1".
    void StartUpdateIPStringThread();
    std::string GetAddress() const;
    void SetAddress(const std::string& address);

    // "http://" + address (+ ":" + port unless the address holds ":" or the port is 80) + "/"; "" while
    // stopped.
    std::string GetUrl() const;
    // GetUrl() + the URL-encoded virtual path ("" while stopped).
    std::string GetUrl(const std::string& virtualPath) const;
    // The same for a share's UTF-16 virtual path, as the share list copies it.
    std::u16string GetShareUrl(std::u16string_view virtualPath) const;

    // The shell's message box for LOG_ALERT entries (see ServerLogSink).
    void SetAlertCallback(AlertCallback callback);
    ServerLogSink& GetLogSink() { return m_logSink; }

    // ServerContext
    QuilloConfig& GetConfig() const override { return m_config; }
    MountManager& GetMountManager() const override { return *m_mounts; }
    AccountStore& GetAccountStore() const override { return *m_accounts; }
    ConnectionCountLimitManager& GetConnectionCountLimitManager() const override { return *m_limits; }
    const IPFilter& GetIPFilter() const override { return *m_ipFilter; }
    IPFilter& GetIPFilter() { return *m_ipFilter; }
    const std::string& GetProgramFolder() const override { return m_programFolder; }

    GuiTransferStatusAggregator* GetAggregator() const { return m_aggregator; }

private:
    void LogStartFailure(int port);

    QuilloConfig& m_config;
    std::string m_programFolder;
    ServerLogSink m_logSink;
    std::unique_ptr<WebServer> m_webServer; // null while stopped
    std::unique_ptr<QuilloHttpRequestHandler> m_handler;
    std::unique_ptr<MountManager> m_mounts;
    std::unique_ptr<AccountStore> m_accounts;
    GuiTransferStatusAggregator* m_aggregator; // not owned
    std::unique_ptr<ConnectionCountLimitManager> m_limits;
    std::unique_ptr<IPFilter> m_ipFilter;
    mutable CriticalSection m_addressLock;
    std::string m_address;
};

// Loads, in this order: the built-in files, the MIME table (the program folder's mime-type.txt, else the
// built-in copy), the built-in skin, the skin folders and the configured default skin, then the IP-filter
// rules from the configuration. The shell calls it again when skins or the MIME table may have changed.
void ReloadResources(QuilloServer& server);

// "http://" + address, ":" + port unless the address holds ":" or the port is 80, then "/".
std::string MakeServerUrl(const std::string& address, uint16_t port);

// The log text for a port that could not be listened on: the port is taken (or cannot be used) or, on
// this system, needs privileges the program lacks. Probes the port once to tell which.
std::string DescribeListenFailure(int port);

} // namespace Vuxo
