// The base of every plug-in's request processor: a thin wrapper over the host's function table for one
// request, and the parsing of the selected entries. One processor lives on the stack of one OnRequest
// call, on the host's connection thread; it has no lock and shares nothing with other requests.
#pragma once

#include <string>
#include <vector>

namespace Vuxo {

// One selected entry: the line as the page posted it (decoded UTF-8; a folder ends with "/") and its
// virtual path (request path + name, no leading "/").
struct SelectedFile {
    std::string name;
    std::string path;
};

class CorvantaRequestProcessor {
public:
    explicit CorvantaRequestProcessor(void* context) : m_context(context) {}
    CorvantaRequestProcessor(const CorvantaRequestProcessor&) = delete;
    CorvantaRequestProcessor& operator=(const CorvantaRequestProcessor&) = delete;
    virtual ~CorvantaRequestProcessor() = default;

    // Serves the request.
    virtual int Process() = 0;

    // The response: 1, or 0 when the connection failed.
    int BeginResponse(int code, const char* reason);
    int SendHeader(const char* name, const char* value);
    int Write(const char* data, int length);
    int Write(const std::string& text);
    int WriteText(const char* text);
    int EndResponse();

    // A request header by its upper-case name, or NULL.
    const char* GetHeader(const char* upperCaseName);
    // The local path of a virtual path, or NULL when the host cannot resolve it.
    const char* GetLocalPath(const char* virtualPath);
    std::string GetRequestPath();
    // The entries of the "selectedFiles" POST field, in order. Lines that would leave the page's folder
    // are left out.
    void GetSelectedFiles(std::vector<SelectedFile>& out);
    // "host:port" under which the client reached the server: the HOST header as sent (when it is a host
    // with an optional port, IsValidHostAndPort), else the host's server name and port.
    std::string GetHost();
    // One line in the program's log (CORVANTA_LOG_* level).
    void WriteLog(int level, const std::string& text);

private:
    void* m_context;
};

} // namespace Vuxo
