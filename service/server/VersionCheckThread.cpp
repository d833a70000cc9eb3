#include "service/server/VersionCheckThread.h"

#include "core/version/ProgramVersion.h"
#include "service/server/MakerService.h"

#include <sstream>

namespace Vuxo {

VersionCheckThread::VersionCheckThread(const std::string& serviceAddress,
                                       std::function<void()> onNewerRevision, Net::BlockingLookup lookup)
    : m_connection(kHttpClientGet, MakeServiceUrl(serviceAddress, kRevisionPath)),
      m_onNewerRevision(std::move(onNewerRevision)) {
    m_connection.SetLookup(std::move(lookup));
}

VersionCheckThread::~VersionCheckThread() {
    Stop();
}

int VersionCheckThread::Run() {
    if (!IsLatestRevision() && !m_connection.IsCancelled()) {
        m_onNewerRevision();
    }
    return 0;
}

bool VersionCheckThread::IsLatestRevision() {
    try {
        return m_connection.Execute() != 200 || !IsNewerRevisionReply(ReadShortReply(m_connection));
    } catch (const std::exception&) {
        return true;
    }
}

bool IsNewerRevisionReply(const std::string& text) {
    std::istringstream stream(text);
    long long revision = 0;
    return static_cast<bool>(stream >> revision) && revision > kProgramRevision;
}

} // namespace Vuxo
