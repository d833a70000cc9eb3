// A request's sends and body receives, bounded against a client that does not keep up its side: one that
// does not read what is sent, or sends its body slowly or not at all. The socket's own time-outs are short
// (stallMs); a send or receive that has made no progress by then counts among its address's stalled
// connections (AddressCounts) while it waits on, and is ended at once when that address already has as
// many as its cap allows. Nothing moving for ioMs ends the connection too, and so does a body that
// arrives at less than bodyMinRate bytes a second of waiting, measured over windows of bodyWindowMs (the
// time the server itself spends, pausing for a speed limit or writing a file, does not count).
// A connection ended because its client does not read is reset, so that what it did not take does not
// stay in the system's memory. Owned by one request, used by its connection thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vuxo {

class AddressPlaces;
class Clock;
class TCPSocket;

struct ConnectionTimeouts {
    // A send or receive without progress for this long ends the connection; a connection waits no longer
    // for its next request either (a crowded server waits less, see ConnectionLimits).
    int ioMs = 60000;
    // The whole header block of a request from its first byte, however slowly it drips in; also the
    // longest wait for that first byte.
    int headerMs = 60000;
    // A send or body receive that has waited this long without progress is waiting on its client. Long
    // enough that a client that reads or sends at all makes some progress in it (a busy client is not a
    // slow one), short because a client that does not is noticed only then.
    int stallMs = 50;
    // The slowest body accepted. Low, so that an honest upload over the slowest link (or shared by many
    // transfers on one) passes; it only has to tell a client that sends from one that merely holds on.
    int bodyMinRate = 256;
    int bodyWindowMs = 60000;
};

class ClientWaits {
public:
    // `places` may be null: nothing is counted.
    ClientWaits(TCPSocket& socket, const ConnectionTimeouts& timeouts, AddressPlaces* places, Clock& clock);

    // Sends at least one byte of `data`; the count sent. Throws socket_exception when the connection
    // fails or the client does not read.
    size_t Send(const void* data, size_t length);
    // Sends at least one byte of the file from `offset` (advanced); 0 at the file's end.
    size_t SendFile(int fileDescriptor, int64_t& offset, size_t count);
    // Receives at least one body byte; with `whole`, goes on waiting for all `capacity` bytes while they
    // keep coming. Throws socket_exception when the connection fails or the body is too slow.
    size_t Receive(void* buffer, size_t capacity, bool whole);

private:
    // Waits on the client to read (`toSend`) or to send, counted as stalled; false when `limitMs` passed.
    bool WaitOnClient(bool toSend, int64_t limitMs);
    void WaitToSend();
    // Adds waiting time and bytes to the body's current window; throws when a full window was too slow.
    void CountBody(int64_t waitedMs, size_t bytes);

    TCPSocket& m_socket;
    const ConnectionTimeouts m_timeouts;
    AddressPlaces* m_places;
    Clock& m_clock;
    int64_t m_windowWaitedMs = 0;
    int64_t m_windowBytes = 0;
};

} // namespace Vuxo
