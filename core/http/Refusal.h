// The short fixed answers of a connection that is not served: written at once without waiting for the
// client (what does not fit its socket is dropped), before the connection is closed. Stateless.
#pragma once

namespace Vuxo {

class TCPSocket;

enum class Refusal {
    AddressBusy, // its address has too many connections whose requests have not arrived
    ServerBusy,  // the server holds as many connections as it may
};

// Leaves the socket non-blocking; the caller closes it (or shuts it down).
void WriteRefusal(TCPSocket& socket, Refusal why);

} // namespace Vuxo
