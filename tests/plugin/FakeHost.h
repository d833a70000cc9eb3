// A stand-in for the program's side of the plug-in interface: the twenty host slots over one
// FakeRequest (the request context), with shares mapped onto temporary folders, the response kept in
// memory (or counted and written to a sparse file for very large archives), and the log lines kept.
#pragma once

#include "plugin/sdk/PluginApi.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace PluginTest {

struct FakeResponse {
    bool begun = false;
    bool ended = false;
    int code = 0;
    std::string reason;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;       // the whole body unless FakeRequest::keepBody is false
    uint64_t bodyBytes = 0; // every byte the plug-in sent
    int bodyCalls = 0;      // SendBody calls, failed ones included
    int callsAfterFailure = 0;

    // The value of the first header of that name, or "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

struct FakeRequest {
    std::map<std::string, std::string> shares;  // share name -> local folder (no trailing "/")
    std::string requestPath;                    // decoded, no leading "/", e.g. "music/"
    std::map<std::string, std::string> headers; // upper-case names
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> post;
    int method = CORVANTA_METHOD_POST;
    std::string serverHost = "192.0.2.7";
    int serverPort = 8080;

    // Resolve virtual paths by plain joining, as a careless host would, to show that the plug-in itself
    // keeps the selection inside the share.
    bool naiveResolver = false;
    // Body writes fail once this many bytes went out.
    uint64_t failAfterBytes = UINT64_MAX;
    // Keep the body in memory; when false it is only counted (and written to sinkDescriptor if open).
    bool keepBody = true;
    int sinkDescriptor = -1; // zero blocks become holes, so a 4 GiB archive costs little disk
    // Called for every header the plug-in sends (before any body byte of an archive).
    std::function<void(const std::string& name, const std::string& value)> onHeader;

    FakeResponse response;
    std::vector<std::pair<int, std::string>> logs;
    std::vector<std::string> resolvedPaths; // every virtual path given to GetLocalPath
    int requestPathCalls = 0;

    // Slot buffers.
    std::string localPathBuffer;
    std::string requestLocalPath;
    std::string hostBuffer;
};

// The host table, filled once.
const HostApi& FakeHostTable();

} // namespace PluginTest
