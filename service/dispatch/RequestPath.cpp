#include "service/dispatch/RequestPath.h"

#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"

namespace Vuxo {

RequestPath::RequestPath(std::string path) : m_whole(std::move(path)) {
    const size_t slash = m_whole.find('/');
    if (slash == std::string::npos) {
        m_mountName = m_whole;
    } else {
        m_mountName = m_whole.substr(0, slash);
        m_rest = m_whole.substr(slash + 1);
    }
}

bool RequestPath::HasParentReference() const {
    // A segment that is exactly "..", "\\" separating as well as "/".
    const std::string_view whole = m_whole;
    size_t start = 0;
    for (size_t i = 0; i <= whole.size(); ++i) {
        if (i == whole.size() || whole[i] == '/' || whole[i] == '\\') {
            if (whole.substr(start, i - start) == "..") {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

bool RequestPath::IsValid() const {
    if (m_whole.empty()) {
        return true;
    }
    if (m_whole.front() == '/' || m_whole.find("//") != std::string::npos) {
        return false;
    }
    return !HasParentReference();
}

std::string RequestPath::GetCanonical() const {
    if (HasParentReference()) {
        return {};
    }
    std::string canonical;
    canonical.reserve(m_whole.size());
    for (char c : m_whole) {
        if (c == '\\') {
            c = '/';
        }
        // Leading separators vanish and a run of them becomes one.
        if (c == '/' && (canonical.empty() || canonical.back() == '/')) {
            continue;
        }
        canonical.push_back(c);
    }
    return canonical;
}

bool IsAcceptablePathText(std::string_view path) {
    return path.find('\0') == std::string_view::npos && IsValidUtf8(path);
}

} // namespace Vuxo
