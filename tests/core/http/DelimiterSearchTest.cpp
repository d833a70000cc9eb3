#include "core/http/DelimiterSearch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace Vuxo {
namespace {

// Every vector width must agree with a plain search: bodies full of near misses (first and last byte
// right), the delimiter at every offset around the 64-byte steps and the tail, and bodies without it.
TEST(DelimiterSearch, EveryWidthFindsWhatMemmemFinds) {
    const std::string delimiter = "\r\n------WebKitFormBoundary7MA4YWxkTrZu0gW";
    std::string nearMiss = delimiter;
    nearMiss[delimiter.size() / 2] ^= 1;
    std::mt19937 rng(7);
    for (size_t widest : {1, 16, 32}) {
        for (size_t at = 0; at < 200; ++at) {
            std::string body;
            while (body.size() < at) {
                body += rng() % 3 == 0 ? nearMiss
                                       : std::string(1 + rng() % 40, static_cast<char>('\r' + rng() % 2));
            }
            body.resize(at);
            const std::string without = body + nearMiss.substr(0, rng() % nearMiss.size());
            body += delimiter + std::string(rng() % 70, '-');
            const char* expected = static_cast<const char*>(
                ::memmem(body.data(), body.size(), delimiter.data(), delimiter.size()));
            EXPECT_EQ(FindDelimiterWithin(widest, body.data(), body.size(), delimiter), expected)
                << widest << "/" << at;
            EXPECT_EQ(FindDelimiterWithin(widest, without.data(), without.size(), delimiter), nullptr)
                << widest << "/" << at;
        }
    }
}

} // namespace
} // namespace Vuxo
