// Answers the identification request (a GET of the root whose query is the single key "identify") with
// the server instance id, by which a client recognises this very running server. Built on the
// dispatcher's stack for one request; no state.
#pragma once

namespace Vuxo {

class HttpRequest;

class IdentificationRequestProcessor {
public:
    virtual ~IdentificationRequestProcessor() = default;

    // 200 "OK", header "Server: Quillo Corvanta", the 16-digit instance id as the body.
    void Process(HttpRequest& request);
};

} // namespace Vuxo
