// An owned file over a POSIX descriptor, the only file object of the program.
// Open modes: 0 read an existing file; 1 write, created or truncated; 2 read and write, created when
// missing; 4 write, created when missing, content kept. Only regular files open: a folder, FIFO or device
// is refused, and never blocks. Share modes (ShareLock): a non-exclusive read open takes a shared lock; an
// exclusive open, and every open for writing, an exclusive lock; a conflicting lock makes Open fail.
// Offsets and sizes are 64-bit.
// One thread uses an object at a time; it has no lock.
#pragma once

#include "core/platform/fs/ShareLock.h"
#include "core/thread/Noncopyable.h"

#include <cstddef>
#include <cstdint>
#include <string>

class PelkFile : private Vuxo::Noncopyable {
public:
    // Open modes.
    static constexpr unsigned ModeRead = 0;
    static constexpr unsigned ModeCreate = 1;
    static constexpr unsigned ModeReadWrite = 2;
    static constexpr unsigned ModeWrite = 4;

    // Seek origins.
    static constexpr int Begin = 0;
    static constexpr int Current = 1;
    static constexpr int End = 2;

    PelkFile() = default;
    // As Open; the result shows through IsOpen().
    PelkFile(const std::string& utf8Path, unsigned mode, bool exclusive);
    // Borrows a descriptor owned elsewhere: usable, but never closed by this object.
    explicit PelkFile(int borrowedDescriptor);
    virtual ~PelkFile();

    // Closes a file that is already open, then opens `utf8Path`. The full path is recorded either way.
    virtual bool Open(const std::string& utf8Path, unsigned mode, bool exclusive);
    // As Open for `rest` below the folder `root`: the file opened is proven to lie below it, whatever
    // links are swapped in on the way meanwhile (a link that stays inside is followed). The full path
    // recorded is root + "/" + rest.
    bool OpenBeneath(const std::string& root, const std::string& rest, unsigned mode, bool exclusive);
    // Reads up to `count` bytes, retrying short reads, until the count or the end of the file.
    virtual size_t Read(void* buffer, size_t count);
    // Writes `count` bytes, retrying short writes; the result is less only on an error.
    virtual size_t Write(const void* buffer, size_t count);
    // Current position, or -1.
    virtual int64_t Tell();
    // Size of the file, or -1.
    virtual int64_t GetSize();
    // The size a read open measured on this descriptor once its share lock was held, without asking
    // again; -1 after a write open, for a borrowed descriptor or when closed. A file another program
    // writes may have grown since: GetSize measures anew.
    int64_t GetSizeAtOpen() const { return m_sizeAtOpen; }
    // Moves the position relative to Begin, Current or End; the new position, or -1.
    virtual int64_t Seek(int64_t distance, int origin);
    // Reports a failed close; closing a closed file succeeds.
    virtual bool Close();
    // Commits the file to storage (fsync).
    virtual bool Flush();

    // Moves to `position` and cuts or extends the file there.
    bool SetEnd(int64_t position);

    bool IsOpen() const { return m_descriptor >= 0; }
    // The descriptor, for sendfile and the like; -1 when closed. Stays owned by this object.
    int GetDescriptor() const { return m_descriptor; }

    // The absolute path given to the last Open (empty after Close), and its last component.
    const std::string& GetFullPath() const;
    std::string GetFileNamePart() const;

private:
    int m_descriptor = -1;
    bool m_owned = false;
    int64_t m_sizeAtOpen = -1;
    Vuxo::ShareLock m_share;
    // An absolute path is kept as given and normalised when first asked for, as no open needs it;
    // a relative one is made absolute at its open, against the working folder of that moment.
    std::string m_openedPath;
    mutable std::string m_fullPath;
    mutable bool m_fullPathMade = true;
};

namespace Vuxo {
using ::PelkFile;
} // namespace Vuxo
