// The common base of the ZIP and RAR writers: takes in the selection as roots and relative entry names,
// walks selected folders, sends the download headers and writes the archive through the host.
// The stream is owned by the request processor that made it, lives for one request, and is used by that
// request's thread only. The derived formats keep the entry list and must announce in GetTotalSize
// exactly the number of bytes WriteAll then writes.
#pragma once

#include "plugin/sdk/DirectoryListing.h"
#include "plugin/sdk/RequestProcessor.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Vuxo {

// Thrown by CArchiveStream::Write when the host could not send; ends the request.
class ConnectionClosed : public std::runtime_error {
public:
    ConnectionClosed() : std::runtime_error("Connection closed") {}
};

// What every archive format records of an entry besides its stored name.
struct ArchiveEntry {
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0; // set when the entry has been written
    uint64_t size = 0;
    uint32_t attributes = 0;
    int rootIndex = -1;
    bool isDirectory = false;
    std::string rel; // local relative path
};

class CArchiveStream {
public:
    explicit CArchiveStream(CorvantaRequestProcessor& processor);
    CArchiveStream(const CArchiveStream&) = delete;
    CArchiveStream& operator=(const CArchiveStream&) = delete;
    virtual ~CArchiveStream() = default;

    // A selected folder `name` inside the local folder `base` (which ends with "/"). An empty name
    // walks `base` itself without an entry of its own. False when nothing could be taken.
    // `virtualPath` is the folder's path on the server ("share/dir/name"): a file that the walk reaches
    // through a symbolic link is taken only when the host resolves its path there, so that an archive
    // never holds what a download of that file would be refused (a link leading out of the share).
    // Without a virtual path such files are left out.
    bool AddFolder(const std::string& name, const std::string& base, const std::string& virtualPath = {});
    // A selected file `name` inside the local folder `base` (the host resolved it already, from
    // `virtualPath` when given).
    bool AddFile(const std::string& name, const std::string& base, const std::string& virtualPath = {});

    // The exact length of the archive WriteAll writes.
    virtual uint64_t GetTotalSize() const = 0;
    // Writes the whole archive; throws ConnectionClosed when the client is gone.
    virtual bool WriteAll() = 0;
    // The archive's MIME type.
    virtual const std::string& GetContentType() const = 0;

    // Sends Content-Type, Content-Disposition (the download name, RFC 2047 encoded for browsers other
    // than MSIE) and Content-Length.
    void SendDownloadHeaders(const std::string& fileName);
    // The only way the formats send bytes; throws ConnectionClosed when the host fails.
    void Write(const void* data, size_t length);

protected:
    // Walks the folder roots[current] + rel: its own entry first (unless rel is empty), then its files
    // and sub-folders by name, depth first (FolderWalk: the tree's depth never decides the stack's). A
    // sub-folder that cannot be read is skipped.
    virtual bool AddDirectory(const std::string& rel);
    // Records one regular file or folder; false when the format does not take it.
    virtual bool AddEntry(const std::string& rel, const EntryStatus& status) = 0;

    // Fills in all of `entry` but its name and CRC for the entry `rel` of the current root.
    void DescribeEntry(ArchiveEntry& entry, const std::string& rel, const EntryStatus& status) const;
    // The local path of an entry, as logs show it.
    std::string GetEntryPath(int rootIndex, const std::string& rel) const;
    // Where an entry is opened: the path `inside` below `folder`, which is the share's own folder when
    // the root came with a virtual path (else `base`). Opened below that folder (OpenBeneath), an entry
    // cannot lead out of the share, whatever link the walk or a writer meanwhile puts in its way.
    void LocateEntry(int rootIndex, const std::string& rel, std::string& folder, std::string& inside) const;
    int GetRootIndex() const { return m_rootIndex; }
    // Logs that a file changed between listing and sending, so its entry goes out marked damaged.
    void ReportChangedFile(const std::string& path);

    // Reused by the formats to read file data.
    std::vector<char> m_block;

private:
    struct Root {
        std::string base;        // local folder of the selected entry, with "/"
        std::string name;        // the selected entry's local name: the first part of its entries' rel
        std::string virtualPath; // the selected entry's path on the server, "" when not known
        std::string folder;      // what the entries are opened below (see LocateEntry)
        std::string inside;      // the selected entry's path below `folder`
    };

    // The part of `rel` below the root's own entry: "" for the entry itself, else "/" and the rest.
    static std::string BelowRoot(const Root& root, const std::string& rel);

    // Opens the folder `rel` of the current root (see LocateEntry).
    bool OpenFolder(const std::string& rel, DirectoryListing& listing) const;
    void AddRoot(Root root);
    // Whether the host resolves the entry `rel` of the current root (a file reached through a link).
    bool HostResolves(const std::string& rel);

    CorvantaRequestProcessor& m_processor;
    int m_rootIndex = -1;
    std::vector<Root> m_roots;
};

// The archive request flow's first step: every selected entry the host can resolve goes into the stream,
// in order, once per local path it resolves to (the first occurrence stays); others are skipped.
void AddSelection(CArchiveStream& stream, CorvantaRequestProcessor& processor,
                  const std::vector<SelectedFile>& selection);

// The file name offered for the download: the single selected entry's name, else the last component of
// the request path, else `fallbackBase`; ":" and "\" become "_"; `extension` appended.
std::string MakeDownloadName(const std::vector<SelectedFile>& selection, const std::string& requestPath,
                             const std::string& fallbackBase, const std::string& extension);

// An entry's relative path as an archive stores it: a backslash inside a name becomes "_", so that it never
// reads as a separator to the tools that extract the archive.
std::string ArchiveEntryName(const std::string& rel);

// Sends the archive as a whole response; throws ConnectionClosed when the client is gone.
void SendArchive(CArchiveStream& stream, CorvantaRequestProcessor& processor,
                 const std::string& downloadName);

// The whole archive request: the request's selection goes into the stream (AddSelection), then the archive
// goes out under the name MakeDownloadName gives it. Throws what the stream throws.
void SendSelectionArchive(CArchiveStream& stream, CorvantaRequestProcessor& processor,
                          const std::string& fallbackBase, const std::string& extension);

} // namespace Vuxo
