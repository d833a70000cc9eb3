#include "core/http_headers/HttpAuthorization.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

struct AuthCase {
    const char* header;
    int scheme;
    const char* user;
    const char* password;
};

class HttpAuthorizationParseTest : public ::testing::TestWithParam<AuthCase> {};

TEST_P(HttpAuthorizationParseTest, ReadsSchemeAndCredentials) {
    const AuthCase& c = GetParam();
    const HttpAuthorization auth(c.header);
    EXPECT_EQ(auth.GetScheme(), c.scheme) << c.header;
    EXPECT_EQ(auth.GetUserName(), c.user) << c.header;
    EXPECT_EQ(auth.GetPassword(), c.password) << c.header;
    // Whatever was read, exactly those credentials match when the scheme is Basic and the user is named.
    const bool shouldMatch = c.scheme == HttpAuthorization::kSchemeBasic && std::string(c.user) != "";
    EXPECT_EQ(auth.Check(c.user, c.password), shouldMatch) << c.header;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpAuthorizationParseTest,
    ::testing::Values(
        // A colon inside the password belongs to the password.
        AuthCase{"Basic YWxpY2U6c2U6Y3I6ZXQ=", HttpAuthorization::kSchemeBasic, "alice", "se:cr:et"},
        AuthCase{"basic dXNlcjpwYXNz", HttpAuthorization::kSchemeBasic, "user", "pass"},
        AuthCase{"BaSiC dXNlcjpwYXNz", HttpAuthorization::kSchemeBasic, "user", "pass"},
        AuthCase{"  Basic \t dXNlcjpwYXNz \r\n", HttpAuthorization::kSchemeBasic, "user", "pass"},
        AuthCase{"Basic Ym9iOg==", HttpAuthorization::kSchemeBasic, "bob", ""},
        AuthCase{"Basic 6rmA7LKg7IiYOuu5hOuwgA==", HttpAuthorization::kSchemeBasic, "김철수", "비밀"},
        // No colon, bad Base64 or nothing at all: no credentials.
        AuthCase{"Basic bm9jb2xvbg==", HttpAuthorization::kSchemeNone, "", ""},
        AuthCase{"Basic dXNlcjpwYXNz!", HttpAuthorization::kSchemeNone, "", ""},
        AuthCase{"Basic dXNlcjpwYXN", HttpAuthorization::kSchemeNone, "", ""},
        AuthCase{"Basic", HttpAuthorization::kSchemeNone, "", ""},
        AuthCase{"", HttpAuthorization::kSchemeNone, "", ""},
        // An empty user name is read but never matches.
        AuthCase{"Basic Og==", HttpAuthorization::kSchemeBasic, "", ""},
        AuthCase{"Basic OnNlY3JldA==", HttpAuthorization::kSchemeBasic, "", "secret"},
        // Digest is recognised and never matches; other schemes give nothing.
        AuthCase{"Digest username=\"alice\", realm=\"/\"", HttpAuthorization::kSchemeDigest, "", ""},
        AuthCase{"digest username=\"alice\"", HttpAuthorization::kSchemeDigest, "", ""},
        AuthCase{"Bearer dXNlcjpwYXNz", HttpAuthorization::kSchemeNone, "", ""},
        AuthCase{"Basicx dXNlcjpwYXNz", HttpAuthorization::kSchemeNone, "", ""}));

TEST(HttpAuthorizationTest, ComparesBytesExactly) {
    const HttpAuthorization auth("Basic QWxpY2U6eA==");
    EXPECT_TRUE(auth.Check("Alice", "x"));
    EXPECT_FALSE(auth.Check("alice", "x"));
    EXPECT_FALSE(auth.Check("Alice", "X"));
    EXPECT_FALSE(auth.Check("Alice", "x "));
    EXPECT_FALSE(auth.Check("Alice", ""));
}

TEST(HttpAuthorizationTest, ChallengeTexts) {
    EXPECT_STREQ(GetAuthenticateHeaderName(), "WWW-Authenticate");
    EXPECT_EQ(std::string(GetAuthenticateHeaderName()) + ": " +
                  MakeAuthenticateChallenge("/", HttpAuthorization::kSchemeBasic),
              "WWW-Authenticate: Basic realm=\"/\"");
    EXPECT_EQ(MakeAuthenticateChallenge("/", HttpAuthorization::kSchemeDigest), "Digest realm=\"/\"");
    EXPECT_EQ(MakeAuthenticateChallenge("/", 2), "");
    EXPECT_EQ(MakeAuthenticateChallenge("/", -1), "");
    // The value stays one well-formed header line whatever the realm holds.
    EXPECT_EQ(MakeAuthenticateChallenge("a\"b\\c\r\nX: y", HttpAuthorization::kSchemeBasic),
              "Basic realm=\"a\\\"b\\\\cX: y\"");
}

} // namespace
} // namespace Vuxo
