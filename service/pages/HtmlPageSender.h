// The byte sink that renders a skin's template into an HTTP response: built for one response on the
// stack of a page function or processor, it sends the status line at once; headers may follow through
// the request; Send adds the common variables, renders the page into a buffer and sends it with the skin's
// Content-Type and its length, so the connection can carry the client's next request.
// Neither the server nor the request is owned; one thread.
#pragma once

#include "core/template/OutputStream.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace Vuxo {

class HttpRequest;
class PageServer;
class SkinManager;
class TextContent;

class HtmlPageSender : public OutputStream {
public:
    // Sends the status line with HttpRequest::BeginResponse. The skins come from the program's manager
    // unless given.
    HtmlPageSender(const PageServer& server, HttpRequest& request, int code, std::string_view reason);
    HtmlPageSender(const PageServer& server, HttpRequest& request, int code, std::string_view reason,
                   const SkinManager& skins);

    // Sets the common variables over the caller's ($skin, $version, $revision, $server_addr,
    // $server_port, $server_path, $server_path_encoded, $current_login_id; request values HTML-escaped;
    // a 401 page names no user, since its credentials were refused or are being dropped),
    // renders the skin's template, sends "Content-Type" with the skin's type, "Content-Length", the page,
    // and ends the response. Socket failures pass on as exceptions.
    void Send(TextContent& content);

    // Collects the rendered page.
    void Write(const char* data, std::size_t length) override;

private:
    const PageServer& m_server;
    HttpRequest& m_request;
    const SkinManager& m_skins;
    int m_code;
    std::string m_page;
};

} // namespace Vuxo
