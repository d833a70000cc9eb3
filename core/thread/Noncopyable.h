// Base class for objects that own something that must not be duplicated (a lock, a thread, a file).
// No state; derived classes stay movable only if they declare it themselves.
#pragma once

namespace Vuxo {

class Noncopyable {
public:
    Noncopyable(const Noncopyable&) = delete;
    Noncopyable& operator=(const Noncopyable&) = delete;

protected:
    Noncopyable() = default;
    ~Noncopyable() = default;
};

} // namespace Vuxo
