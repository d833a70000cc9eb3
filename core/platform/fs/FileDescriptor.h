// An owned POSIX file descriptor: closed when the object goes, moved but never copied.
// Not thread-safe; one owner at a time.
#pragma once

namespace Vuxo {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~FileDescriptor();

    FileDescriptor(FileDescriptor&& other) noexcept : m_descriptor(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_descriptor; }
    bool IsValid() const { return m_descriptor >= 0; }
    // Gives up ownership without closing.
    int Release();
    // Closes now; false when close() reports an error (the descriptor is released either way).
    bool Close();

private:
    int m_descriptor = -1;
};

} // namespace Vuxo
