#include "core/http/MultipartReader.h"
#include "core/net/SocketError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace Vuxo {
namespace {

// Hands out a body in random segment sizes, as a connection would; past its end it fails like a closed
// connection.
class SegmentedSource : public MultipartSource {
public:
    SegmentedSource(std::string body, size_t maxSegment, unsigned seed)
        : m_body(std::move(body)), m_maxSegment(maxSegment), m_rng(seed) {}

    size_t ReceiveBody(char* buffer, size_t capacity) override {
        if (m_pos >= m_body.size()) {
            throw socket_exception("Connection closed");
        }
        std::uniform_int_distribution<size_t> segment(1, m_maxSegment);
        size_t n = std::min({capacity, m_body.size() - m_pos, segment(m_rng)});
        std::copy_n(m_body.data() + m_pos, n, buffer);
        m_pos += n;
        return n;
    }

    size_t Position() const { return m_pos; }

private:
    std::string m_body;
    size_t m_pos = 0;
    size_t m_maxSegment;
    std::mt19937 m_rng;
};

struct Part {
    std::string name;
    std::string fileName; // "" for a plain field
    std::string data;
    std::string extraHeaders;
};

std::string BuildBody(const std::string& boundary, const std::vector<Part>& parts,
                      const std::string& preamble = "", const std::string& epilogue = "\r\n") {
    std::string body = preamble;
    for (const auto& p : parts) {
        body += (body.empty() ? "" : "\r\n") + ("--" + boundary) + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + p.name + "\"";
        if (!p.fileName.empty()) {
            body += "; filename=\"" + p.fileName + "\"\r\nContent-Type: application/octet-stream";
        }
        body += "\r\n" + p.extraHeaders + "\r\n" + p.data;
    }
    return body + "\r\n--" + boundary + "--" + epilogue;
}

// Sets a reader up the way the request parser does: the header's "\r\n" plus `early` body bytes arrive
// with the header block, the source holds the rest.
struct Upload {
    MultipartReader reader;
    SegmentedSource source;

    Upload(const std::string& boundary, const std::string& body, size_t early, size_t maxSegment,
           unsigned seed, int64_t contentLength = -1)
        : source(body.substr(std::min(early, body.size())), maxSegment, seed) {
        early = std::min(early, body.size());
        reader.Setup(boundary, "\r\n" + body.substr(0, early),
                     contentLength < 0 ? static_cast<int64_t>(body.size()) : contentLength);
    }

    // Reads the current part whole in pieces of random capacity; the last result in `end`.
    std::string ReadPart(std::mt19937& rng, size_t maxCapacity, int& end) {
        std::string data;
        std::vector<char> buffer(maxCapacity);
        std::uniform_int_distribution<size_t> capacity(1, maxCapacity);
        for (;;) {
            int n = reader.ReadPartData(source, buffer.data(), capacity(rng));
            EXPECT_LE(reader.GetHeldCount(),
                      maxCapacity + reader.GetDelimiter().size() + MultipartReader::kReceiveChunk);
            if (n <= 0) {
                end = n;
                return data;
            }
            data.append(buffer.data(), static_cast<size_t>(n));
        }
    }
};

// Data that looks like a delimiter in every way but one.
std::string TrickyData(std::mt19937& rng, const std::string& boundary, size_t length) {
    const std::string pieces[] = {"--" + boundary,
                                  "\r\n--" + boundary.substr(0, boundary.size() - 1),
                                  "\r\n-",
                                  "\r\n--",
                                  "\r\n",
                                  "\n--" + boundary,
                                  "-",
                                  std::string(1, '\0')};
    std::string data;
    std::uniform_int_distribution<int> kind(0, 11);
    std::uniform_int_distribution<int> byte(0, 255);
    while (data.size() < length) {
        int k = kind(rng);
        if (k < 8) {
            data += pieces[k];
        } else {
            data.push_back(static_cast<char>(byte(rng)));
        }
    }
    // Pieces in a row may spell the real delimiter: break each such spot.
    const std::string delimiter = "\r\n--" + boundary;
    for (size_t at; (at = data.find(delimiter)) != std::string::npos;) {
        data[at + 2] = 'X';
    }
    return data;
}

TEST(MultipartReader, EveryPartComesOutByteForByteWhateverTheSegmentSizes) {
    const std::string boundary = "----WebKitFormBoundary7MA4YWxkTrZu0gW";
    const size_t segmentSizes[] = {1, 2, 3, 5, 17, 64, 1000, 70000};
    const size_t capacities[] = {1, 7, 4096, 300000};
    unsigned seed = 1;
    for (size_t segment : segmentSizes) {
        for (size_t capacity : capacities) {
            std::mt19937 rng(++seed);
            std::vector<Part> parts = {
                {"field", "", "plain value", ""},
                {"up", "C:\\Documents and Settings\\me\\a.txt", TrickyData(rng, boundary, 20000), ""},
                {"empty", "e.bin", "", ""},
                {"tail", "/home/me/b.bin", TrickyData(rng, boundary, 3000) + "\r\n--" + boundary.substr(0, 5),
                 ""},
            };
            // A preamble and an epilogue that mention the boundary, but never after a line end.
            const std::string body =
                BuildBody(boundary, parts, "preamble --" + boundary, "\r\nepilogue\r\n--" + boundary);
            std::uniform_int_distribution<size_t> early(0, 200);
            Upload upload(boundary, body, early(rng), segment, seed);
            for (const auto& expected : parts) {
                ASSERT_EQ(upload.reader.NextPart(upload.source), expected.name) << segment << "/" << capacity;
                EXPECT_EQ(upload.reader.GetPartName(), expected.name);
                std::string bare = expected.fileName.substr(expected.fileName.find_last_of("\\/") + 1);
                EXPECT_EQ(upload.reader.GetPartFileName(), expected.fileName.empty() ? "" : bare);
                int end = 99;
                std::string data = upload.ReadPart(rng, capacity, end);
                EXPECT_EQ(end, 0);
                ASSERT_EQ(data.size(), expected.data.size())
                    << expected.name << " " << segment << "/" << capacity;
                EXPECT_TRUE(data == expected.data) << expected.name;
            }
            EXPECT_EQ(upload.reader.NextPart(upload.source), "");
            EXPECT_EQ(upload.reader.NextPart(upload.source), "");
            EXPECT_LT(upload.reader.ReadPartData(upload.source, nullptr, 0), 0);
        }
    }
}

TEST(MultipartReader, FindBoundarySeesPastNearMissesAtEveryAlignment) {
    const std::string boundary = "----WebKitFormBoundary7MA4YWxkTrZu0gW";
    const std::string delimiter = "\r\n--" + boundary;
    // First and last byte right, one byte between them wrong.
    std::string nearMiss = delimiter;
    nearMiss[delimiter.size() / 2] ^= 1;
    for (size_t at = 0; at < 150; ++at) {
        for (size_t after = 0; after < 20; after += 19) {
            // Before the near miss, more near misses cut at `at` bytes.
            std::string held = (nearMiss + nearMiss + nearMiss + nearMiss).substr(0, at);
            held += nearMiss + delimiter + std::string(after, '-');
            MultipartReader reader;
            reader.Setup(boundary, held, static_cast<int64_t>(held.size()));
            EXPECT_EQ(reader.FindBoundary(), static_cast<int>(at + nearMiss.size())) << at << "/" << after;
            reader.Setup(boundary, held.substr(0, held.size() - after - 1), 1 << 20);
            EXPECT_EQ(reader.FindBoundary(), -1) << at; // cut one byte short of the end
        }
    }
}

TEST(MultipartReader, NextPartSkipsUnreadDataAndStripsClientFolders) {
    const std::vector<Part> parts = {
        {"a", "", std::string(100000, 'z'), ""},
        {"w", "C:\\x\\y\\win.txt", "1", ""},
        {"u", "/u/v/unix.txt", "2", ""},
        {"m", "dir/sub\\mixed.txt", "3", ""},
    };
    const std::string body = BuildBody("XyZ", parts);
    Upload upload("XyZ", body, 0, 4096, 3);
    EXPECT_EQ(upload.reader.NextPart(upload.source), "a");
    EXPECT_EQ(upload.reader.NextPart(upload.source), "w");
    EXPECT_EQ(upload.reader.GetPartFileName(), "win.txt");
    EXPECT_EQ(upload.reader.NextPart(upload.source), "u");
    EXPECT_EQ(upload.reader.GetPartFileName(), "unix.txt");
    EXPECT_EQ(upload.reader.NextPart(upload.source), "m");
    EXPECT_EQ(upload.reader.GetPartFileName(), "mixed.txt");
    EXPECT_EQ(upload.reader.NextPart(upload.source), "");
}

TEST(MultipartReader, ContentDispositionParameters) {
    struct Row {
        std::string headers;
        std::string name;
        std::string fileName;
    };
    const Row rows[] = {
        {"Content-Disposition: form-data; name=\"up\"; filename=\"C:\\t\\a.txt\"", "up", "a.txt"},
        {"content-disposition:form-data;NAME=plain;FileName=b.txt", "plain", "b.txt"},
        {"Content-Disposition: form-data; name=\"first\"; name=\"second\"", "first", ""},
        {"Content-Disposition: form-data; name=\"a;b=c\"", "a;b=c", ""},
        {"Content-Type: text/plain\r\nContent-Disposition: form-data; name=\"late\"", "late", ""},
        {"Content-Disposition: form-data; filename=\"only.txt\"", "", "only.txt"},
        {"Content-Type: text/plain", "", ""},
        {"Content-Disposition: form-data; name=\"unclosed", "", ""},
    };
    for (const auto& row : rows) {
        std::string body = "--q\r\n" + row.headers + "\r\n\r\ndata\r\n--q--\r\n";
        Upload upload("q", body, 5, 3, 11);
        EXPECT_EQ(upload.reader.NextPart(upload.source), row.name) << row.headers;
        EXPECT_EQ(upload.reader.GetPartFileName(), row.fileName) << row.headers;
    }
}

TEST(MultipartReader, APartWithoutNameLooksLikeTheEndButLaterPartsStayReachable) {
    std::string body = "--q\r\nContent-Type: text/plain\r\n\r\nanon\r\n--q\r\n"
                       "Content-Disposition: form-data; name=\"n\"\r\n\r\nv\r\n--q--";
    Upload upload("q", body, 0, 9, 5);
    EXPECT_EQ(upload.reader.NextPart(upload.source), "");
    char buffer[8];
    EXPECT_LT(upload.reader.ReadPartData(upload.source, buffer, sizeof buffer), 0);
    EXPECT_EQ(upload.reader.NextPart(upload.source), "n");
}

TEST(MultipartReader, EmptyOrMissingBodyHasNoParts) {
    for (int64_t length : {int64_t{0}, int64_t{-5}}) {
        MultipartReader reader;
        SegmentedSource source("", 1, 1);
        reader.Setup("b", "\r\n", length);
        EXPECT_TRUE(reader.IsBodyComplete());
        EXPECT_EQ(reader.NextPart(source), "");
        char c;
        EXPECT_LT(reader.ReadPartData(source, &c, 1), 0);
        EXPECT_EQ(reader.Drain(source), 0);
    }
    MultipartReader noBoundary;
    SegmentedSource source("--\r\n", 1, 1);
    noBoundary.Setup("", "\r\n", 4);
    EXPECT_FALSE(noBoundary.IsActive());
    EXPECT_EQ(noBoundary.NextPart(source), "");
    EXPECT_EQ(noBoundary.Drain(source), 4) << "the body is still drained";
}

TEST(MultipartReader, ACutUploadNeverLooksFinished) {
    const std::string boundary = "cut";
    std::mt19937 rng(99);
    const std::string data = TrickyData(rng, boundary, 5000);
    const std::string body = BuildBody(boundary, {{"f", "f.bin", data, ""}});
    const size_t dataStart = body.find("\r\n\r\n") + 4;
    const size_t dataEnd = dataStart + data.size();
    // The announced length stops inside the data, at its very end, and inside the delimiter.
    for (size_t cut : {dataStart, dataStart + 1, dataStart + 100, dataEnd - 1, dataEnd, dataEnd + 1,
                       dataEnd + 3, dataEnd + 2 + 2 + boundary.size() - 1}) {
        for (size_t segment : {size_t{1}, size_t{13}, size_t{100000}}) {
            Upload upload(boundary, body.substr(0, cut), 0, segment, static_cast<unsigned>(cut));
            ASSERT_EQ(upload.reader.NextPart(upload.source), "f");
            int end = 0;
            std::string got = upload.ReadPart(rng, 333, end);
            EXPECT_LT(end, 0) << "cut at " << cut << ", segment " << segment;
            EXPECT_EQ(got, data.substr(0, got.size()));
            EXPECT_TRUE(upload.reader.IsBodyComplete());
        }
    }
}

TEST(MultipartReader, AConnectionThatEndsEarlyThrows) {
    const std::string body = BuildBody("e", {{"f", "f.bin", std::string(5000, 'd'), ""}});
    Upload upload("e", body.substr(0, 3000), 0, 100, 4, static_cast<int64_t>(body.size()));
    ASSERT_EQ(upload.reader.NextPart(upload.source), "f");
    std::mt19937 rng(4);
    int end = 0;
    EXPECT_THROW(upload.ReadPart(rng, 1000, end), socket_exception);
}

TEST(MultipartReader, OverlongPartHeaderEndsTheParts) {
    std::string body = "--h\r\nContent-Disposition: form-data; name=\"x\"\r\nX-Pad: " +
                       std::string(MultipartReader::kMaxPartHeader + 10, 'p') + "\r\n\r\ndata\r\n--h--";
    Upload upload("h", body, 0, 50000, 8);
    EXPECT_EQ(upload.reader.NextPart(upload.source), "");
    EXPECT_LE(upload.reader.GetHeldCount(), MultipartReader::kMaxPartHeader + MultipartReader::kReceiveChunk);
}

TEST(MultipartReader, TakesNoByteBeyondTheAnnouncedLength) {
    const std::string body = BuildBody("L", {{"f", "", "abc", ""}});
    MultipartReader reader;
    reader.Setup("L", "\r\n" + body + "GET / HTTP/1.1\r\n\r\n", static_cast<int64_t>(body.size()));
    EXPECT_EQ(reader.GetReceived(), static_cast<int64_t>(body.size()) + 2);
    EXPECT_EQ(reader.GetExpected(), static_cast<int64_t>(body.size()) + 2);

    // Announced shorter than sent: reading stops at the announced length.
    SegmentedSource source(body, 7, 3);
    MultipartReader shorter;
    shorter.Setup("L", "\r\n", 10);
    EXPECT_EQ(shorter.NextPart(source), "");
    EXPECT_EQ(source.Position(), 10u);
}

} // namespace
} // namespace Vuxo
