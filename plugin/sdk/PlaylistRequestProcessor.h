// The common request flow of the playlist plug-ins (Tolvane: ASX, Kestrin: M3U): every selected file,
// and every file found in the selected folders, whose extension is on the plug-in's list becomes one
// entry with an absolute URL back to this server. One processor per request, on its thread.
#pragma once

#include "plugin/sdk/DirectoryListing.h"
#include "plugin/sdk/RequestProcessor.h"

#include <string>
#include <string_view>

namespace Vuxo {

class PlaylistRequestProcessor : public CorvantaRequestProcessor {
public:
    using CorvantaRequestProcessor::CorvantaRequestProcessor;
    int Process() override;

    // True when the file name's extension, lower-cased, is one of the words of the plug-in's list.
    bool IsPlayableExtension(const std::string& name) const;

protected:
    virtual const char* GetContentType() const = 0;
    virtual std::string_view GetFirstText() const = 0;
    virtual std::string_view GetLastText() const = 0;
    // Space-separated lower-case extensions.
    virtual std::string_view GetExtensionList() const = 0;
    // The playlist text of one file, from its name (UTF-8) and its absolute URL.
    virtual std::string FormatEntry(const std::string& name, const std::string& url) const = 0;

private:
    // Writes one entry when the name's extension is playable; `path` is the file's virtual path.
    void WriteEntry(const std::string& name, const std::string& path);
    // Walks a local folder (ending with "/") whose virtual path is `url` (ending with "/"): names
    // starting with "." are left out; files and sub-folders come by name, depth first (FolderWalk).
    void AddDirectory(const std::string& folder, const std::string& url);
    // Sends text; after the first failed write nothing more is walked or sent.
    void Emit(std::string_view text);

    std::string m_prefix;
    bool m_failed = false;
};

// Every byte below 0x20 and 0x7F replaced by "_", so that no control character ends up in a playlist.
std::string ReplaceControlCharacters(std::string_view text);

} // namespace Vuxo
