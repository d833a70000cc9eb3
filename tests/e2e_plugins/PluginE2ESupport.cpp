#include "PluginE2ESupport.h"

#include "service/plugins/PluginManager.h"
#include "service/plugins/ProbeSupport.h"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Vuxo::PluginE2E {

void InstallAndLoad(Fixtures::FixtureServer& fixture, const std::vector<std::string>& shipped,
                    const std::vector<std::string>& probes) {
    for (const std::string& name : shipped) {
        ASSERT_TRUE(PluginTesting::InstallPlugin(fixture.ProgramFolder(),
                                                 PluginTesting::ShippedPluginPath(name), name))
            << name;
    }
    for (const std::string& name : probes) {
        ASSERT_TRUE(PluginTesting::InstallPlugin(fixture.ProgramFolder(),
                                                 PluginTesting::ProbeLibraryPath(name), name))
            << name;
    }
    LoadPlugins(fixture.ProgramFolder());
    for (const std::string& name : shipped) {
        ASSERT_TRUE(PluginManager::GetInstance().HasPlugin(name)) << name;
    }
    for (const std::string& name : probes) {
        ASSERT_TRUE(PluginManager::GetInstance().HasPlugin(name)) << name;
    }
}

std::string FormEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

namespace {

// A Host header among `extraHeaders` replaces the default one (the server keeps the first of a name).
std::string PostRequest(const std::string& target, const std::string& body, const std::string& extraHeaders) {
    const bool ownHost =
        extraHeaders.rfind("Host:", 0) == 0 || extraHeaders.find("\r\nHost:") != std::string::npos;
    return "POST " + target + " HTTP/1.1\r\n" + (ownHost ? "" : "Host: 127.0.0.1\r\n") +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

} // namespace

Fixtures::HttpResponse PostForm(uint16_t port, const std::string& target, const std::string& body,
                                const std::string& extraHeaders) {
    Fixtures::TestHttpClient client(port);
    client.Send(PostRequest(target, body, extraHeaders));
    return client.ReadResponse();
}

std::string SelectedFiles(const std::vector<std::string>& entries) {
    std::string value;
    for (const std::string& entry : entries) {
        value += entry + "\n";
    }
    return value;
}

StreamedResponse PostFormToFile(uint16_t port, const std::string& target, const std::string& body,
                                const std::string& path) {
    StreamedResponse result;
    // A RAR entry of more than the plug-in holds in memory is read twice, and nothing is sent during the
    // first read (its CRC comes first): for 4 GiB on a busy machine that can outlast the usual wait.
    constexpr int kArchiveWaitMs = 240000;
    Fixtures::TestHttpClient client(port, kArchiveWaitMs);
    client.Send(PostRequest(target, body, ""));
    const Fixtures::HttpResponse head = client.ReadHeaders();
    result.status = head.status;
    result.contentLength = head.Header("Content-Length");
    result.contentType = head.Header("Content-Type");
    result.contentDisposition = head.Header("Content-Disposition");
    int file = -1;
    if (!path.empty()) {
        file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    constexpr size_t kChunk = 1 << 20;
    for (;;) {
        const std::string chunk = client.ReadBytes(kChunk);
        if (chunk.empty()) {
            break;
        }
        result.received += chunk.size();
        if (file >= 0 && ::write(file, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            ADD_FAILURE() << "cannot write " << path;
            break;
        }
    }
    if (file >= 0) {
        ::close(file);
    }
    return result;
}

CommandResult RunCommand(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "'";
}

} // namespace Vuxo::PluginE2E
