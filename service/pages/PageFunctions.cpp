#include "service/pages/PageFunctions.h"

#include "core/http/HttpRequest.h"
#include "core/http_headers/HttpAuthorization.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/template/TextContent.h"
#include "core/text/UrlCoding.h"
#include "service/pages/HtmlPageSender.h"

#include <string>

namespace Vuxo {

namespace {

void SendChallengePage(HttpRequest& request, const PageServer& server, const char* title, const char* message,
                       bool logout) {
    TextContent content;
    content.SetValue("$title", title);
    content.SetValue("$content", Tr(message));
    HtmlPageSender page(server, request, 401, "Unauthorized");
    if (logout) {
        page.NameNoLogin();
    }
    page.AddHeader(GetAuthenticateHeaderName(),
                   MakeAuthenticateChallenge("/", HttpAuthorization::kSchemeBasic));
    page.Send(content);
}

} // namespace

void SendRedirect(HttpRequest& request, const std::string& location) {
    request.BeginResponse(301, "Moved Permanently");
    request.SendHeader("Location", UrlEncode(location));
    request.EndResponse();
}

void SendMessagePage(HttpRequest& request, const PageServer& server, const std::string& title,
                     const std::string& content, bool hideBackLink) {
    TextContent values;
    values.SetValue("$title", title);
    values.SetValue("$content", content);
    if (hideBackLink) {
        values.SetValue("$content_hide_back_button", "1");
    }
    HtmlPageSender page(server, request, 200, "OK");
    page.Send(values);
}

void SendStatusPage(HttpRequest& request, const PageServer& server, int code, const std::string& reason,
                    const std::string& content) {
    SendStatusPage(request, server, code, reason, content, {}, {});
}

void SendStatusPage(HttpRequest& request, const PageServer& server, int code, const std::string& reason,
                    const std::string& content, std::string_view headerName, std::string_view headerValue) {
    TextContent values;
    values.SetValue("$title", ToString(code) + " " + reason);
    values.SetValue("$content", content);
    HtmlPageSender page(server, request, code, reason);
    if (!headerName.empty()) {
        page.AddHeader(headerName, headerValue);
    }
    page.Send(values);
}

void SendUnauthorizedPage(HttpRequest& request, const PageServer& server) {
    SendChallengePage(request, server, "401 Unauthorized", "로그인하지 못했습니다.", false);
}

void SendLogoutPage(HttpRequest& request, const PageServer& server) {
    SendChallengePage(request, server, "Logout", "로그아웃했습니다.", true);
}

void SendAddressPage(HttpRequest& request, const PageServer& server, const std::string& title,
                     const std::string& address, const std::string& content) {
    TextContent values;
    if (!title.empty()) {
        values.SetValue("$title", title);
    }
    if (!address.empty()) {
        values.SetValue("$address", address);
    }
    values.SetValue("$content", content);
    HtmlPageSender page(server, request, 200, "OK");
    page.Send(values);
}

// Locale-free decimal: a program-wide locale must never put digit grouping into a port number.
std::string ToString(int value) {
    return std::to_string(value);
}

std::string ToString(uint16_t value) {
    return std::to_string(value);
}

std::string ToString(const char* text) {
    return text ? std::string(text) : std::string();
}

} // namespace Vuxo
