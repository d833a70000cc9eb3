#include "plugin/sdk/ArchiveStream.h"

#include "core/platform/fs/BeneathOpen.h"
#include "core/text/UrlCoding.h"
#include "plugin/sdk/ContentSource.h"
#include "plugin/sdk/EntryMetadata.h"
#include "plugin/sdk/FolderWalk.h"
#include "plugin/sdk/PluginApi.h"

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <set>
#include <string_view>

namespace Vuxo {

CArchiveStream::CArchiveStream(CorvantaRequestProcessor& processor)
    : m_block(kArchiveBlockSize), m_processor(processor) {}

void CArchiveStream::AddRoot(Root root) {
    std::string_view path = root.virtualPath;
    while (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    if (path.empty()) {
        root.folder = root.base;
        root.inside = root.name;
    } else {
        // Below the share's own folder as the host resolves it ("" when it does not: nothing opens).
        const size_t slash = path.find('/');
        const std::string share(path.substr(0, slash));
        const char* folder = m_processor.GetLocalPath((share + "/").c_str());
        root.folder = folder != nullptr ? folder : "";
        root.inside = slash == std::string_view::npos ? std::string() : std::string(path.substr(slash + 1));
    }
    m_roots.push_back(std::move(root));
    ++m_rootIndex;
}

bool CArchiveStream::AddFile(const std::string& name, const std::string& base,
                             const std::string& virtualPath) {
    AddRoot(Root{base, name, virtualPath, {}, {}});
    std::string folder;
    std::string inside;
    LocateEntry(m_rootIndex, name, folder, inside);
    EntryStatus status;
    const FileDescriptor file = OpenBeneath(folder, inside, O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (!file.IsValid() || !GetEntryStatus(file.Get(), status) || status.isDirectory) {
        return false;
    }
    return AddEntry(name, status);
}

bool CArchiveStream::AddFolder(const std::string& name, const std::string& base,
                               const std::string& virtualPath) {
    std::string virtualFolder = virtualPath;
    while (!virtualFolder.empty() && virtualFolder.back() == '/') {
        virtualFolder.pop_back();
    }
    std::string rel = name;
    if (!rel.empty() && rel.back() == '/') {
        rel.pop_back();
    }
    AddRoot(Root{base, rel, std::move(virtualFolder), {}, {}});
    return AddDirectory(rel);
}

bool CArchiveStream::AddDirectory(const std::string& rel) {
    DirectoryListing listing;
    FolderWalk walk;
    if (!OpenFolder(rel, listing) || !walk.Enter(rel, listing)) {
        return false;
    }
    if (!rel.empty() && !AddEntry(rel, listing.GetSelfStatus())) {
        return false;
    }
    std::string path;
    DirectoryEntry entry;
    while (walk.Next(path, entry)) {
        if (entry.status.isDirectory) {
            // A sub-folder that cannot be read, or whose own entry is not taken, is skipped with all it
            // holds.
            DirectoryListing folder;
            if (OpenFolder(path, folder) && walk.Enter(path, folder) &&
                !AddEntry(path, folder.GetSelfStatus())) {
                walk.Leave();
            }
        } else if (!entry.status.throughLink || HostResolves(path)) {
            AddEntry(path, entry.status);
        }
    }
    return true;
}

bool CArchiveStream::OpenFolder(const std::string& rel, DirectoryListing& listing) const {
    std::string folder;
    std::string inside;
    LocateEntry(m_rootIndex, rel, folder, inside);
    return listing.Open(folder, inside);
}

bool CArchiveStream::HostResolves(const std::string& rel) {
    const Root& root = m_roots.at(static_cast<size_t>(m_rootIndex));
    if (root.virtualPath.empty()) {
        return false;
    }
    return m_processor.GetLocalPath((root.virtualPath + BelowRoot(root, rel)).c_str()) != nullptr;
}

std::string CArchiveStream::BelowRoot(const Root& root, const std::string& rel) {
    // rel starts with the root's name (or is below the root itself when the name is empty).
    if (root.name.empty()) {
        return rel.empty() ? std::string() : "/" + rel;
    }
    return rel.substr(std::min(root.name.size(), rel.size()));
}

void CArchiveStream::LocateEntry(int rootIndex, const std::string& rel, std::string& folder,
                                 std::string& inside) const {
    const Root& root = m_roots.at(static_cast<size_t>(rootIndex));
    const std::string below = BelowRoot(root, rel);
    folder = root.folder;
    inside = root.inside.empty() && !below.empty() ? below.substr(1) : root.inside + below;
}

void CArchiveStream::DescribeEntry(ArchiveEntry& entry, const std::string& rel,
                                   const EntryStatus& status) const {
    const DosDateTime stamp = ToDosDateTime(status.modified);
    entry.time = stamp.time;
    entry.date = stamp.date;
    entry.size = status.size;
    entry.attributes = WindowsAttributes(status, rel.substr(rel.rfind('/') + 1));
    entry.rootIndex = m_rootIndex;
    entry.isDirectory = status.isDirectory;
    entry.rel = rel;
}

std::string CArchiveStream::GetEntryPath(int rootIndex, const std::string& rel) const {
    return m_roots.at(static_cast<size_t>(rootIndex)).base + rel;
}

void CArchiveStream::ReportChangedFile(const std::string& path) {
    m_processor.WriteLog(CORVANTA_LOG_WARNING,
                         "The file changed while it was being sent; its archive entry is marked damaged: " +
                             path);
}

void CArchiveStream::Write(const void* data, size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(length, INT_MAX));
        if (m_processor.Write(bytes, chunk) == 0) {
            throw ConnectionClosed();
        }
        bytes += chunk;
        length -= static_cast<size_t>(chunk);
    }
}

void CArchiveStream::SendDownloadHeaders(const std::string& fileName) {
    const char* userAgent = m_processor.GetHeader("USER-AGENT");
    const std::string encoded = UrlEncode(fileName);
    std::string disposition = "attachment; filename=\"";
    if (userAgent != nullptr && std::string_view(userAgent).find("MSIE") != std::string_view::npos) {
        disposition += encoded;
    } else {
        // RFC 2047 Q-encoding: "=XX" for every escaped byte, and "_" (which means a space there) too.
        std::string quoted;
        for (const char c : encoded) {
            if (c == '%') {
                quoted += '=';
            } else if (c == '_') {
                quoted += "=5f";
            } else {
                quoted += c;
            }
        }
        disposition += "=?UTF-8?Q?" + quoted + "?=";
    }
    disposition += "\"";
    const std::string length = std::to_string(GetTotalSize());
    if (m_processor.SendHeader("Content-Type", GetContentType().c_str()) == 0 ||
        m_processor.SendHeader("Content-Disposition", disposition.c_str()) == 0 ||
        m_processor.SendHeader("Content-Length", length.c_str()) == 0) {
        throw ConnectionClosed();
    }
}

void AddSelection(CArchiveStream& stream, CorvantaRequestProcessor& processor,
                  const std::vector<SelectedFile>& selection) {
    // Each entry goes in once, however often the selection names it: a short request naming one big file
    // a thousand times would otherwise stream it a thousand times.
    std::set<std::string> taken;
    for (const SelectedFile& selected : selection) {
        const char* resolved = processor.GetLocalPath(selected.path.c_str());
        if (resolved == nullptr) {
            continue;
        }
        std::string local = resolved;
        EntryStatus status;
        if (!GetEntryStatus(local, status)) {
            continue; // gone, or neither a regular file nor a folder
        }
        if (status.isDirectory && local.size() > 1 && local.back() == '/') {
            local.pop_back(); // only the trailing separator
        }
        if (!taken.insert(local).second) {
            continue; // named before: the first occurrence stays
        }
        const size_t slash = local.rfind('/');
        const std::string base = slash == std::string::npos ? std::string() : local.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? local : local.substr(slash + 1);
        if (status.isDirectory) {
            stream.AddFolder(name, base, selected.path);
        } else {
            stream.AddFile(name, base, selected.path);
        }
    }
}

std::string MakeDownloadName(const std::vector<SelectedFile>& selection, const std::string& requestPath,
                             const std::string& fallbackBase, const std::string& extension) {
    std::string name = selection.size() == 1  ? selection.front().name
                       : !requestPath.empty() ? requestPath
                                              : fallbackBase;
    if (!name.empty() && name.back() == '/') {
        name.pop_back();
    }
    if (const size_t slash = name.rfind('/'); slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    if (name.empty()) {
        name = fallbackBase;
    }
    std::replace(name.begin(), name.end(), ':', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    return name + extension;
}

std::string ArchiveEntryName(const std::string& rel) {
    std::string name = rel;
    std::replace(name.begin(), name.end(), '\\', '_');
    return name;
}

void SendArchive(CArchiveStream& stream, CorvantaRequestProcessor& processor,
                 const std::string& downloadName) {
    if (processor.BeginResponse(200, "OK") == 0) {
        throw ConnectionClosed();
    }
    stream.SendDownloadHeaders(downloadName);
    stream.WriteAll();
    processor.EndResponse();
}

void SendSelectionArchive(CArchiveStream& stream, CorvantaRequestProcessor& processor,
                          const std::string& fallbackBase, const std::string& extension) {
    std::vector<SelectedFile> selection;
    processor.GetSelectedFiles(selection);
    AddSelection(stream, processor, selection);
    SendArchive(stream, processor,
                MakeDownloadName(selection, processor.GetRequestPath(), fallbackBase, extension));
}

} // namespace Vuxo
