#include "plugin/sdk/PlaylistRequestProcessor.h"

#include "core/text/PathHelpers.h"
#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"
#include "plugin/sdk/FolderWalk.h"

namespace Vuxo {

int PlaylistRequestProcessor::Process() {
    m_prefix = "http://" + GetHost() + "/";
    m_failed = BeginResponse(200, "OK") == 0 || SendHeader("Content-Type", GetContentType()) == 0;
    Emit(GetFirstText());

    std::vector<SelectedFile> selection;
    GetSelectedFiles(selection);
    for (const SelectedFile& selected : selection) {
        if (m_failed) {
            break;
        }
        const char* resolved = GetLocalPath(selected.path.c_str());
        EntryStatus status;
        if (resolved == nullptr || !GetEntryStatus(resolved, status)) {
            continue;
        }
        if (status.isDirectory) {
            std::string folder = resolved;
            std::string url = selected.path;
            if (folder.back() != '/') {
                folder += '/';
            }
            if (url.back() != '/') {
                url += '/';
            }
            AddDirectory(folder, url);
        } else {
            WriteEntry(selected.name, selected.path);
        }
    }
    Emit(GetLastText());
    EndResponse();
    return m_failed ? 0 : 1;
}

bool PlaylistRequestProcessor::IsPlayableExtension(const std::string& name) const {
    std::string extension = GetFileExtension(name);
    if (extension.empty()) {
        return false;
    }
    ToLower(extension);
    std::string_view list = GetExtensionList();
    while (!list.empty()) {
        const size_t space = list.find(' ');
        const std::string_view word = list.substr(0, space);
        if (word == extension) {
            return true;
        }
        list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
    }
    return false;
}

void PlaylistRequestProcessor::WriteEntry(const std::string& name, const std::string& path) {
    if (IsPlayableExtension(name)) {
        Emit(FormatEntry(name, m_prefix + UrlEncode(path)));
    }
}

void PlaylistRequestProcessor::AddDirectory(const std::string& folder, const std::string& url) {
    DirectoryListing listing;
    FolderWalk walk;
    if (!listing.Open(folder) || !walk.Enter("", listing)) {
        return;
    }
    std::string rel;
    DirectoryEntry entry;
    while (!m_failed && walk.Next(rel, entry)) {
        if (entry.name.front() == '.') {
            continue;
        }
        if (entry.status.isDirectory) {
            // Opened below the selected folder: its path alone may be longer than a path may be.
            DirectoryListing below;
            if (below.Open(folder, rel)) {
                walk.Enter(rel, below);
            }
        } else {
            WriteEntry(entry.name, url + rel);
        }
    }
}

void PlaylistRequestProcessor::Emit(std::string_view text) {
    if (!m_failed && !text.empty() && Write(text.data(), static_cast<int>(text.size())) == 0) {
        m_failed = true;
    }
}

std::string ReplaceControlCharacters(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '_';
        }
    }
    return result;
}

} // namespace Vuxo
