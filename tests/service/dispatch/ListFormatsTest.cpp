#include "service/processors/ListFormats.h"
#include "service/processors/DownloadRequestProcessor.h"
#include "service/processors/ListEntries.h"
#include "service/processors/ListRows.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace Vuxo {
namespace {

TEST(ListFormatsTest, NumbersWithCommas) {
    const struct {
        int64_t number;
        const char* text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1,000"},
        {1234567, "1,234,567"},
        {100000, "100,000"},
        {-1, "-1"},
        {-1234, "-1,234"},
        {INT64_MAX, "9,223,372,036,854,775,807"},
        {INT64_MIN, "-9,223,372,036,854,775,808"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatNumberWithCommas(c.number), c.text) << c.number;
    }
}

TEST(ListFormatsTest, TwelveHourClock) {
    const struct {
        int hour, minute;
        const char* text;
    } cases[] = {
        {0, 0, "2021-03-04 AM 12:00"},   {0, 5, "2021-03-04 AM 12:05"},   {1, 0, "2021-03-04 AM 01:00"},
        {11, 59, "2021-03-04 AM 11:59"}, {12, 30, "2021-03-04 PM 12:30"}, {13, 1, "2021-03-04 PM 01:01"},
        {23, 59, "2021-03-04 PM 11:59"},
    };
    for (const auto& c : cases) {
        std::tm time{};
        time.tm_year = 121;
        time.tm_mon = 2;
        time.tm_mday = 4;
        time.tm_hour = c.hour;
        time.tm_min = c.minute;
        EXPECT_EQ(FormatLocalTime(time), c.text);
    }
    std::tm early{};
    early.tm_year = 5 - 1900;
    early.tm_mon = 11;
    early.tm_mday = 31;
    early.tm_hour = 12;
    EXPECT_EQ(FormatLocalTime(early), "0005-12-31 PM 12:00");
    std::tm late{};
    late.tm_year = 12345 - 1900;
    late.tm_mday = 1;
    EXPECT_EQ(FormatLocalTime(late), "12345-01-01 AM 12:00");
}

TEST(ListFormatsTest, FileTimeInLocalTime) {
    setenv("TZ", "Asia/Seoul", 1);
    tzset();
    // 2021-03-04 15:05 UTC is 2021-03-05 00:05 in Seoul.
    EXPECT_EQ(FormatFileTime(1614870300), "2021-03-05 AM 12:05");
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(FormatFileTime(1614870300), "2021-03-04 PM 03:05");
    // A time beyond what the calendar conversion can hold gives "".
    EXPECT_EQ(FormatFileTime(INT64_MAX), "");
}

std::vector<std::string> Names(const ListEntryList& list) {
    std::vector<std::string> names;
    for (size_t i = 0; i < list.GetCount(); ++i) {
        names.emplace_back(list.GetEntry(i).name);
    }
    return names;
}

TEST(ListEntriesTest, FoldersFirstThenNamesIgnoringCase) {
    ListEntryList list;
    list.AddFile("zebra.txt", 1, 0);
    list.AddFolder("Zoo", 0);
    list.AddFile("Apple.txt", 10, 0);
    list.AddFolder("alpha", 0);
    list.AddFile("apple.TXT", 100, 0);
    list.AddFile("Ärger", 1000, 0);
    list.AddFile("ärger", 1, 0);
    list.AddFile("banana", 2, 0);
    list.AddFile("한글", 3, 0);
    list.AddFile("가나", 4, 0);
    ASSERT_TRUE(list.Sort());
    // Equal names (ignoring case) keep the order in which they were found.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"alpha", "Zoo", "Apple.txt", "apple.TXT", "banana",
                                                     "zebra.txt", "Ärger", "ärger", "가나", "한글"}));
    EXPECT_EQ(list.GetTotalSize(), 1 + 10 + 100 + 1000 + 1 + 2 + 3 + 4);
}

TEST(ListEntriesTest, NamesThatBeginAlikeSortByWhatFollows) {
    // All begin with "scan-2024-", and two differ only past the eight bytes after that.
    ListEntryList list;
    for (const char* name : {"scan-2024-04-01-page-b.png", "scan-2024-04-01-page-A.png", "scan-2024-",
                             "scan-2024-04-01-page-a.png", "scan-2024-03.png"}) {
        list.AddFile(name, 0, 0);
    }
    ASSERT_TRUE(list.Sort());
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"scan-2024-", "scan-2024-03.png", "scan-2024-04-01-page-A.png",
                                        "scan-2024-04-01-page-a.png", "scan-2024-04-01-page-b.png"}));
}

TEST(ListEntriesTest, RowsCarryLinksSizesAndTheFolderMark) {
    ListEntryList list;
    list.AddFolder("my docs", 0);
    list.AddFile("a&b <c>.txt", 1234567, 0);
    list.AddFile("한.txt", 0, 0);
    ListRows rows(list);
    ASSERT_EQ(rows.RowCount(), 3u);
    // One row filled again and again, as a loop does: a file's row keeps nothing of the folder's.
    TemplateRow row;
    const auto value = [&row](const char* name) {
        const auto found = row.find(name);
        return found != row.end() ? found->second : std::string("<none>");
    };
    rows.FillRow(0, row);
    EXPECT_EQ(value("$link"), "my%20docs/");
    EXPECT_EQ(value("$size"), "");
    EXPECT_EQ(value("$is_folder"), "1");
    rows.FillRow(1, row);
    EXPECT_EQ(value("$name"), "a&amp;b &lt;c&gt;.txt");
    EXPECT_EQ(value("$link"), "a%26b%20%3cc%3e.txt");
    EXPECT_EQ(value("$size"), "1,234,567");
    EXPECT_EQ(value("$is_folder"), "<none>");
    rows.FillRow(2, row);
    EXPECT_EQ(value("$link"), "%ed%95%9c.txt");
    EXPECT_EQ(value("$size"), "0");
}

TEST(ListEntriesTest, SortKeyFoldsEveryCasedScript) {
    EXPECT_EQ(MakeSortKey("ABC"), MakeSortKey("abc"));
    EXPECT_EQ(MakeSortKey("ÄÖÜ"), MakeSortKey("äöü"));
    EXPECT_EQ(MakeSortKey("ΣΑΣ"), MakeSortKey("σασ"));
    EXPECT_EQ(MakeSortKey("ПРИВЕТ"), MakeSortKey("привет"));
    EXPECT_NE(MakeSortKey("a"), MakeSortKey("b"));
    EXPECT_EQ(MakeSortKey("Mixed Ä"), "mixed ä");
    // Invalid bytes still give a key (U+FFFD) instead of vanishing.
    EXPECT_EQ(MakeSortKey("\xFF"), "\xEF\xBF\xBD");
    // UTF-8 keys order as their code points do.
    EXPECT_LT(MakeSortKey("z"), MakeSortKey("é"));
    EXPECT_LT(MakeSortKey("\xEF\xBF\xBC"), MakeSortKey("\xF0\x9F\x98\x80"));
}

TEST(ResizeTransferBufferTest, HalfASecondWithinBounds) {
    const struct {
        int64_t speed;
        size_t size;
    } cases[] = {
        {0, 1024},
        {1000, 1024},
        {4096, 2048},
        {100000, 49152},
        {1 << 20, 524288 / 1},
        {10'000'000, 262144},
        {INT64_MAX, 262144},
        {-5, 1024},
    };
    for (const auto& c : cases) {
        std::vector<char> buffer;
        ResizeTransferBuffer(buffer, c.speed);
        EXPECT_EQ(buffer.size(), std::min<size_t>(c.size, 262144)) << c.speed;
        ResizeTransferBuffer(buffer, c.speed, 1 << 20); // an upload's larger bound
        EXPECT_EQ(buffer.size(), c.speed == INT64_MAX || c.speed == 10'000'000 ? size_t{1} << 20 : c.size)
            << c.speed;
    }
}

TEST(ResizeTransferBufferTest, ShrinksOnlyWhenMoreThanTwiceTooLarge) {
    std::vector<char> buffer;
    ResizeTransferBuffer(buffer, 10'000'000);
    ASSERT_EQ(buffer.size(), 262144u);
    // 131072 is half: the storage is kept.
    ResizeTransferBuffer(buffer, 262144);
    EXPECT_EQ(buffer.size(), 131072u);
    EXPECT_GE(buffer.capacity(), 262144u);
    // 65536 is a quarter: the storage is released.
    ResizeTransferBuffer(buffer, 131072);
    EXPECT_EQ(buffer.size(), 65536u);
    EXPECT_LT(buffer.capacity(), 262144u);
}

} // namespace
} // namespace Vuxo
