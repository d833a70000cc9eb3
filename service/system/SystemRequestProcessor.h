// Serves a file of the built-in file map ("robots.txt", "favicon.ico", skin files) with its MIME type,
// or the short 404 answer. Built on the dispatcher's stack for one request, called once; it only reads
// the map and the MIME table, which guard themselves.
#pragma once

#include <string>

namespace Vuxo {

class BuiltinFileMap;
class HttpRequest;
class MimeTypeTable;

class SystemRequestProcessor {
public:
    // The program's own map and table by default.
    SystemRequestProcessor();
    SystemRequestProcessor(const BuiltinFileMap& files, const MimeTypeTable& mimeTypes);
    virtual ~SystemRequestProcessor() = default;

    // Looks the request path up in the map. Found: 200 with Content-Type and Content-Length, the
    // connection kept open. Not found: 404 "Not found" with the body "404 Not found :(".
    void Process(HttpRequest& request);

    // The program's map: create or replace an entry with a copy of the bytes; empty it.
    static void RegisterFile(const std::string& key, const char* data, int length);
    static void ClearFiles();

private:
    const BuiltinFileMap& m_files;
    const MimeTypeTable& m_mimeTypes;
};

} // namespace Vuxo
