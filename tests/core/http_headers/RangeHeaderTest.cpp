#include "core/http_headers/RangeHeader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace Vuxo {
namespace {

using Span = std::pair<int64_t, int64_t>;

std::vector<Span> Spans(const RangeHeader& header) {
    std::vector<Span> spans;
    for (const ByteRangeSpec& spec : header.GetRanges()) {
        spans.emplace_back(spec.first, spec.last);
    }
    return spans;
}

struct ResolveCase {
    const char* value;
    int64_t length;
    std::vector<Span> expected; // empty: Resolve must fail
};

class RangeResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(RangeResolveTest, ResolvesToSortedDisjointRangesOrRefuses) {
    const ResolveCase& c = GetParam();
    RangeHeader header;
    ASSERT_TRUE(header.Parse(c.value)) << c.value;
    const bool resolved = header.Resolve(c.length);
    if (c.expected.empty()) {
        EXPECT_FALSE(resolved) << c.value;
        EXPECT_FALSE(header.IsResolved());
        EXPECT_EQ(header.GetContentRangeValue(), "");
        return;
    }
    ASSERT_TRUE(resolved) << c.value;
    EXPECT_TRUE(header.IsResolved());
    EXPECT_EQ(Spans(header), c.expected) << c.value;
    for (const ByteRangeSpec& spec : header.GetRanges()) {
        EXPECT_EQ(spec.kind, ByteRangeSpec::kClosed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RangeResolveTest,
    ::testing::Values(
        ResolveCase{"bytes=0-99", 1000, {{0, 99}}}, ResolveCase{"bytes=-100", 1000, {{900, 999}}},
        ResolveCase{"bytes=900-", 1000, {{900, 999}}}, ResolveCase{"bytes=999-999", 1000, {{999, 999}}},
        ResolveCase{"bytes=-1000", 1000, {{0, 999}}}, ResolveCase{"bytes=0-99,100-199", 1000, {{0, 199}}},
        ResolveCase{"bytes=0-99,200-299", 1000, {{0, 99}, {200, 299}}},
        ResolveCase{"bytes=0-10,5-20,15-30", 1000, {{0, 30}}},
        ResolveCase{"bytes=500-,0-99,600-700", 1000, {{0, 99}, {500, 999}}},
        ResolveCase{"bytes=200-299,0-99", 1000, {{0, 99}, {200, 299}}},
        ResolveCase{" bytes = 0 - 9 , 20 - 29 ", 100, {{0, 9}, {20, 29}}},
        // Suffixes: only the longest survives sorting, then it resolves beside the positional ranges.
        ResolveCase{"bytes=-10,-50,-20", 100, {{50, 99}}},
        ResolveCase{"bytes=0-9,-10", 100, {{0, 9}, {90, 99}}}, ResolveCase{"bytes=0-89,-10", 100, {{0, 99}}},
        // An end past the entity's end is its end; a suffix longer than the entity is all of it; a range
        // that starts past the end is dropped while others are left.
        ResolveCase{"bytes=-2000", 1000, {{0, 999}}}, ResolveCase{"bytes=0-1000", 1000, {{0, 999}}},
        ResolveCase{"bytes=990-5000", 1000, {{990, 999}}}, ResolveCase{"bytes=-5", 3, {{0, 2}}},
        ResolveCase{"bytes=0-9,2000-3000", 1000, {{0, 9}}}, ResolveCase{"bytes=-0,5-", 10, {{5, 9}}},
        // Unsatisfiable.
        ResolveCase{"bytes=1000-", 1000, {}}, ResolveCase{"bytes=200-", 100, {}},
        ResolveCase{"bytes=1000-2000,1500-", 1000, {}}, ResolveCase{"bytes=-0", 1000, {}},
        ResolveCase{"bytes=0-", 0, {}}, ResolveCase{"bytes=-1", 0, {}}, ResolveCase{"bytes=0-0", 0, {}},
        ResolveCase{"bytes=-0", 0, {}},
        // Huge numbers saturate instead of wrapping into something else.
        ResolveCase{"bytes=0-99999999999999999999999999", 1000, {{0, 999}}},
        ResolveCase{"bytes=-99999999999999999999999999", 1000, {{0, 999}}},
        ResolveCase{"bytes=99999999999999999999999999-", 1000, {}},
        ResolveCase{"bytes=0-9223372036854775807,5-6",
                    std::numeric_limits<int64_t>::max(),
                    {{0, 9223372036854775806}}},
        ResolveCase{"bytes=9223372036854775806-9223372036854775806",
                    std::numeric_limits<int64_t>::max(),
                    {{9223372036854775806, 9223372036854775806}}}));

TEST(RangeHeaderTest, ResolvesOnceAndOnlyWithRangesAndNamesTheFirstRange) {
    RangeHeader whole; // without a header: the default range, the whole entity
    ASSERT_TRUE(whole.Resolve(10));
    EXPECT_EQ(whole.GetContentRangeValue(), "bytes 0-9/10");

    RangeHeader header;
    ASSERT_TRUE(header.Parse("bytes=2000-2099,5000-"));
    EXPECT_EQ(header.GetContentRangeValue(), "") << "before Resolve";
    EXPECT_FALSE(header.Resolve(1000)) << "both start past the end";
    EXPECT_EQ(Spans(header), (std::vector<Span>{{2000, 2099}, {5000, 0}}))
        << "a failed Resolve changes nothing";
    ASSERT_TRUE(header.Resolve(10000));
    EXPECT_EQ(header.GetContentRangeValue(), "bytes 2000-2099/10000");
    EXPECT_FALSE(header.Resolve(10000)) << "a second Resolve is refused";

    RangeHeader none;
    EXPECT_FALSE(none.Parse("items=0-1"));
    EXPECT_FALSE(none.Resolve(1000)) << "no range is nothing to serve";
    EXPECT_EQ(none.GetContentRangeValue(), "");
}

struct ParseFailure {
    const char* value;
    std::vector<Span> kept; // ranges read before the bad piece, as written
};

class RangeParseFailureTest : public ::testing::TestWithParam<ParseFailure> {};

TEST_P(RangeParseFailureTest, KeepsOnlyWhatCameBeforeTheBadPiece) {
    const ParseFailure& c = GetParam();
    RangeHeader header;
    EXPECT_FALSE(header.Parse(c.value)) << c.value;
    EXPECT_EQ(Spans(header), c.kept) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RangeParseFailureTest,
    ::testing::Values(ParseFailure{"Bytes=0-1", {}}, ParseFailure{"items=0-1", {}},
                      ParseFailure{"bytes 0-1", {}}, ParseFailure{"", {}}, ParseFailure{"bytes=", {}},
                      ParseFailure{"bytes=0-99,abc", {{0, 99}}}, ParseFailure{"bytes=0-99,,5-6", {{0, 99}}},
                      ParseFailure{"bytes=300-399,0-99,", {{300, 399}, {0, 99}}},
                      // A range that ends before it begins, signs, other digits.
                      ParseFailure{"bytes=500-100", {}}, ParseFailure{"bytes=0-600,500-100", {{0, 600}}},
                      ParseFailure{"bytes=a-b", {}}, ParseFailure{"bytes=-", {}},
                      ParseFailure{"bytes=--5", {}}, ParseFailure{"bytes=+1-2", {}},
                      ParseFailure{"bytes=0x10-20", {}}, ParseFailure{"bytes=1-2-3", {}},
                      ParseFailure{"bytes=1 2-3", {}}));

TEST(RangeHeaderTest, WhatParsedBeforeABadPieceStaysAndOtherUnitsAreTold) {
    // The download serves the ranges read before the bad piece.
    RangeHeader header;
    header.Parse("bytes=0-99,abc");
    ASSERT_TRUE(header.Resolve(1000));
    EXPECT_EQ(header.GetContentRangeValue(), "bytes 0-99/1000");
    EXPECT_EQ(RangeHeader::GetUnsatisfiedContentRangeValue(1000), "bytes */1000");
    // Another unit is ignored by the download; a value without a unit is malformed, not another unit.
    EXPECT_TRUE(RangeHeader::UsesOtherUnit("items=0-1"));
    EXPECT_TRUE(RangeHeader::UsesOtherUnit("Bytes=0-1"));
    EXPECT_FALSE(RangeHeader::UsesOtherUnit(" bytes =0-1"));
    EXPECT_FALSE(RangeHeader::UsesOtherUnit("bytes 0-1"));
    EXPECT_FALSE(RangeHeader::UsesOtherUnit("abc"));
}

} // namespace
} // namespace Vuxo
