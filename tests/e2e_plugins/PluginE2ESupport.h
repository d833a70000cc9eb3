// Shared steps of the plug-in tests over loopback: installing plug-ins into a fixture's program folder,
// posting forms, streaming a large body to a file or only counting it, and running the archive tools.
#pragma once

#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vuxo::PluginE2E {

// Links the shipped plug-ins (Mevrin, Vondel, Tolvane, Kestrin) and/or probes into the fixture's
// program/plugin/ and reloads the registry, as the reload key would.
void InstallAndLoad(Fixtures::FixtureServer& fixture, const std::vector<std::string>& shipped,
                    const std::vector<std::string>& probes = {});

// A url-encoded form value: every byte but letters and digits as %XX.
std::string FormEncode(const std::string& text);

// "POST <target>" with a url-encoded body on a fresh connection; the whole response. A "Host:" line in
// `extraHeaders` replaces the default "Host: 127.0.0.1".
Fixtures::HttpResponse PostForm(uint16_t port, const std::string& target, const std::string& body,
                                const std::string& extraHeaders = "");

// The "selectedFiles" field of a folder page: one entry per line, each ended by "\n".
std::string SelectedFiles(const std::vector<std::string>& entries);

struct StreamedResponse {
    int status = 0;
    std::string contentLength; // as the header said
    std::string contentType;
    std::string contentDisposition;
    uint64_t received = 0; // body bytes until the server closed the connection
};

// Posts the form and reads the body to the end of the connection, writing it to `path` (or only counting
// it when `path` is empty), so that archives of any size can be checked without holding them in memory.
StreamedResponse PostFormToFile(uint16_t port, const std::string& target, const std::string& body,
                                const std::string& path);

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

CommandResult RunCommand(const std::string& commandLine);
std::string ShellQuote(const std::string& word);

} // namespace Vuxo::PluginE2E
