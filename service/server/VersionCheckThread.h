// The version check: asks the maker's service once for the latest revision of the program and, when it
// is newer than the running one, calls the notice callback on this thread (the shell queues the notice
// to its GUI thread). Every failure is silent and counts as "the running revision is the latest".
// Owned by the server object, which starts it once from its constructor and cancels and joins it in its
// destructor; it never deletes itself. Its connection is used on its own thread; only the cancel comes
// from another.
#pragma once

#include "core/http_client/HttpConnection.h"
#include "core/thread/AThread.h"

#include <functional>
#include <string>

namespace Vuxo {

class VersionCheckThread : public AThread {
public:
    // `lookup`: the blocking name lookup of the service's host (empty: the system's).
    VersionCheckThread(const std::string& serviceAddress, std::function<void()> onNewerRevision,
                       Net::BlockingLookup lookup = {});
    ~VersionCheckThread() override;

    int Run() override;

protected:
    void Interrupt() override { m_connection.Cancel(); }

private:
    bool IsLatestRevision();

    HttpConnection m_connection;
    std::function<void()> m_onNewerRevision;
};

// The revision service's reply read as the program reads it: a decimal number at its start (blanks
// first are skipped). True only for a number above the running revision.
bool IsNewerRevisionReply(const std::string& text);

} // namespace Vuxo
