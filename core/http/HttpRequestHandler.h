// What the web server calls for every request: the file-sharing service installs its dispatcher, and until
// then the do-nothing NullHttpRequestHandler answers nothing (the connection is closed after each request).
// A handler is shared by every connection thread at once and guards its own state.
#pragma once

namespace Vuxo {

class HttpRequest;

class HttpRequestHandler {
public:
    virtual ~HttpRequestHandler() = default;
    // Called on the connection's thread; writes the response through the request.
    virtual void HandleRequest(HttpRequest& request) = 0;
};

class NullHttpRequestHandler final : public HttpRequestHandler {
public:
    // The process-wide instance, the default handler of every web server.
    static NullHttpRequestHandler& GetInstance();

    void HandleRequest(HttpRequest&) override {}
};

} // namespace Vuxo
