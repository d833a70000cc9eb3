#include "plugin/sdk/RequestProcessor.h"

#include "core/text/HostSyntax.h"
#include "core/text/StringHelpers.h"
#include "plugin/sdk/PluginModule.h"
#include "plugin/sdk/SelectionLines.h"

#include <cstring>

namespace Vuxo {

int CorvantaRequestProcessor::BeginResponse(int code, const char* reason) {
    const auto slot = GetHostTable().BeginResponse;
    return slot != nullptr ? slot(m_context, code, reason) : 0;
}

int CorvantaRequestProcessor::SendHeader(const char* name, const char* value) {
    const auto slot = GetHostTable().SendHeader;
    return slot != nullptr ? slot(m_context, name, value) : 0;
}

int CorvantaRequestProcessor::Write(const char* data, int length) {
    const auto slot = GetHostTable().SendBody;
    return slot != nullptr ? slot(m_context, data, length) : 0;
}

int CorvantaRequestProcessor::Write(const std::string& text) {
    return Write(text.data(), static_cast<int>(text.size()));
}

int CorvantaRequestProcessor::WriteText(const char* text) {
    return Write(text, static_cast<int>(std::strlen(text)));
}

int CorvantaRequestProcessor::EndResponse() {
    const auto slot = GetHostTable().EndResponse;
    return slot != nullptr ? slot(m_context) : 0;
}

const char* CorvantaRequestProcessor::GetHeader(const char* upperCaseName) {
    const auto slot = GetHostTable().GetHeader;
    return slot != nullptr ? slot(m_context, upperCaseName) : nullptr;
}

const char* CorvantaRequestProcessor::GetLocalPath(const char* virtualPath) {
    const auto slot = GetHostTable().GetLocalPath;
    return slot != nullptr ? slot(m_context, virtualPath) : nullptr;
}

std::string CorvantaRequestProcessor::GetRequestPath() {
    const auto slot = GetHostTable().GetRequestPath;
    const char* path = slot != nullptr ? slot(m_context) : nullptr;
    return path != nullptr ? path : "";
}

void CorvantaRequestProcessor::GetSelectedFiles(std::vector<SelectedFile>& out) {
    out.clear();
    const auto slot = GetHostTable().GetPostParam;
    const char* value = slot != nullptr ? slot(m_context, "selectedFiles") : nullptr;
    if (value == nullptr) {
        return;
    }
    const std::string base = GetRequestPath();
    std::vector<std::string> lines;
    SplitLines(lines, value);
    for (std::string& line : lines) {
        if (IsSafeSelectionName(line)) {
            std::string path = base + line;
            out.push_back({std::move(line), std::move(path)});
        }
    }
}

std::string CorvantaRequestProcessor::GetHost() {
    if (const char* header = GetHeader("HOST"); header != nullptr) {
        std::string host = header;
        Trim(host, " \t\r\n");
        // Only a host with its port goes into the playlist's URLs; anything else (a quote or "<" that
        // would leave the URL, a control character that would start a new playlist line, raw bytes)
        // gives way to the server's own address.
        if (IsValidHostAndPort(host)) {
            return host;
        }
    }
    const HostApi& host = GetHostTable();
    const char* name = host.GetServerHost != nullptr ? host.GetServerHost(m_context) : nullptr;
    const int port = host.GetServerPort != nullptr ? host.GetServerPort(m_context) : 0;
    return std::string(name != nullptr ? name : "") + ":" + std::to_string(port);
}

void CorvantaRequestProcessor::WriteLog(int level, const std::string& text) {
    const auto slot = GetHostTable().WriteLog;
    if (slot != nullptr) {
        slot(m_context, level, text.c_str());
    }
}

} // namespace Vuxo
