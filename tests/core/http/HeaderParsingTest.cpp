#include "core/http/HeaderParsing.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

TEST(FindHeaderEnd, FindsTheSeparatorAlsoWhenSplitAcrossReads) {
    struct Row {
        std::string bytes;
        size_t added;
        int expected;
    };
    const Row rows[] = {
        {"GET / HTTP/1.1\r\n\r\n", 18, 14},
        {"GET / HTTP/1.1\r\n\r\n", 1, 14},  // the last byte completed it
        {"GET / HTTP/1.1\r\n\r\nX", 2, 14}, // split "\r\n\r" | "\nX"
        {"GET / HTTP/1.1\r\n\r", 17, -1},
        {"a\r\n\r\nb\r\n\r\n", 10, 1}, // the first one
        {"\r\n\r\n", 4, 0},
        {"abc", 3, -1},
        {"abc", 4, -1}, // more added than held
        {"", 0, -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FindHeaderEnd(row.bytes.data(), row.bytes.size(), row.added), row.expected) << row.bytes;
    }
    // A header block arriving one byte at a time is found as soon as its separator is complete.
    const std::string block = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    for (size_t filled = 1; filled <= block.size(); ++filled) {
        int end = FindHeaderEnd(block.data(), filled, 1);
        EXPECT_EQ(end, filled == block.size() ? static_cast<int>(block.size()) - 4 : -1) << filled;
    }
}

TEST(FindLineEnd, SearchesOnlyTheLastBytes) {
    const std::string bytes = "ab\r\ncd\r\n";
    EXPECT_EQ(FindLineEnd(bytes.data(), bytes.size(), bytes.size()), 2);
    EXPECT_EQ(FindLineEnd(bytes.data(), bytes.size(), 4), 6);
    EXPECT_EQ(FindLineEnd(bytes.data(), bytes.size(), 1), -1);
    EXPECT_EQ(FindLineEnd(bytes.data(), bytes.size(), 9), -1);
}

TEST(HeaderLine, NameIsTrimmedUpperCaseAndValueTrimmed) {
    EXPECT_EQ(GetHeaderName(" content-Length : 5\r", ":"), "CONTENT-LENGTH");
    EXPECT_EQ(GetHeaderValue(" content-Length : 5\r", ":"), "5");
    EXPECT_EQ(GetHeaderValue("Host: a:80", ":"), "a:80");
    EXPECT_EQ(GetHeaderName("no delimiter", ":"), "");
    EXPECT_EQ(GetHeaderValue("no delimiter", ":"), "");
    EXPECT_EQ(GetHeaderName("X-\xc3\xa4: 1", ":"), "X-\xc3\xa4") << "only ASCII letters change";
}

TEST(RequestHead, SplitsTheRequestLineAndKeepsTheFirstHeader) {
    RequestHead head;
    ParseRequestHead("GET /a%20b/c+d?x=1 HTTP/1.1\r\ncontent-length: 5\r\nContent-Length: 7\r\n"
                     "Host:  example \r\n\r\n  User-Agent: t",
                     head);
    EXPECT_EQ(head.methodWord, "GET");
    EXPECT_EQ(head.uri, "/a%20b/c+d?x=1");
    EXPECT_EQ(head.version, "HTTP/1.1");
    EXPECT_EQ(head.headers.size(), 3u);
    EXPECT_EQ(head.headers["CONTENT-LENGTH"], "5");
    EXPECT_EQ(head.headers["HOST"], "example");
    EXPECT_EQ(head.headers["USER-AGENT"], "t");
}

TEST(RequestHead, MissingWordsAndOddLines) {
    RequestHead onlyGet;
    ParseRequestHead("GET", onlyGet);
    EXPECT_EQ(onlyGet.methodWord, "GET");
    EXPECT_EQ(onlyGet.uri, "");
    EXPECT_EQ(DecodeRequestPath(onlyGet.uri), "");

    RequestHead wrapped; // words run over line ends
    ParseRequestHead("POST\r\n/x\r\nHTTP/1.0\r\nbroken line\r\nA: 1", wrapped);
    EXPECT_EQ(wrapped.uri, "/x");
    EXPECT_EQ(wrapped.version, "HTTP/1.0");
    EXPECT_EQ(wrapped.headers.count(""), 1u);
    EXPECT_EQ(wrapped.headers["A"], "1");
}

TEST(RequestHead, HeadsThatAnotherReaderCouldSplitOtherwiseAreMarked) {
    const struct {
        const char* head;
        bool faulty;
    } rows[] = {
        {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 5", false},
        {"GET / HTTP/1.1 \r\nHost: x:80\r\nA:b\r\nEmpty:", false},
        {"GET / HTTP/1.1\r\nContent-Length : 5", true},  // a blank before the colon
        {"GET / HTTP/1.1\r\nContent-Length\t: 5", true}, // or a tab
        {"GET / HTTP/1.1\r\nX: a\r\n Content-Length: 5", true},
        {"GET / HTTP/1.1\r\nX: a\r\n\tmore", true},
        {"GET / HTTP/1.1\r\n Host: x", true}, // a blank line start before the first field
        {"GET / HTTP/1.1\r\nX: a\nContent-Length: 5", true},
        {"GET / HTTP/1.1\nHost: x", true},
        {"GET / HTTP/1.1\r\nX: a\rContent-Length: 5", true},
        {"GET / HTTP/1.1\r\nX: a\r", true}, // the CR of the closing CR LF CR LF follows: bare
    };
    for (const auto& row : rows) {
        RequestHead head;
        ParseRequestHead(row.head, head);
        EXPECT_EQ(head.fault != nullptr, row.faulty) << row.head;
    }
}

TEST(RequestTarget, OriginFormStaysAbsoluteFormGivesItsPathAndNothingElseNamesAPath) {
    const struct {
        const char* target;
        bool taken;
        const char* origin;
        const char* authority;
    } rows[] = {
        {"/pub/a.txt?x=1", true, "/pub/a.txt?x=1", ""},
        {"/", true, "/", ""},
        {"http://host/pub/a.txt", true, "/pub/a.txt", "host"},
        {"HTTPS://host:8080/pub/?x=1", true, "/pub/?x=1", "host:8080"},
        {"http://host", true, "/", "host"},
        {"http://host?identify", true, "/?identify", "host"},
        {"Xpub/a.txt", false, "", ""},
        {"*", false, "", ""},
        {"http:///pub/a.txt", false, "", ""},
        {"http://user@host/pub/a.txt", false, "", ""},
        {"http:/pub/a.txt", false, "", ""},
    };
    for (const auto& row : rows) {
        std::string target = row.target;
        std::string authority;
        ASSERT_EQ(TakeOriginForm(target, authority), row.taken) << row.target;
        if (row.taken) {
            EXPECT_EQ(target, row.origin) << row.target;
            EXPECT_EQ(authority, row.authority) << row.target;
        }
    }
}

TEST(RequestHead, MethodNumbers) {
    EXPECT_EQ(MethodNumber("GET"), kHttpGet);
    EXPECT_EQ(MethodNumber("POST"), kHttpPost);
    EXPECT_EQ(MethodNumber("get"), kHttpOtherMethod);
    EXPECT_EQ(MethodNumber("HEAD"), kHttpOtherMethod);
    EXPECT_EQ(MethodNumber(""), kHttpOtherMethod);
}

TEST(RequestUri, PathAndQuery) {
    const std::string uri = "/a%20b/c+d?x=1&y=%41&x=2&&z";
    EXPECT_EQ(DecodeRequestPath(uri), "a b/c+d");
    HttpFieldMap query;
    ParseQueryString(uri, query);
    EXPECT_EQ(query, (HttpFieldMap{{"x", "1"}, {"y", "A"}, {"z", ""}}));

    EXPECT_EQ(DecodeRequestPath("?a=1"), "");
    EXPECT_EQ(DecodeRequestPath("/"), "");
    EXPECT_EQ(DecodeRequestPath(""), "");

    HttpFieldMap decoded;
    ParseQueryString("/?a+b=c+d& %20e%20 =%3D&==x&k=v=w&?q", decoded);
    EXPECT_EQ(decoded, (HttpFieldMap{{"a b", "c d"}, {" e ", "="}, {"", "=x"}, {"k", "v=w"}, {"?q", ""}}));

    HttpFieldMap none;
    ParseQueryString("/path/only", none);
    EXPECT_TRUE(none.empty());
}

TEST(FormBody, PiecesNamesAndValues) {
    struct Row {
        std::string body;
        HttpFieldMap expected;
    };
    const Row rows[] = {
        {"a=1&b", {{"a", "1"}, {"b", ""}}},
        {"a=1&a=2", {{"a", "1"}}},
        {"&&x=%41+b&&", {{"x", "A b"}}},
        {"n=", {{"n", ""}}},
        {"  sp  = v ", {{"sp", "v"}}},
        {"last=z\r\n", {{"last", "z"}}},
        {"t=%20\t", {{"t", " "}}},
        {"k=v=w", {{"k", "v=w"}}},
        {"", {}},
    };
    for (const auto& row : rows) {
        HttpFieldMap form;
        ParseFormBody(row.body, form);
        EXPECT_EQ(form, row.expected) << row.body;
    }
}

TEST(MultipartBoundary, FromTheContentTypeValue) {
    EXPECT_EQ(GetMultipartBoundary("multipart/form-data; boundary=----abc"), "----abc");
    EXPECT_EQ(GetMultipartBoundary("multipart/form-data; boundary=\"q b\"; charset=x"), "q b");
    EXPECT_EQ(GetMultipartBoundary("multipart/form-data; BOUNDARY=x ; a=b"), "x");
    EXPECT_EQ(GetMultipartBoundary("multipart/form-data"), "");
    EXPECT_EQ(GetMultipartBoundary("multipart/form-data; boundary="), "");
}

} // namespace
} // namespace Vuxo
