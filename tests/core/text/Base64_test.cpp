#include "core/text/Base64.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

std::string EncodeForTest(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
    }
    return out;
}

TEST(IsBase64Text, FollowsLengthAlphabetAndPadding) {
    const struct {
        std::string text;
        bool expected;
    } cases[] = {
        {"", true},          {"abc", false},   {"ab==", true},  {"abc=", true},   {"a=bc", false},
        {"ab+/", true},      {"ab=c", false},  {"a===", false}, {"ab-_", false},  {"abcd====", false},
        {"ab==abcd", false}, {"ab cd", false}, {"QUJD", true},  {"ab=\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsBase64Text(c.text), c.expected) << c.text;
}

TEST(Base64Decode, DecodesCredentialsAndPadding) {
    EXPECT_EQ(Base64Decode("QWxhZGRpbjpvcGVuIHNlc2FtZQ=="), "Aladdin:open sesame");
    EXPECT_EQ(Base64Decode("dXNlcjrtlZzquIA="), "user:\xED\x95\x9C\xEA\xB8\x80");
    EXPECT_EQ(Base64Decode("QUJDREVGR0hJSj0="), "ABCDEFGHIJ=");
    EXPECT_EQ(Base64Decode("YWJjZGVmZ2g=").size(), 8u); // 12 characters, one "="
    EXPECT_EQ(Base64Decode("YWJjZGVmZw==").size(), 7u); // 12 characters, "=="
    EXPECT_EQ(Base64Decode("AAAA"), std::string(3, '\0'));
    EXPECT_EQ(Base64Decode("not base64!"), "");
    EXPECT_EQ(Base64Decode("abc"), "");
    EXPECT_EQ(Base64Decode(""), "");
}

TEST(Base64Decode, RoundTripsEveryLength) {
    std::string bytes;
    for (int n = 0; n < 40; ++n) {
        const std::string encoded = EncodeForTest(bytes);
        ASSERT_TRUE(IsBase64Text(encoded)) << encoded;
        ASSERT_EQ(Base64Decode(encoded), bytes) << encoded;
        bytes.push_back(static_cast<char>(n * 37 + 200));
    }
}

} // namespace
} // namespace Vuxo
