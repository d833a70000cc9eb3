// The answers other than a processor's own content: a redirect, message pages (status 200), status
// pages (the real status), the login challenge and the logout page. Each renders through the skin with
// HtmlPageSender. Titles and contents are HTML written by the program: a caller that puts a path or name
// from the request into them escapes it with EscapeMarkup first. Stateless; any connection thread.
#pragma once

#include "core/version/ProgramVersion.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

class HttpRequest;
class PageServer;

// The program's version and revision as the pages show them.
constexpr const char* kPageVersion = kProgramVersion;
constexpr int kPageRevision = kProgramRevision;

// 301 "Moved Permanently" with "Location" = the URL-encoded location; no body.
void SendRedirect(HttpRequest& request, const std::string& location);

// 200 "OK" with $title and $content; $content_hide_back_button := "1" when hideBackLink.
void SendMessagePage(HttpRequest& request, const PageServer& server, const std::string& title,
                     const std::string& content, bool hideBackLink);

// The real status with $title = "<code> <reason>" and $content.
void SendStatusPage(HttpRequest& request, const PageServer& server, int code, const std::string& reason,
                    const std::string& content);
// The same with one more header after the status line (the "Content-range" of a 416).
void SendStatusPage(HttpRequest& request, const PageServer& server, int code, const std::string& reason,
                    const std::string& content, std::string_view headerName, std::string_view headerValue);

// 401 "Unauthorized" with the Basic challenge for realm "/", titled "401 Unauthorized".
void SendUnauthorizedPage(HttpRequest& request, const PageServer& server);

// As SendUnauthorizedPage, titled "Logout": the browser answers it by forgetting its credentials.
void SendLogoutPage(HttpRequest& request, const PageServer& server);

// 200 "OK"; $title and $address only when not empty, $content always.
void SendAddressPage(HttpRequest& request, const PageServer& server, const std::string& title,
                     const std::string& address, const std::string& content);

// Decimal or plain text as std::string.
std::string ToString(int value);
std::string ToString(uint16_t value);
std::string ToString(const char* text);

} // namespace Vuxo
