#include "core/loader/Unzip.h"

#include "TempFolder.h"

#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace Pelk {
namespace {

using Vuxo::ByteBuffer;

struct Member {
    std::string name;
    std::string data;
    int method = Z_DEFLATED; // or 0, stored
    const char* password = nullptr;
};

// Writes the members with minizip's own writer and gives the archive's bytes.
std::string BuildZip(const std::vector<Member>& members) {
    CorvantaTest::TempFolder folder;
    std::string path = folder.Path("archive.zip");
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    for (const Member& m : members) {
        zip_fileinfo info{};
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size()));
        EXPECT_EQ(zipOpenNewFileInZip3_64(zip, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                          m.method, m.method ? Z_DEFAULT_COMPRESSION : 0, 0, -MAX_WBITS, 8,
                                          Z_DEFAULT_STRATEGY, m.password, crc, 0),
                  ZIP_OK);
        zipWriteInFileInZip(zip, m.data.data(), static_cast<unsigned>(m.data.size()));
        zipCloseFileInZip(zip);
    }
    EXPECT_EQ(zipClose(zip, nullptr), ZIP_OK);
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Adds `delta` to the 32-bit field at `offset` of the central-directory record of `name`.
void Patch(std::string& zip, const std::string& name, size_t offset, uint32_t delta) {
    for (size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
        if (zip.compare(at + 46, name.size(), name) == 0) {
            uint32_t value = 0;
            for (int i = 3; i >= 0; --i) {
                value = value << 8 | static_cast<unsigned char>(zip[at + offset + i]);
            }
            value += delta;
            for (int i = 0; i < 4; ++i) {
                zip[at + offset + i] = static_cast<char>(value >> (8 * i));
            }
            return;
        }
    }
    ADD_FAILURE() << "no central record for " << name;
}

// The member's bytes, or "<false>" when extraction failed (which must leave the buffer empty).
std::string Extract(Unzip& archive, const std::string& name) {
    ByteBuffer buffer = {'o', 'l', 'd'};
    if (!archive.ExtractFile(buffer, name)) {
        return buffer.empty() ? "<false>" : "<false, buffer kept>";
    }
    return std::string(buffer.begin(), buffer.end());
}

std::string Noise(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

const std::vector<Member> kMembers = {
    {"index.html", "<html>$title</html>" + std::string(3000, 'x')},
    {"img/logo.gif", std::string("GIF89a\0\x01\xff", 9), 0},
    {"img/sub/deep.txt", "deep"},
    {"empty.txt", ""},
    {"empty-stored.txt", "", 0},
    {"big.bin", Noise(300000)},
    {"스킨/한글.html", "한글"},
};

TEST(Unzip, ReadsNestedStoredDeflatedAndEmptyMembersFromItsOwnCopy) {
    std::string bytes = BuildZip(kMembers);
    Unzip archive;
    ASSERT_TRUE(archive.OpenFromMemory(bytes.data(), bytes.size()));
    std::string(bytes.size(), '\0').swap(bytes);
    for (const Member& m : kMembers) {
        EXPECT_EQ(Extract(archive, m.name), m.data) << m.name;
    }
    ByteBuffer again;
    ASSERT_TRUE(Vuxo::LoadZipMember(again, "img/sub/deep.txt", archive));
    EXPECT_EQ(std::string(again.begin(), again.end()), "deep");
}

TEST(Unzip, NamesUseSlashesAndMatchExactly) {
    std::string zip = BuildZip({{"img/a.gif", "a"},
                                {"win\\dir\\file.txt", "windows"},
                                {"/abs.txt", "absolute"},
                                {"dup.txt", "first"},
                                {"dup.txt", "second"},
                                {"secret.txt", "top secret", Z_DEFLATED, "password"}});
    Unzip archive;
    ASSERT_TRUE(archive.OpenFromMemory(zip.data(), zip.size()));
    EXPECT_EQ(Extract(archive, "win/dir/file.txt"), "windows");
    EXPECT_EQ(Extract(archive, "abs.txt"), "absolute");
    EXPECT_EQ(Extract(archive, "dup.txt"), "first");
    EXPECT_EQ(Extract(archive, "secret.txt"), "<false>"); // never the encrypted bytes
    for (const char* name : {"IMG/a.gif", "img\\a.gif", "/img/a.gif", "img/", "img", "", "img/x/../a.gif"}) {
        EXPECT_EQ(Extract(archive, name), "<false>") << name;
    }
}

TEST(Unzip, RefusesWhatIsNotAnArchiveAndClosesThePreviousOne) {
    std::string good = BuildZip(kMembers);
    std::string fakeEnd =
        Noise(4096) + std::string("PK\x05\x06\0\0\0\0\x05\0\x05\0\xff\xff\0\0\0\x10\0\0\0\0", 22);
    for (const std::string& bytes : {std::string(), std::string("not a zip"), Noise(4096),
                                     good.substr(0, good.size() / 2), good.substr(0, 100), fakeEnd}) {
        Unzip archive;
        ASSERT_TRUE(archive.OpenFromMemory(good.data(), good.size()));
        EXPECT_FALSE(archive.OpenFromMemory(bytes.data(), bytes.size())) << bytes.size();
        EXPECT_FALSE(archive.IsOpen());
        EXPECT_EQ(Extract(archive, "index.html"), "<false>");
    }
    Unzip archive;
    EXPECT_FALSE(archive.OpenFromMemory(nullptr, 10));
    EXPECT_EQ(Extract(archive, "index.html"), "<false>");
}

TEST(Unzip, ArchiveWithoutMembersOpens) {
    std::string empty = BuildZip({});
    ASSERT_EQ(empty.size(), 22u);
    std::string commented = empty;
    commented[20] = 3;
    std::string claimsMembers = empty;
    claimsMembers[8] = claimsMembers[10] = 1;
    for (const auto& [bytes, opens] : std::vector<std::pair<std::string, bool>>{
             {empty, true}, {commented + "abc", true}, {claimsMembers, false}, {empty + "x", false}}) {
        Unzip archive;
        EXPECT_EQ(archive.OpenFromMemory(bytes.data(), bytes.size()), opens) << bytes.size();
        EXPECT_EQ(Extract(archive, "anything"), "<false>");
    }
}

TEST(Unzip, DamagedMembersFailWithoutPartialData) {
    const std::string stored = "STORED-PAYLOAD-" + std::string(200, 's');
    const std::string original =
        BuildZip({{"stored.txt", stored, 0}, {"deflated.txt", std::string(5000, 'd')}});
    struct Damage {
        const char* member;
        size_t field; // 16 CRC, 24 uncompressed size
        uint32_t delta;
    };
    const Damage damages[] = {{"deflated.txt", 16, 0x5a5a}, {"stored.txt", 24, 10},
                              {"stored.txt", 24, ~0u},      {"deflated.txt", 24, 1000},
                              {"deflated.txt", 24, ~3u},    {"stored.txt", 0, 0}};
    for (const Damage& d : damages) {
        std::string zip = original;
        if (d.field == 0) {
            zip[zip.find(stored) + 20] ^= 1; // a flipped data byte
        } else {
            Patch(zip, d.member, d.field, d.delta);
        }
        Unzip archive;
        ASSERT_TRUE(archive.OpenFromMemory(zip.data(), zip.size()));
        EXPECT_EQ(Extract(archive, d.member), "<false>")
            << d.member << " field " << d.field << " + " << d.delta;
    }
}

} // namespace
} // namespace Pelk
