// Makes one new folder, named by the query parameter "name", inside the shared folder of the request
// path ("?action=MakeDirectory"), then sends the browser back to that folder's page; a refusal or a
// failure is answered with a message page that says why. The name is one folder name: empty names, "."
// and "..", and names holding "/", "\" or NUL are refused, so nothing outside the folder is ever made.
// The dispatcher builds it on its stack for a caller holding the U right and calls MakeDirectory once;
// no state is shared.
#pragma once

#include <string>

namespace Vuxo {

class HttpRequest;
class ServerContext;

class MakeDirectoryRequestProcessor {
public:
    explicit MakeDirectoryRequestProcessor(ServerContext& server);
    virtual ~MakeDirectoryRequestProcessor();

    // Writes the whole response: a redirect to the folder on success, else the message page.
    void MakeDirectory(HttpRequest& request);
    // False, with the reason in the error text, when the request cannot make a folder.
    bool Validate(HttpRequest& request);

    const std::string& GetErrorText() const { return m_errorText; }

private:
    // The query's "name" without surrounding CR, LF, tab and blank (invalid UTF-8 made U+FFFD).
    static std::string GetFolderName(const HttpRequest& request);

    ServerContext& m_server;
    std::string m_errorText;
};

} // namespace Vuxo
