// The byte sink that renders a skin's template into an HTTP response: built for one response on the
// stack of a page function or processor; headers of the page's own may be added through AddHeader; Send
// adds the common variables, renders the page into a buffer and only then sends the status line, the
// headers, the skin's Content-Type, the length and the page, so the connection can carry the client's
// next request, and a page whose render is stopped by its budget can still be answered with a 500.
// Neither the server nor the request is owned; one thread.
#pragma once

#include "core/template/OutputStream.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vuxo {

class HttpRequest;
class PageServer;
class SkinManager;
class TextContent;

class HtmlPageSender : public OutputStream {
public:
    // Keeps the status for Send. The skins come from the program's manager unless given.
    HtmlPageSender(const PageServer& server, HttpRequest& request, int code, std::string_view reason);
    HtmlPageSender(const PageServer& server, HttpRequest& request, int code, std::string_view reason,
                   const SkinManager& skins);

    // A header sent after the status line, before "Content-Type".
    void AddHeader(std::string_view name, std::string_view value);

    // Sets the common variables over the caller's ($skin, $version, $revision, $server_addr,
    // $server_port, $server_path, $server_path_encoded, $current_login_id; request values HTML-escaped;
    // see LoginId),
    // renders the skin's template, sends "Content-Type" with the skin's type, "Content-Length", the page,
    // and ends the response. A render that spends its budget is logged and answered with a plain 500
    // page instead. Socket failures pass on as exceptions.
    void Send(TextContent& content);

    // The logout page: the credentials are being dropped, so it names no user.
    void NameNoLogin() { m_namesLogin = false; }

    // Collects the rendered page.
    void Write(const char* data, std::size_t length) override;

private:
    // $current_login_id: the user named in the request's credentials, "" without any. A 401 page names
    // that user only while logged in (an account that lacks a right here), never refused credentials.
    std::string LoginId() const;

    const PageServer& m_server;
    HttpRequest& m_request;
    const SkinManager& m_skins;
    int m_code;
    std::string m_reason;
    bool m_namesLogin = true;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::string m_page;
};

} // namespace Vuxo
