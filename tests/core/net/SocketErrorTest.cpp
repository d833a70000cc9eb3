#include "core/net/SocketError.h"
#include "core/platform/net/SocketCalls.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace Vuxo {
namespace {

TEST(SocketErrorText, KnownCodesGiveTheirTextAndOthersUnknown) {
    struct Row {
        int code;
        const char* text;
    };
    const Row rows[] = {
        {10054, "Connection reset by peer"},
        {10060, "Connection timed out"},
        {10004, "Interrupted function call"},
        {11004, "Valid name, no data record of requested type"},
        {6, "Specified event object handle is invalid"},
        {10107, "System call failure"},
        {0, "Unknown error"},
        {-1, "Unknown error"},
        {10059, "Unknown error"},
        {99999, "Unknown error"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(SocketErrorText(row.code), row.text) << row.code;
    }
}

TEST(SocketErrorText, ErrnoValuesMapOntoTheTexts) {
    struct Row {
        int err;
        const char* text;
    };
    const Row rows[] = {
        {ECONNRESET, "Connection reset by peer"},     {ETIMEDOUT, "Connection timed out"},
        {ECONNREFUSED, "Connection refused"},         {EADDRINUSE, "Address already in use"},
        {EPIPE, "Cannot send after socket shutdown"}, {EAGAIN, "Socket would block"},
        {EBADF, "Socket operation on nonsocket"},     {EMFILE, "Too many open files"},
        {EHOSTUNREACH, "No route to host"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(SocketErrorText(Net::ErrorFromErrno(row.err)), row.text) << row.err;
    }
}

TEST(SocketException, CarriesItsTextAndCopiesIt) {
    socket_exception original("Connection closed");
    socket_exception copy(original);
    EXPECT_STREQ(copy.what(), "Connection closed");
    EXPECT_STREQ(socket_exception::FromCode(10061).what(), "Connection refused");

    errno = ECONNRESET;
    socket_exception current;
    EXPECT_STREQ(current.what(), "Connection reset by peer");
}

} // namespace
} // namespace Vuxo
