// A request path (the decoded URL path without its leading "/"; "" is the root) taken apart at its first
// "/" into the share name and the rest, with the test for a canonical path and the canonical form that a
// non-canonical one is redirected to. A plain value built per request; no lock.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

class RequestPath {
public:
    explicit RequestPath(std::string path);

    // "/" + whole + "/", with every "\" read as "/", holds "/../".
    bool HasParentReference() const;
    // True for "", false for a path that begins with "/", holds "//" or a parent reference.
    bool IsValid() const;
    // "" (the root) for a path with a parent reference; else the path without leading "/", every "\"
    // turned into "/" and every run of "/" made one.
    std::string GetCanonical() const;

    // The text before the first "/" (all of it without one), the text after it, and the path as given.
    const std::string& GetMountName() const { return m_mountName; }
    const std::string& GetRest() const { return m_rest; }
    const std::string& GetWhole() const { return m_whole; }

private:
    std::string m_mountName;
    std::string m_rest;
    std::string m_whole;
};

// True when the decoded request path can name something at all: well-formed UTF-8 (no overlong or cut
// sequence that could stand for "/", "." or NUL) and no NUL byte.
bool IsAcceptablePathText(std::string_view path);

} // namespace Vuxo
