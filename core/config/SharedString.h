// A string setting that one thread writes while others read it.
// The GUI thread assigns settings such as the host name while connection threads read them; each
// SharedString guards its text with its own mutex, and every read hands out a copy (a snapshot).
// Owned by the configuration object that declares it.
#pragma once

#include <mutex>
#include <string>
#include <utility>

namespace Vuxo {

class SharedString {
public:
    SharedString() = default;
    explicit SharedString(std::string text) : m_text(std::move(text)) {}

    // A copy takes a snapshot of the other's text under its lock.
    SharedString(const SharedString& other) : m_text(other.Get()) {}
    SharedString& operator=(const SharedString& other) {
        if (this != &other) {
            Set(other.Get());
        }
        return *this;
    }

    std::string Get() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_text;
    }

    void Set(std::string text) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_text = std::move(text);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

} // namespace Vuxo
