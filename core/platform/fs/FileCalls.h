// The file calls of the operating system, as the file objects of the core need them: opening a regular
// file with a share lock, reading and writing whole buffers, seeking, sizes, syncing and path queries.
// Stateless; every function is safe on any thread.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

enum class FileAccess { Read, Write, ReadWrite };

// How other openers may share the file: a shared lock admits other shared ones, an exclusive lock none.
enum class FileShare { Shared, Exclusive };

struct FileOpenRequest {
    FileAccess access = FileAccess::Read;
    bool create = false;   // create the file when it is missing
    bool truncate = false; // empty it once the share lock is held
    bool append = false;   // every write goes to the end, even from several threads at once
    FileShare share = FileShare::Shared;
};

// Opens a regular file close-on-exec. Anything else (folder, FIFO, device, socket) is refused without
// blocking, as is a file whose lock conflicts with another opener. On failure the descriptor is invalid and
// `error` (when given) holds the errno value.
FileDescriptor OpenRegularFile(const std::string& path, const FileOpenRequest& request, int* error = nullptr);
// The same for `rest` below the folder `root`, the descriptor proven to lie below it whatever links are
// swapped in meanwhile (OpenBeneath); EXDEV for a name that leads out. An empty rest opens `root` itself.
// `readSize` (when given) receives the size of a file opened for reading, as it was once the lock was
// held; -1 for a write open or a failure.
FileDescriptor OpenRegularFileBeneath(const std::string& root, std::string_view rest,
                                      const FileOpenRequest& request, int* error = nullptr,
                                      int64_t* readSize = nullptr);
// A folder below `root`, open for reading its entries and for calls relative to it, proven as above.
FileDescriptor OpenFolderBeneath(const std::string& root, std::string_view rest, int* error = nullptr);

// Reads until `count` bytes, the end of the file or an error; retries interrupted and short reads.
size_t ReadFully(int descriptor, void* buffer, size_t count);
// Writes until `count` bytes or an error; retries interrupted and short writes.
size_t WriteFully(int descriptor, const void* buffer, size_t count);

// origin 0 = from the start, 1 = from the current position, 2 = from the end. New position or -1.
int64_t SeekDescriptor(int descriptor, int64_t distance, int origin);
int64_t GetDescriptorSize(int descriptor);
bool SyncDescriptor(int descriptor);
bool TruncateDescriptor(int descriptor, int64_t size);
// Sets the permission bits of the open file (e.g. 0600).
bool SetDescriptorMode(int descriptor, unsigned mode);

enum class PathKind { Missing, Regular, Directory, Other };

struct PathInfo {
    PathKind kind = PathKind::Missing;
    int64_t size = 0;
    int64_t lastWriteTime = 0; // seconds since 1970-01-01 UTC
};

// Follows symbolic links. False (kind Missing) when the path cannot be queried.
bool QueryPath(const std::string& path, PathInfo& info);

} // namespace Vuxo
