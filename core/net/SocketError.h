// The error of the socket layer: socket_exception carries one message text, normally the text of a socket
// error code from SocketErrorText's fixed table (errno values are mapped onto those codes by the platform
// layer, so the texts stay the same everywhere). Plain values; no shared state.
#pragma once

#include <exception>
#include <string>

namespace Vuxo {

// The text of a socket error code; "Unknown error" for a code outside the table.
const char* SocketErrorText(int code);

class socket_exception : public std::exception {
public:
    // The text of the last failed socket call on this thread.
    socket_exception();
    explicit socket_exception(std::string text) : m_text(std::move(text)) {}
    socket_exception(const socket_exception&) = default;
    socket_exception& operator=(const socket_exception&) = default;

    static socket_exception FromCode(int code) {
        return socket_exception(std::string(SocketErrorText(code)));
    }

    const char* what() const noexcept override { return m_text.c_str(); }

private:
    std::string m_text;
};

} // namespace Vuxo
