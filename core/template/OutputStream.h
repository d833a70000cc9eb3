// The write-bytes sink that rendered templates go to.
// Implementations: the HTML page sender and sub-folder list (they forward to the HTTP response),
// StringOutputStream (collects into a string) and CountingOutputStream (only counts).
// A sink belongs to whoever writes into it; none of these sinks is locked, one thread writes at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vuxo {

class OutputStream {
public:
    OutputStream() = default;
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;
    virtual ~OutputStream() = default;

    // Writes `length` bytes; never called with a terminating NUL. A length of 0 is allowed.
    virtual void Write(const char* data, std::size_t length) = 0;
};

// Appends everything written to a string.
class StringOutputStream : public OutputStream {
public:
    void Write(const char* data, std::size_t length) override { text_.append(data, length); }

    const std::string& Text() const { return text_; }
    std::string TakeText() { return std::move(text_); }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

// Counts the bytes and the calls written to it and keeps nothing.
class CountingOutputStream : public OutputStream {
public:
    void Write(const char*, std::size_t length) override {
        total_ += length;
        ++calls_;
    }

    std::uint64_t Total() const { return total_; }
    std::uint64_t Calls() const { return calls_; }

private:
    std::uint64_t total_ = 0;
    std::uint64_t calls_ = 0;
};

} // namespace Vuxo
