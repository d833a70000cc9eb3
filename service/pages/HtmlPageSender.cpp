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

#include <algorithm>
#include <cstring>

namespace Vuxo {

namespace {

// Not the skin's: its own template is what could not be rendered.
constexpr std::string_view kOverBudgetPage = "<html><head><title>500 Internal Server Error</title></head>"
                                             "<body><h1>500 Internal Server Error</h1></body></html>";

void LogOverBudget(HttpRequest& request, const std::string& skin) {
    request.Log(LOG_ERROR, Tr("스킨 페이지가 작업 한도를 넘어 중단됨: %s"), skin.c_str());
}

void SendOverBudgetPage(HttpRequest& request, const std::string& skin) {
    LogOverBudget(request, skin);
    request.BeginResponse(500, "Internal Server Error");
    request.SendHeader("Content-Type", "text/html");
    request.SendHeader("Content-Length", std::to_string(kOverBudgetPage.size()));
    request.SetKeepAlive();
    request.Write(kOverBudgetPage);
    request.EndResponse();
}

// Every connection gathers this much of a response anyway; a page draws on the page memory beyond it.
constexpr size_t kUnreservedPage = HttpRequest::kGatherLimit;

} // namespace

HtmlPageSender::HtmlPageSender(const PageServer& server, HttpRequest& request, int code,
                               std::string_view reason)
    : HtmlPageSender(server, request, code, reason, SkinManager::GetInstance()) {}

HtmlPageSender::HtmlPageSender(const PageServer& server, HttpRequest& request, int code,
                               std::string_view reason, const SkinManager& skins)
    : m_server(server), m_request(request), m_skins(skins), m_code(code), m_reason(reason),
      m_memory(server.GetPageMemory()) {}

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

bool HtmlPageSender::Send(TextContent& content) {
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
    const RenderEstimate estimate = page->Estimate(content);
    if (!estimate.Fits()) {
        SendOverBudgetPage(m_request, renderedSkin);
        return false;
    }
    m_contentType = m_skins.GetMimeType(renderedSkin);
    PrepareGathering(estimate.worst.bytes);
    try {
        page->Render(content, *this, estimate.allowed);
    } catch (const RenderBudgetExceeded&) {
        // The estimate bounds every render; should one still pass it, a page begun can only be cut off.
        if (!m_streaming) {
            SendOverBudgetPage(m_request, renderedSkin);
            return false;
        }
        LogOverBudget(m_request, renderedSkin);
        throw;
    }
    if (!m_streaming) {
        SendHead();
        m_request.SendHeader("Content-Length", std::to_string(m_used));
        m_request.SetKeepAlive();
        m_request.Write(m_page.get(), m_used);
    }
    m_request.EndResponse();
    return true;
}

void HtmlPageSender::SendHead() {
    m_request.BeginResponse(m_code, m_reason);
    for (const auto& [name, value] : m_headers) {
        m_request.SendHeader(name, value);
    }
    m_request.SendHeader("Content-Type", m_contentType);
}

void HtmlPageSender::PrepareGathering(uint64_t mostBytes) {
    // Room for the whole page at once where the estimate allows, so that it is never copied to grow.
    m_used = 0;
    m_room = kUnreservedPage;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(mostBytes, kGatheredPageLimit));
    if (wanted > m_room && m_memory.Grow(static_cast<int64_t>(wanted - m_room))) {
        m_room = wanted;
    }
    m_page = std::make_unique_for_overwrite<char[]>(m_room);
}

bool HtmlPageSender::Gather(size_t length) {
    const size_t needed = m_used + length;
    if (needed > kGatheredPageLimit) {
        return false;
    }
    // Twice as much each time, so a page draws on the shared counter a few times only.
    const size_t wanted = std::min(kGatheredPageLimit, std::max(needed, 2 * m_room));
    if (!m_memory.Grow(static_cast<int64_t>(wanted - m_room))) {
        return false;
    }
    auto larger = std::make_unique_for_overwrite<char[]>(wanted); // never more than was reserved
    std::memcpy(larger.get(), m_page.get(), m_used);
    m_page = std::move(larger);
    m_room = wanted;
    return true;
}

void HtmlPageSender::StartStreaming() {
    SendHead();
    m_request.SetKeepAlive();
    if (m_request.ClientReadsChunks()) {
        m_request.SetChunked();
    }
    // Else an HTTP/1.0 client, whose connection is never kept: the end of the page is its end.
    m_streaming = true;
    m_request.Write(m_page.get(), m_used);
    m_page.reset();
    m_used = 0;
    m_room = 0;
    m_memory.Clear();
}

void HtmlPageSender::Write(const char* data, std::size_t length) {
    if (length == 0) {
        return; // an empty value
    }
    if (m_used + length <= m_room || (!m_streaming && Gather(length))) {
        std::memcpy(m_page.get() + m_used, data, length);
        m_used += length;
        return;
    }
    if (!m_streaming) {
        StartStreaming();
    }
    m_request.Write(data, length);
}

} // namespace Vuxo
