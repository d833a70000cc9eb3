// The reporter's pieces that need no crash: the signal-safe formatter, the os-release parse and the maps
// line parse (the walk over this process's maps is shown by the crash tests' module lists).
#include "core/platform/crash/OsName.h"
#include "core/platform/crash/ProcMaps.h"
#include "core/platform/crash/SignalSafeFormat.h"

#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace Vuxo::Crash {
namespace {

std::string Decimal(uint64_t value, int minDigits) {
    char out[21];
    return std::string(out, FormatDecimal(value, minDigits, out));
}

std::string Hex(uint64_t value, int digits) {
    char out[16];
    return std::string(out, FormatHex(value, digits, out));
}

// What a Utf16Writer wrote, read back from a pipe.
template <typename Write> std::string WrittenBytes(Write write) {
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    {
        Utf16Writer writer(ends[1]);
        write(writer);
    }
    ::close(ends[1]);
    std::string bytes;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(ends[0], buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(ends[0]);
    return bytes;
}

TEST(FormatTest, NumbersAsDecimalAndUpperCaseHexadecimal) {
    EXPECT_EQ(Decimal(0, 1), "0");
    EXPECT_EQ(Decimal(7, 4), "0007");
    EXPECT_EQ(Decimal(2024, 2), "2024");
    EXPECT_EQ(Decimal(UINT64_MAX, 1), "18446744073709551615");
    EXPECT_EQ(Hex(0xC0000005, 8), "C0000005");
    EXPECT_EQ(Hex(0, 16), "0000000000000000");
    EXPECT_EQ(Hex(0x1ABCDEF0123, 4), "0123"); // only the low digits asked for
    EXPECT_EQ(Hex(UINT64_MAX, 99), "FFFFFFFFFFFFFFFF");
}

TEST(FormatTest, FixedTextCutsWhatDoesNotFitAndCanBeCutBack) {
    char buffer[12];
    FixedText text(buffer, sizeof buffer);
    text.Append("ROZ_").Decimal(2024, 4).Append("_").Hex(0xAB, 2);
    EXPECT_STREQ(text.Get(), "ROZ_2024_AB");
    EXPECT_FALSE(text.IsCut());
    text.Append("x");
    EXPECT_STREQ(text.Get(), "ROZ_2024_AB");
    EXPECT_TRUE(text.IsCut());
    text.Truncate(8);
    text.Append("_2");
    EXPECT_STREQ(text.Get(), "ROZ_2024_2");
    EXPECT_FALSE(text.IsCut());
}

TEST(FormatTest, Utf8BecomesUtf16LittleEndianWithReplacementsForBadSequences) {
    const std::string bytes = WrittenBytes([](Utf16Writer& out) {
        out.Raw("\xFF\xFE", 2).Text("A\xea\xb0\x80").Text("\xf0\x9f\x98\x80").Hex(0x1F, 2);
        out.Text("\xc0\xaf");     // overlong "/"
        out.Text("\xed\xa0\x80"); // a surrogate
        out.Text("\xe0\xa0", 2);  // cut short
    });
    const std::string expected("\xFF\xFE"
                               "A\0\x00\xAC"
                               "\x3D\xD8\x00\xDE"
                               "1\0F\0"
                               "\xFD\xFF\xFD\xFF"
                               "\xFD\xFF\xFD\xFF\xFD\xFF"
                               "\xFD\xFF\xFD\xFF",
                               28);
    EXPECT_EQ(bytes, expected);
}

TEST(FormatTest, TheWriterFlushesInPiecesAndRemembersAFailedWrite) {
    const std::string long_text(5000, 'z');
    const std::string bytes = WrittenBytes([&](Utf16Writer& out) { out.Text(long_text.c_str()); });
    ASSERT_EQ(bytes.size(), 10000u);
    EXPECT_EQ(bytes.substr(9998), std::string("z\0", 2));

    Utf16Writer closed(-1);
    closed.Text("lost");
    EXPECT_FALSE(closed.Flush());
}

TEST(FormatTest, TheDistributionNameComesFromOsRelease) {
    EXPECT_EQ(
        ParseOsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
        "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(ParseOsReleaseName("# comment\nNAME=Fedora\nVERSION='39 (Workstation)'\n"),
              "Fedora 39 (Workstation)");
    EXPECT_EQ(ParseOsReleaseName("PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"\r\n"), "Say \"hi\" \\ $HOME");
    EXPECT_EQ(ParseOsReleaseName("NAME=Alpine"), "Alpine");
    EXPECT_EQ(ParseOsReleaseName("PRETTY_NAME=\nNAME=Arch Linux\n"), "Arch Linux");
    EXPECT_EQ(ParseOsReleaseName("garbage without equals\n\n"), "");

    EXPECT_EQ(ComposeOsDisplayName("Debian GNU/Linux 12 (bookworm)", "Linux", "6.1.0-18-amd64", "x86_64"),
              "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64");
    EXPECT_EQ(ComposeOsDisplayName("", "Linux", "6.1", ""), "Linux 6.1");
    EXPECT_EQ(ComposeOsDisplayName("Alpine", "", "", ""), "Alpine");
    EXPECT_EQ(ComposeOsDisplayName("", "", "", ""), "");
    EXPECT_NE(GetOsDisplayName().find("Linux"), std::string::npos);
}

TEST(FormatTest, MapsLinesGiveRangeOffsetRightsAndPath) {
    std::string line = "55d0c3a00000-55d0c3a21000 r-xp 00002000 fd:01 1312   /opt/my app/corvanta (deleted)";
    MapsEntry entry;
    ASSERT_TRUE(ParseMapsLine(line.data(), line.size(), entry));
    EXPECT_EQ(entry.start, 0x55d0c3a00000u);
    EXPECT_EQ(entry.end, 0x55d0c3a21000u);
    EXPECT_EQ(entry.offset, 0x2000u);
    EXPECT_TRUE(entry.executable);
    EXPECT_STREQ(entry.path, "/opt/my app/corvanta (deleted)");

    std::string anonymous = "7ffd1000-7ffd2000 rw-p 00000000 00:00 0 ";
    ASSERT_TRUE(ParseMapsLine(anonymous.data(), anonymous.size(), entry));
    EXPECT_FALSE(entry.executable);
    EXPECT_STREQ(entry.path, "");

    std::string broken = "not a mapping";
    EXPECT_FALSE(ParseMapsLine(broken.data(), broken.size(), entry));
}

} // namespace
} // namespace Vuxo::Crash
