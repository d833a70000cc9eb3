// The public-address thread: asks the maker's service once for this machine's public address and hands
// a valid answer to the server object, which stores it as the address the server is shown under (the
// address box and every share's link). The other choices of that address need no network and are made by
// the server object itself (ChooseLocalAddress), so the box is never empty while the answer is awaited.
// Owned by the server object, which starts it, cancels it (Stop and a newer request cancel the request)
// and joins it; it never deletes itself. Its connection is used on its own thread; only the cancel comes
// from another.
#pragma once

#include "core/http_client/HttpConnection.h"
#include "core/thread/AThread.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Vuxo {

class QuilloConfig;

// The failure marker: no address is known.
constexpr const char* kNoAddress = "?.?.?.?";

class UpdateIPStringThread : public AThread {
public:
    // Receives a valid public address, on the thread.
    using StoreFunction = std::function<void(const std::string& address)>;

    // `lookup`: the blocking name lookup of the service's host (empty: the system's).
    UpdateIPStringThread(const std::string& serviceAddress, StoreFunction store,
                         Net::BlockingLookup lookup = {});
    ~UpdateIPStringThread() override;

    int Run() override;
    // Ends the request at once without waiting for the thread; any thread.
    void Cancel() { m_connection.Cancel(); }

protected:
    void Interrupt() override { m_connection.Cancel(); }

private:
    HttpConnection m_connection;
    StoreFunction m_store;
};

// Asks the service and logs the attempt and its outcome (a cancelled request logs no failure). The
// address, or nullopt when the request failed or the reply is no address.
std::optional<std::string> FetchPublicAddress(HttpConnection& connection);

// A reply of the public-address service as an address: the dotted IPv4 text left once blanks and line
// ends around it are removed; nullopt for anything else (an HTML page, a host name, "1.2.3").
std::optional<std::string> ParsePublicAddressReply(std::string text);

// The address when the public one is not used or not known: the configured host name (`useHostName`,
// when it is not blank), else the preferred network address while this host still has it, else the
// first of `hostAddresses`, else kNoAddress.
std::string ChooseLocalAddress(const QuilloConfig& config, const std::vector<std::string>& hostAddresses);

} // namespace Vuxo
