// What request handling needs of the server object: its settings, shares, accounts, client limits, IP
// filter and program folder, plus the listening port the pages show. The server object (QuilloServer)
// implements it and outlives every request; the dispatcher and the processors only borrow it.
// Header-only on purpose, so that processors below the dispatcher in the build can take it without
// linking the dispatcher. Every getter is called from connection threads; the objects guard themselves.
#pragma once

#include "service/pages/PageServer.h"

#include <string>

namespace Vuxo {

class AccountStore;
class ConnectionCountLimitManager;
class IPFilter;
class MountManager;
class QuilloConfig;

class ServerContext : public PageServer {
public:
    virtual QuilloConfig& GetConfig() const = 0;
    virtual MountManager& GetMountManager() const = 0;
    virtual AccountStore& GetAccountStore() const = 0;
    virtual ConnectionCountLimitManager& GetConnectionCountLimitManager() const = 0;
    virtual const IPFilter& GetIPFilter() const = 0;
    // The folder that holds mount.ini, skin/, plugin/, Log/ (no trailing "/").
    virtual const std::string& GetProgramFolder() const = 0;
};

} // namespace Vuxo
