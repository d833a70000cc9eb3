#include "core/platform/fs/BeneathOpen.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace Vuxo {

namespace {

// As many links as the kernel itself follows in one name.
constexpr int kMaxLinks = 40;

// Set once the kernel has answered that it has no openat2.
std::atomic<bool> g_noOpenat2{false};

FileDescriptor Fail(int* error, int value) {
    if (error != nullptr) {
        *error = value;
    }
    return FileDescriptor();
}

FileDescriptor Succeed(int* error, int descriptor) {
    if (error != nullptr) {
        *error = 0;
    }
    return FileDescriptor(descriptor);
}

int OpenAtRetrying(int folder, const char* name, int flags, unsigned mode) {
    int descriptor;
    do {
        descriptor = ::openat(folder, name, flags | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

FileDescriptor OpenRootItself(const std::string& root, int flags, unsigned mode, int* error) {
    const int descriptor = OpenAtRetrying(AT_FDCWD, root.c_str(), flags, mode);
    return descriptor < 0 ? Fail(error, errno) : Succeed(error, descriptor);
}

// The components of `text` in front of those still to walk; empty ones and "." are dropped.
void PrependComponents(std::deque<std::string>& pending, std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view part = text.substr(start, end - start);
        if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    pending.insert(pending.begin(), parts.begin(), parts.end());
}

bool ReadLinkOf(int entry, std::string& target) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlinkat(entry, "", buffer.data(), buffer.size());
        if (length < 0) {
            return false;
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The part of the absolute `target` below `folder` (a path without a trailing "/" but for "/" itself).
bool TakeBelow(std::string_view target, std::string_view folder, std::string_view& below) {
    if (folder == "/") {
        below = target.substr(1);
        return true;
    }
    if (target.substr(0, folder.size()) != folder ||
        (target.size() > folder.size() && target[folder.size()] != '/')) {
        return false;
    }
    below = target.substr(folder.size());
    return true;
}

// The names by which a link may lead back into the root: its own text and its real path for an absolute
// link, the real path's own folders for a relative one that climbs above the root.
class RootNames {
public:
    explicit RootNames(const std::string& root) : m_text(root) {
        while (m_text.size() > 1 && m_text.back() == '/') {
            m_text.pop_back();
        }
    }

    bool Below(std::string_view target, std::string_view& below) {
        return TakeBelow(target, m_text, below) || (!Real().empty() && TakeBelow(target, Real(), below));
    }

    // After a ".." at the root: true when the names still to walk come back down into the root by the
    // folders of its real path (which hold no link, so ".." among them is their parent); `pending` then
    // holds what lies below the root. False when they lead anywhere else.
    bool ClimbBack(std::deque<std::string>& pending) {
        if (Real().empty()) {
            return false;
        }
        std::deque<std::string> chain;
        PrependComponents(chain, Real());
        if (chain.empty()) {
            return true; // the root is "/", its own parent
        }
        size_t depth = chain.size() - 1; // the folders of the real path the walk is in
        while (!pending.empty()) {
            const std::string name = std::move(pending.front());
            pending.pop_front();
            if (name == "..") {
                depth -= depth > 0 ? 1 : 0;
            } else if (name != chain[depth]) {
                return false;
            } else if (++depth == chain.size()) {
                return true;
            }
        }
        return false;
    }

private:
    const std::string& Real() {
        if (!m_resolved) {
            m_resolved = true;
            const std::unique_ptr<char, decltype(&std::free)> real(::realpath(m_text.c_str(), nullptr),
                                                                   &std::free);
            m_real = real ? std::string(real.get()) : std::string();
        }
        return m_real;
    }

    std::string m_text;
    std::string m_real;
    bool m_resolved = false;
};

long OpenAt2Retrying(int folder, const std::string& name, int flags, unsigned mode, uint64_t resolve) {
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) != 0 ? mode : 0;
    how.resolve = resolve;
    long descriptor;
    do {
        descriptor = ::syscall(SYS_openat2, folder, name.c_str(), &how, sizeof how);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// True when no component of `rest` is "..", so that its text alone keeps it below the root.
bool NeverClimbs(std::string_view rest) {
    if (rest.front() == '/') {
        return false;
    }
    size_t start = 0;
    while (start <= rest.size()) {
        const size_t end = std::min(rest.find('/', start), rest.size());
        if (rest.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// The last root of this thread whose own path holds a link: a whole-path open refusing links always
// fails there, so its names go the way through the folder's descriptor at once.
thread_local std::string t_linkedRoot;
// The last root of this thread found free of links, so that names under a link inside it are not
// followed by a look at the root every time.
thread_local std::string t_plainRoot;

// Most names hold neither a link nor "..": one lookup of the root's path and the name together that
// refuses every link lands below the root as surely as the lookup beneath it, and saves opening and
// closing the folder. -1 when it did not open (a link on the way, a missing entry, anything): the caller
// then takes the way that decides, so every failure is reported as before. errno is 0 when it was not
// tried, so that only the kernel's own answer can tell that openat2 is missing.
long OpenWholePathWithoutLinks(const std::string& root, std::string_view rest, int flags, unsigned mode) {
    if (!NeverClimbs(rest) || root.empty() || root == t_linkedRoot) {
        errno = 0;
        return -1;
    }
    std::string path;
    path.reserve(root.size() + 1 + rest.size());
    path.append(root);
    if (path.back() != '/') {
        path.push_back('/');
    }
    path.append(rest);
    const long descriptor = OpenAt2Retrying(AT_FDCWD, path, flags, mode,
                                            RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS);
    const int failure = errno;
    if (descriptor < 0 && failure == ELOOP && root != t_plainRoot) {
        // A link in the root's own path, or only below it: a lookup of the root alone tells.
        const FileDescriptor probe(static_cast<int>(
            OpenAt2Retrying(AT_FDCWD, root, O_PATH | O_DIRECTORY, 0, RESOLVE_NO_SYMLINKS)));
        if (probe.IsValid()) {
            t_plainRoot = root;
        } else if (errno == ELOOP) {
            t_linkedRoot = root;
        }
    }
    errno = failure;
    return descriptor;
}

} // namespace

FileDescriptor OpenBeneath(const std::string& root, std::string_view rest, int flags, unsigned mode,
                           int* error) {
    if (rest.empty()) {
        return OpenRootItself(root, flags, mode, error);
    }
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        long descriptor = OpenWholePathWithoutLinks(root, rest, flags, mode);
        if (descriptor >= 0) {
            return Succeed(error, static_cast<int>(descriptor));
        }
        if (errno == ENOSYS) {
            g_noOpenat2.store(true, std::memory_order_relaxed);
            return OpenBeneathByWalk(root, rest, flags, mode, error);
        }
        const FileDescriptor folder(OpenAtRetrying(AT_FDCWD, root.c_str(), O_PATH | O_DIRECTORY, 0));
        if (!folder.IsValid()) {
            return Fail(error, errno);
        }
        descriptor = OpenAt2Retrying(folder.Get(), std::string(rest), flags, mode,
                                     RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS);
        if (descriptor >= 0) {
            return Succeed(error, static_cast<int>(descriptor));
        }
        const int failure = errno;
        if (failure == ENOSYS) {
            g_noOpenat2.store(true, std::memory_order_relaxed);
        } else if (failure != EXDEV && failure != ELOOP && failure != EAGAIN && failure != EPERM) {
            return Fail(error, failure);
        }
        // Refused, but perhaps only for an absolute link that leads back inside (openat2 takes every
        // absolute link for an escape), or the call is filtered: the walk decides.
    }
    return OpenBeneathByWalk(root, rest, flags, mode, error);
}

FileDescriptor OpenBeneathByWalk(const std::string& root, std::string_view rest, int flags, unsigned mode,
                                 int* error) {
    if (rest.empty()) {
        return OpenRootItself(root, flags, mode, error);
    }
    if (rest.front() == '/') {
        return Fail(error, EXDEV);
    }
    // The folders from the root to the one the walk is in, so that ".." steps back without a lookup.
    std::vector<FileDescriptor> folders;
    folders.emplace_back(OpenAtRetrying(AT_FDCWD, root.c_str(), O_PATH | O_DIRECTORY, 0));
    if (!folders.back().IsValid()) {
        return Fail(error, errno);
    }
    RootNames rootNames(root);
    const int finalFlags = flags | O_NOFOLLOW | (rest.back() == '/' ? O_DIRECTORY : 0);
    std::deque<std::string> pending;
    PrependComponents(pending, rest);
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.front());
        pending.pop_front();
        if (name == "..") {
            if (folders.size() > 1) {
                folders.pop_back();
            } else if (!rootNames.ClimbBack(pending)) {
                return Fail(error, EXDEV);
            }
            continue;
        }
        const int folder = folders.back().Get();
        const bool last = pending.empty();
        // The entry itself, never what it points to: a link is read and walked here, under our eyes.
        FileDescriptor entry(OpenAtRetrying(folder, name.c_str(), O_PATH | O_NOFOLLOW, 0));
        if (!entry.IsValid()) {
            if (!(last && errno == ENOENT && (flags & O_CREAT) != 0)) {
                return Fail(error, errno);
            }
        } else {
            struct stat status {};
            if (::fstat(entry.Get(), &status) != 0) {
                return Fail(error, errno);
            }
            if (S_ISLNK(status.st_mode)) {
                std::string target;
                if (++links > kMaxLinks) {
                    return Fail(error, ELOOP);
                }
                if (!ReadLinkOf(entry.Get(), target)) {
                    return Fail(error, errno);
                }
                std::string_view below = target;
                if (!target.empty() && target.front() == '/') {
                    if (!rootNames.Below(target, below)) {
                        return Fail(error, EXDEV);
                    }
                    folders.resize(1);
                }
                PrependComponents(pending, below);
                continue;
            }
            if (!last) {
                if (!S_ISDIR(status.st_mode)) {
                    return Fail(error, ENOTDIR);
                }
                folders.push_back(std::move(entry));
                continue;
            }
        }
        // The last component, opened in the folder the walk proved; O_NOFOLLOW keeps a link swapped in
        // since the look above from being followed.
        const int descriptor = OpenAtRetrying(folder, name.c_str(), finalFlags, mode);
        if (descriptor >= 0) {
            return Succeed(error, descriptor);
        }
        if (errno != ELOOP || ++links > kMaxLinks) {
            return Fail(error, errno);
        }
        pending.push_front(name); // it became a link meanwhile: look at it again
    }
    // The name ended in a folder already open (a link to one, or "..").
    const int descriptor = OpenAtRetrying(folders.back().Get(), ".", flags, mode);
    return descriptor < 0 ? Fail(error, errno) : Succeed(error, descriptor);
}

} // namespace Vuxo
