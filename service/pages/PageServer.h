// What a page needs to know of the server it is sent for. The server object (QuilloServer) implements
// it; keeping it this small lets the pages module sit below the server in the build. Implementations
// answer from any connection thread.
#pragma once

#include "service/pages/PageMemoryBudget.h"

#include <cstdint>

namespace Vuxo {

class HttpRequest;

class PageServer {
public:
    virtual ~PageServer() = default;
    // The port the server listens on.
    virtual uint16_t GetPort() const = 0;
    // True when the request's credentials are those of an account: its user is logged in. Without
    // accounts nobody is.
    virtual bool IsLoggedIn(const HttpRequest&) const { return false; }
    // What the pages being made may hold at once, together.
    virtual PageMemoryBudget& GetPageMemory() const { return PageMemoryBudget::Shared(); }
};

} // namespace Vuxo
