#include "service/pages/HtmlPageSender.h"

#include "core/http/HttpRequest.h"
#include "core/http_headers/HttpAuthorization.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/template/TextContent.h"
#include "core/text/TextEscaping.h"
#include "core/text/UrlCoding.h"
#include "service/pages/PageFunctions.h"
#include "service/pages/PageServer.h"
#include "service/skins/SkinManager.h"

namespace Vuxo {

namespace {

// Not the skin's: its own template is what could not be rendered.
constexpr std::string_view kOverBudgetPage = "<html><head><title>500 Internal Server Error</title></head>"
                                             "<body><h1>500 Internal Server Error</h1></body></html>";

void SendOverBudgetPage(HttpRequest& request, const std::string& skin) {
    request.Log(LOG_ERROR, Tr("스킨 페이지가 작업 한도를 넘어 중단됨: %s"), skin.c_str());
    request.BeginResponse(500, "Internal Server Error");
    request.SendHeader("Content-Type", "text/html");
    request.SendHeader("Content-Length", std::to_string(kOverBudgetPage.size()));
    request.SetKeepAlive();
    request.Write(kOverBudgetPage);
    request.EndResponse();
}

} // namespace

HtmlPageSender::HtmlPageSender(const PageServer& server, HttpRequest& request, int code,
                               std::string_view reason)
    : HtmlPageSender(server, request, code, reason, SkinManager::GetInstance()) {}

HtmlPageSender::HtmlPageSender(const PageServer& server, HttpRequest& request, int code,
                               std::string_view reason, const SkinManager& skins)
    : m_server(server), m_request(request), m_skins(skins), m_code(code), m_reason(reason) {}

void HtmlPageSender::AddHeader(std::string_view name, std::string_view value) {
    m_headers.emplace_back(name, value);
}

std::string HtmlPageSender::LoginId() const {
    const auto& headers = m_request.GetHeaders();
    const auto authorization = headers.find("AUTHORIZATION");
    if (!m_namesLogin || authorization == headers.end() ||
        (m_code == 401 && !m_server.IsLoggedIn(m_request))) {
        return std::string();
    }
    return HttpAuthorization(authorization->second).GetUserName();
}

void HtmlPageSender::Send(TextContent& content) {
    // An explicit "skin" parameter counts even when empty; the manager resolves "" as the default skin.
    const auto& query = m_request.GetQuery();
    const auto skinParameter = query.find("skin");
    const std::string skin = skinParameter != query.end() ? skinParameter->second : m_skins.GetDefaultSkin();

    const std::string loginId = LoginId();

    // Set after the caller's values, so a caller cannot override them. Values that come from the
    // request are escaped; the URL-encoded path needs nothing more.
    content.SetValue("$skin", EscapeMarkup(skin));
    content.SetValue("$version", kPageVersion);
    content.SetValue("$revision", ToString(kPageRevision));
    content.SetValue("$server_addr", m_request.GetLocalAddress());
    content.SetValue("$server_port", ToString(m_server.GetPort()));
    content.SetValue("$server_path", EscapeMarkup(m_request.GetPath()));
    content.SetValue("$server_path_encoded", UrlEncode(m_request.GetPath()));
    content.SetValue("$current_login_id", EscapeMarkup(loginId));

    // The type follows the template actually rendered, so "skin=" (the default skin) gets the default's.
    const std::string renderedSkin = skin.empty() ? m_skins.GetDefaultSkin() : skin;
    const auto page = m_skins.GetTemplate(skin);
    m_page.clear();
    try {
        page->Render(content, *this);
    } catch (const RenderBudgetExceeded&) {
        m_page = std::string();
        SendOverBudgetPage(m_request, renderedSkin);
        return;
    }
    m_request.BeginResponse(m_code, m_reason);
    for (const auto& [name, value] : m_headers) {
        m_request.SendHeader(name, value);
    }
    m_request.SendHeader("Content-Type", m_skins.GetMimeType(renderedSkin));
    m_request.SendHeader("Content-Length", std::to_string(m_page.size()));
    m_request.SetKeepAlive();
    m_request.Write(m_page.data(), m_page.size());
    m_request.EndResponse();
}

void HtmlPageSender::Write(const char* data, std::size_t length) {
    m_page.append(data, length);
}

} // namespace Vuxo
