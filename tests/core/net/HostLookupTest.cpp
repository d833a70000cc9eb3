// The name lookup a caller can give up on, over a lookup that hangs: the caller leaves on its time-out
// while the helper goes on, and hanging lookups never pile up more threads than the cap.
#include "core/platform/net/HostLookup.h"
#include "fixtures/support/HangingLookup.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>

namespace Vuxo {
namespace {

TEST(HostLookupTest, HangingLookupsAreLeftBehindAndCapped) {
    auto hang = std::make_shared<Fixtures::HangingLookup>();
    int error = 0;
    EXPECT_EQ(Net::LookupIPv4("127.0.0.1", Net::kNoHandle, 0, error, hang->Lookup()), htonl(0x7f000001));
    for (int i = 0; i < Net::kMaxLookupsInFlight; ++i) {
        EXPECT_EQ(Net::LookupIPv4("maker.invalid", Net::kNoHandle, 0, error, hang->Lookup()), std::nullopt);
        EXPECT_EQ(error, Net::kErrTimedOut);
    }
    ASSERT_TRUE(hang->WaitEntered(Net::kMaxLookupsInFlight));
    EXPECT_EQ(Net::LookupsInFlight(), Net::kMaxLookupsInFlight);
    // One more fails at once, without another thread.
    EXPECT_EQ(Net::LookupIPv4("maker.invalid", Net::kNoHandle, 0, error, hang->Lookup()), std::nullopt);
    EXPECT_EQ(error, Net::kErrTryAgain);
    hang->Release();
}

} // namespace
} // namespace Vuxo
