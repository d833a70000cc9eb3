// What a page needs to know of the server it is sent for. The server object (QuilloServer) implements
// it; keeping it this small lets the pages module sit below the server in the build. Implementations
// answer from any connection thread.
#pragma once

#include <cstdint>

namespace Vuxo {

class PageServer {
public:
    virtual ~PageServer() = default;
    // The port the server listens on.
    virtual uint16_t GetPort() const = 0;
};

} // namespace Vuxo
