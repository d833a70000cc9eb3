#include "service/mounts/LocalPathCheck.h"

#include "core/platform/fs/PathCalls.h"

#include <utility>

namespace Vuxo {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsInside(const std::string& realRoot, const std::string& realPath) {
    if (realRoot == "/") {
        return true;
    }
    return realPath.size() >= realRoot.size() && realPath.compare(0, realRoot.size(), realRoot) == 0 &&
           (realPath.size() == realRoot.size() || realPath[realRoot.size()] == '/');
}

} // namespace

bool IsSafeShareRest(std::string_view rest) {
    if (rest.find('\0') != std::string_view::npos) {
        return false;
    }
    if (!rest.empty() && IsSeparator(rest.front())) {
        return false;
    }
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) {
            ++end;
        }
        if (rest.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool StaysInsideShare(const std::string& shareRoot, std::string_view rest) {
    // The walk starts at the root as given, which leads to the same folder as its real path. The real
    // path itself is needed only when a link or a missing part is met; most requests meet neither, and
    // resolving it costs a look at every component of the root.
    std::string realRoot;
    const auto RealRoot = [&]() -> const std::string& {
        if (realRoot.empty()) {
            realRoot = ResolveRealPath(shareRoot);
        }
        return realRoot;
    };
    std::string current = shareRoot;
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find('/', start);
        if (end == std::string_view::npos) {
            end = rest.size();
        }
        const std::string_view component = rest.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        std::string candidate = !current.empty() && current.back() == '/' ? current : current + "/";
        candidate.append(component);
        const LinkStatus status = QueryLinkStatus(candidate);
        if (status == LinkStatus::Missing) {
            // Nothing exists from here on, so nothing further can point anywhere; the root must be real.
            return !RealRoot().empty();
        }
        if (status == LinkStatus::Unknown) {
            return false; // no permission, a name too long: the question stays open, so refuse
        }
        if (status == LinkStatus::SymbolicLink) {
            // A dangling link is refused too: creating a file through it would land where it points.
            std::string target = ResolveRealPath(candidate);
            if (target.empty() || RealRoot().empty() || !IsInside(RealRoot(), target)) {
                return false;
            }
            current = std::move(target);
        } else {
            current = std::move(candidate);
        }
    }
    return !current.empty() && (current != shareRoot || !RealRoot().empty());
}

std::string JoinSharePath(const std::string& shareRoot, std::string_view rest) {
    std::string path = shareRoot;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path.append(rest);
    return path;
}

} // namespace Vuxo
