// The file-sharing service as one object: it owns the shares, the accounts, the IP filter and the
// connection-count limits, installs the program's log sink, loads what requests are served from
// (built-in files, MIME table, skins, IP-filter rules), starts and stops the web server with the
// request dispatcher on the configured port, knows the address under which the server is shown, and talks
// to the maker's web service: the public address, the version check and the connection test.
// The shell creates one at start and destroys it at exit, on its GUI thread; tests build one over a
// configuration in a temporary folder. Start, Stop, ChangePort, RunningCheck, PrepareRunningCheck and the
// destructor run on one thread, which also owns the worker threads (the public-address threads, the
// version check): Stop and the destructor cancel and join them. The connection test that runs on another
// thread (the Server page's) is handed a RunningCheckRequest and reaches no server (RunRunningCheck).
// The address string and its generation are guarded by the address lock; the managers guard themselves
// and are reached by connection threads through ServerContext.
#pragma once

#include "core/platform/net/HostLookup.h"
#include "core/thread/CriticalSection.h"
#include "service/dispatch/ServerContext.h"
#include "service/server/ServerLogSink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class GuiTransferStatusAggregator;
class QuilloHttpRequestHandler;
class RunningCheckCancel;
class UpdateIPStringThread;
class VersionCheckThread;
class WebServer;

// What the connection test asks the maker's service, taken from the server on its own thread
// (QuilloServer::PrepareRunningCheck), so that the exchange itself may run on any thread.
struct RunningCheckRequest {
    bool running = false;
    uint16_t port = 0;
    // The host name when `useHostName` is set and not blank, else the address the server is shown under.
    std::string address;
    // host[:port] of the maker's web service ("" for none).
    std::string serviceAddress;
    // The server's name lookup of that host (empty: the system's).
    Net::BlockingLookup lookup;
};

// What the server object is given besides its configuration: the maker's service and the callbacks to
// the shell. Every callback may be empty.
struct QuilloServerOptions {
    // host[:port] of the maker's web service (kDefaultServiceAddress in the program); "" for none: no
    // public address is asked for, no version check runs and RunningCheck is false.
    std::string serviceAddress;
    // LOG_ALERT texts (see ServerLogSink). Set before anything is loaded, so that the alerts of the
    // construction (a damaged share item, a skin that fails to load) reach it too.
    ServerLogSink::AlertCallback alert;
    // The address the server is shown under changed. Any thread.
    std::function<void()> addressChanged;
    // The maker's service reports a newer revision: called at most once, on the version-check thread.
    // Without it no version check runs.
    std::function<void()> newerRevision;
    // This host's IPv4 addresses (empty: the interfaces' own).
    std::function<std::vector<std::string>()> hostAddresses;
    // The blocking name lookup of the service's host (empty: the system's). Stop, the destructor and a
    // cancelled connection test never wait for it.
    Net::BlockingLookup lookup;
    // What the pages being made may hold at once (PageMemoryBudget).
    int64_t pageMemoryLimit = PageMemoryBudget::kDefaultLimit;
};

class QuilloServer : public ServerContext {
public:
    using AlertCallback = ServerLogSink::AlertCallback;

    // `programFolder` holds mount.ini (the configuration's file), skin/, plugin/ and Log/. The aggregator
    // (may be null: none) is not owned; the configuration must outlive the server. Starts the version
    // check when `useVersionCheck` is on and the options name a service and a notice callback.
    QuilloServer(QuilloConfig& config, std::string programFolder, GuiTransferStatusAggregator* aggregator,
                 QuilloServerOptions options = {});
    // Ends the version check, stops, keeps `wasRunning` as it was before the stop, saves, and logs the
    // closing line.
    ~QuilloServer() override;

    QuilloServer(const QuilloServer&) = delete;
    QuilloServer& operator=(const QuilloServer&) = delete;

    // Listens on the configured port with a new dispatcher. True when already running. On failure the
    // alert tells whether the port is taken or needs privileges, `wasRunning` is cleared and saved.
    bool Start();
    // Ends every connection and public-address request, clears the address and every transfer, clears
    // `wasRunning` and saves.
    void Stop();
    bool IsRunning() const;
    // The port listened on (only meaningful while running).
    uint16_t GetPort() const override;
    // The request's credentials match an account's name and password.
    bool IsLoggedIn(const HttpRequest& request) const override;
    PageMemoryBudget& GetPageMemory() const override { return m_pageMemory; }
    // Moves a running server to another port; false (old port kept) when the new one cannot be used.
    bool ChangePort(uint16_t port);

    // Works out the address the server is shown under again (Start does; the shell does when the address
    // settings change): at once the host name, the preferred or the first network address
    // (ChooseLocalAddress), and then, when `getPublicIP` is on, the public address from a new
    // public-address thread. A newer request cancels the older ones, and none stores its answer after
    // Stop. Nothing while stopped.
    void StartUpdateIPStringThread();
    std::string GetAddress() const;
    void SetAddress(const std::string& address);

    // What the connection test needs of the server and its configuration, read now.
    RunningCheckRequest PrepareRunningCheck() const;
    // RunRunningCheck of PrepareRunningCheck(), all on this thread.
    bool RunningCheck(RunningCheckCancel* cancel = nullptr);

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
    // Stores a public address when no newer request or Stop came since `generation` was drawn.
    void StoreAddress(uint64_t generation, const std::string& address);
    void CancelAddressThreads();
    void NotifyAddressChanged() const;
    std::vector<std::string> HostAddresses() const;

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
    QuilloServerOptions m_options;
    mutable PageMemoryBudget m_pageMemory;
    mutable CriticalSection m_addressLock;
    std::string m_address;
    uint64_t m_addressGeneration = 0; // drawn by each address request and by Stop
    std::vector<std::unique_ptr<UpdateIPStringThread>> m_addressThreads;
    std::unique_ptr<VersionCheckThread> m_versionCheck;
};

// Loads, in this order: the built-in files, the MIME table (the program folder's mime-type.txt, else the
// built-in copy), the built-in skin, the skin folders and the configured default skin, then the IP-filter
// rules from the configuration. The shell calls it again when skins or the MIME table may have changed.
void ReloadResources(QuilloServer& server);

// Asks the maker's service whether it reaches the server from outside: true when the service's request
// to the request's address and port got this program's instance id. False when the server was not
// running or there is no service, and on any failure. Blocks until answered or until `cancel` (when
// given) is cancelled from another thread. Any thread: it touches no server object.
bool RunRunningCheck(const RunningCheckRequest& request, RunningCheckCancel* cancel = nullptr);

// "http://" + address, ":" + port unless the address holds ":" or the port is 80, then "/".
std::string MakeServerUrl(const std::string& address, uint16_t port);

// The log text for a port that could not be listened on: the port is taken (or cannot be used) or, on
// this system, needs privileges the program lacks. Probes the port once to tell which.
std::string DescribeListenFailure(int port);

} // namespace Vuxo
