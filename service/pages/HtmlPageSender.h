// The byte sink that renders a skin's template into an HTTP response: built for one response on the
// stack of a page function or processor; headers of the page's own may be added through AddHeader; Send
// adds the common variables, works out what the render will cost (a page whose loops multiply beyond the
// render budget is answered with a 500 before anything is sent), and renders the page. A page of up to
// 1 MiB is gathered first and sent with its Content-Length; a longer one goes out as it renders, in
// chunks to an HTTP/1.1 client (so a page cut off by a failure is seen to be incomplete) and to the end
// of the connection for HTTP/1.0. What is gathered is drawn from the server's page memory; when that
// has no room, the page goes out as it renders at once.
// Neither the server nor the request is owned; one thread.
#pragma once

#include "core/template/OutputStream.h"
#include "service/pages/PageMemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

    // The most of a page that is gathered before it is sent.
    static constexpr size_t kGatheredPageLimit = size_t{1} << 20;

    // Sets the common variables over the caller's ($skin, $version, $revision, $server_addr,
    // $server_port, $server_path, $server_path_encoded, $current_login_id; request values HTML-escaped;
    // see LoginId), renders the skin's template, sends "Content-Type" with the skin's type and the page,
    // and ends the response. True when the page went out whole. A page whose render would pass its
    // budget is logged and answered with a plain 500 page instead (false). Socket failures, and a render
    // stopped after part of the page went out, pass on as exceptions: the connection must end.
    bool Send(TextContent& content);

    // The logout page: the credentials are being dropped, so it names no user.
    void NameNoLogin() { m_namesLogin = false; }

    // Gathers the rendered page, or sends it on once it goes out as it renders.
    void Write(const char* data, std::size_t length) override;

private:
    // $current_login_id: the user named in the request's credentials, "" without any. A 401 page names
    // that user only while logged in (an account that lacks a right here), never refused credentials.
    std::string LoginId() const;
    // The status line, the page's own headers and its Content-Type.
    void SendHead();
    // Room for a page of up to `mostBytes`, as far as the page memory and the limit allow.
    void PrepareGathering(uint64_t mostBytes);
    // Room gathered for `length` more bytes; false when the page must go out as it renders.
    bool Gather(size_t length);
    void StartStreaming();

    const PageServer& m_server;
    HttpRequest& m_request;
    const SkinManager& m_skins;
    int m_code;
    std::string m_reason;
    bool m_namesLogin = true;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::string m_contentType;
    PageMemory m_memory; // what m_page holds beyond the size of one send
    bool m_streaming = false;
    std::unique_ptr<char[]> m_page; // the page gathered so far
    size_t m_used = 0;
    size_t m_room = 0; // what m_page holds: the unreserved part and m_memory
};

} // namespace Vuxo
