#include "service/server/UpdateIPStringThread.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/net/SocketCalls.h"
#include "core/text/StringHelpers.h"
#include "service/config/QuilloConfig.h"
#include "service/server/MakerService.h"

#include <algorithm>

namespace Vuxo {

namespace {

constexpr const char* kBlanks = " \t\r\n";

std::string Trimmed(std::string text) {
    Trim(text, kBlanks);
    return text;
}

} // namespace

UpdateIPStringThread::UpdateIPStringThread(const std::string& serviceAddress, StoreFunction store,
                                           Net::BlockingLookup lookup)
    : m_connection(kHttpClientGet, MakeServiceUrl(serviceAddress, kPublicAddressPath)),
      m_store(std::move(store)) {
    m_connection.SetLookup(std::move(lookup));
}

UpdateIPStringThread::~UpdateIPStringThread() {
    Stop();
}

int UpdateIPStringThread::Run() {
    if (const std::optional<std::string> address = FetchPublicAddress(m_connection)) {
        m_store(*address);
    }
    return 0;
}

std::optional<std::string> FetchPublicAddress(HttpConnection& connection) {
    Trace(LOG_NOTICE, "%s", Tr("외부에서 주소 얻어오기 시도중.."));
    std::optional<std::string> address;
    try {
        if (connection.Execute() == 200) {
            address = ParsePublicAddressReply(ReadShortReply(connection));
        }
    } catch (const std::exception&) {
        address.reset();
    }
    if (address) {
        Trace(LOG_NOTICE, Tr("외부에서 주소 얻어오기 성공. 주소 : %s"), address->c_str());
    } else if (!connection.IsCancelled()) {
        Trace(LOG_ERROR, "%s", Tr("외부에서 주소 얻어오기 실패."));
    }
    return address;
}

std::optional<std::string> ParsePublicAddressReply(std::string text) {
    Trim(text, kBlanks);
    if (!Net::ParseDotted(text)) {
        return std::nullopt;
    }
    return text;
}

std::string ChooseLocalAddress(const QuilloConfig& config, const std::vector<std::string>& hostAddresses) {
    if (config.useHostName.load()) {
        std::string hostName = Trimmed(config.HostName.Get());
        if (!hostName.empty()) {
            return hostName;
        }
    }
    const std::string preferred = Trimmed(config.preferredLancardAddress.Get());
    if (!preferred.empty() &&
        std::find(hostAddresses.begin(), hostAddresses.end(), preferred) != hostAddresses.end()) {
        return preferred;
    }
    return hostAddresses.empty() ? std::string(kNoAddress) : hostAddresses.front();
}

} // namespace Vuxo
