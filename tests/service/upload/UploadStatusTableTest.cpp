// The upload-status table on a clock of the test's own, and the texts the progress page makes of it.
#include "service/upload/UploadStatusTable.h"
#include "core/text/TextEscaping.h"
#include "core/transfer/Clock.h"
#include "service/upload/UploadStatusFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

class UploadStatusTableTest : public ::testing::Test {
protected:
    UploadStatusEntry Get(const std::string& key) {
        UploadStatusEntry entry;
        EXPECT_TRUE(table.Find(key, entry)) << key;
        return entry;
    }

    ManualClock clock{500000};
    UploadStatusTable table{clock};
};

TEST_F(UploadStatusTableTest, AnUploadMovesFromRunningToItsEnd) {
    table.Start("[k]", "a.txt", 5000);
    clock.AdvanceMs(700);
    table.Progress("[k]", 1200);
    UploadStatusEntry entry = Get("[k]");
    EXPECT_EQ(entry.state, UploadStatusEntry::kRunning);
    EXPECT_EQ(entry.fileName, "a.txt");
    EXPECT_EQ(entry.total, 5000);
    EXPECT_EQ(entry.received, 1200);
    EXPECT_EQ(entry.startTick, 500000);
    EXPECT_EQ(entry.lastUpdate, 500700);

    clock.AdvanceMs(100);
    table.Finish("[k]", true);
    EXPECT_EQ(Get("[k]").state, UploadStatusEntry::kFinished);
    EXPECT_EQ(Get("[k]").lastUpdate, 500800);
    table.Finish("[k]", false);
    EXPECT_EQ(Get("[k]").state, UploadStatusEntry::kFailed);

    // Starting again under the same key keeps the entry's start.
    clock.AdvanceMs(100);
    table.Start("[k]", "b.txt", 10);
    EXPECT_EQ(Get("[k]").startTick, 500000);
    EXPECT_EQ(Get("[k]").received, 0);
    EXPECT_EQ(Get("[k]").state, UploadStatusEntry::kRunning);
}

TEST_F(UploadStatusTableTest, AnUpdateOfAnUnknownKeyMakesAnEmptyEntry) {
    UploadStatusEntry entry;
    EXPECT_FALSE(table.Find("[x]", entry));
    table.Progress("[x]", 42);
    entry = Get("[x]");
    EXPECT_EQ(entry.fileName, "");
    EXPECT_EQ(entry.total, 0);
    EXPECT_EQ(entry.received, 42);
    EXPECT_EQ(entry.startTick, clock.NowMs());
}

TEST_F(UploadStatusTableTest, EntriesOlderThanAMinuteArePurged) {
    table.Start("[old]", "old", 1);
    clock.AdvanceMs(30000);
    table.Start("[young]", "young", 1);
    clock.AdvanceMs(30000); // [old] is exactly 60 s old: not yet stale
    table.PurgeStale();
    EXPECT_EQ(table.GetCount(), 2u);
    clock.AdvanceMs(1);
    table.PurgeStale();
    UploadStatusEntry entry;
    EXPECT_FALSE(table.Find("[old]", entry));
    EXPECT_TRUE(table.Find("[young]", entry));
}

TEST_F(UploadStatusTableTest, ANewUploadPurgesStaleEntries) {
    table.Start("[a]", "a", 1);
    table.Finish("[a]", true);
    clock.AdvanceMs(61000);
    table.Start("[b]", "b", 1);
    UploadStatusEntry entry;
    EXPECT_FALSE(table.Find("[a]", entry));
    EXPECT_EQ(table.GetCount(), 1u);
}

TEST(UploadStatusRulesTest, StalenessAndWaiting) {
    UploadStatusEntry entry;
    entry.lastUpdate = 1000;
    EXPECT_FALSE(IsUploadStatusStale(entry, 61000));
    EXPECT_TRUE(IsUploadStatusStale(entry, 61001));
    EXPECT_EQ(UploadStatusWaitMs(entry), 3000);
    entry.state = UploadStatusEntry::kFinished;
    EXPECT_EQ(UploadStatusWaitMs(entry), 0);
    entry.state = UploadStatusEntry::kFailed;
    EXPECT_EQ(UploadStatusWaitMs(entry), 0);
}

TEST_F(UploadStatusTableTest, HalfOfTwoThousandKilobytesInTenSeconds) {
    table.Start("[k]", "movie.avi", 2000 * 1024);
    clock.AdvanceMs(10000);
    table.Progress("[k]", 1000 * 1024);
    const UploadStatusEntry entry = Get("[k]");
    const std::string html = FormatUploadProgressHtml(entry);
    EXPECT_EQ(html,
              "<b>movie.avi</b><br/>1,000 KB / 2,000 KB &nbsp;(50.0%) &nbsp;100 KB/s &nbsp;  0:00:10 남음");
    EXPECT_EQ(FormatUploadProgressPercent(entry), "50");
}

TEST(UploadStatusFormatTest, RunningTexts) {
    UploadStatusEntry entry;
    entry.fileName = "big.iso";
    entry.startTick = 0;
    entry.total = 3LL * 1024 * 1024 * 1024;
    entry.received = 1024 * 1024;
    entry.lastUpdate = 0; // no time passed yet: counted as one second
    EXPECT_NE(FormatUploadProgressHtml(entry).find("1,024 KB / 3,145,728 KB"), std::string::npos);
    EXPECT_NE(FormatUploadProgressHtml(entry).find("1,024 KB/s"), std::string::npos);
    // (3,145,728 - 1,024) KB at 1,024 KB/s: 3,071 s = 0:51:11.
    EXPECT_NE(FormatUploadProgressHtml(entry).find("  0:51:11"), std::string::npos);
    EXPECT_EQ(FormatUploadProgressPercent(entry), "0.0325521");

    entry.total = 8;
    entry.received = 3;
    EXPECT_EQ(FormatUploadProgressPercent(entry), "37.5");
    entry.total = 3;
    entry.received = 1;
    EXPECT_EQ(FormatUploadProgressPercent(entry), "33.3333");
    entry.received = 3;
    EXPECT_EQ(FormatUploadProgressPercent(entry), "100");
    // Nothing received yet: the speed is shown as 1 KB/s rather than dividing by zero.
    entry.received = 0;
    entry.total = 10 * 1024;
    entry.lastUpdate = 5000;
    EXPECT_NE(FormatUploadProgressHtml(entry).find("&nbsp;1 KB/s &nbsp;  0:00:10"), std::string::npos);
}

TEST(UploadStatusFormatTest, WithoutATotalOnlyTheName) {
    UploadStatusEntry entry;
    entry.fileName = "a.txt";
    entry.received = 500;
    EXPECT_EQ(FormatUploadProgressHtml(entry), "<b>a.txt</b><br/>");
    EXPECT_EQ(FormatUploadProgressPercent(entry), "0");
}

TEST(UploadStatusFormatTest, EndTexts) {
    UploadStatusEntry entry;
    entry.fileName = "a.txt";
    entry.total = 100;
    entry.received = 100;
    entry.state = UploadStatusEntry::kFinished;
    EXPECT_EQ(FormatUploadProgressHtml(entry),
              "<b>a.txt</b><br/>업로드가 끝났습니다. <a href=\"#\" "
              "onClick=\"if(opener)opener.location.reload();self.close();\">[확인]</a>");
    EXPECT_EQ(FormatUploadProgressPercent(entry), "0");
    entry.state = UploadStatusEntry::kFailed;
    EXPECT_EQ(FormatUploadProgressHtml(entry), "<b>a.txt</b><br/>업로드가 실패했습니다.");
}

TEST(UploadStatusFormatTest, TheClientsNameIsEscapedForTheHtmlAndTheScript) {
    UploadStatusEntry entry;
    entry.fileName = "<img src=x onerror=alert(1)>'&\".txt";
    const std::string html = FormatUploadProgressHtml(entry);
    EXPECT_EQ(html, "<b>&lt;img src=x onerror=alert(1)&gt;&#39;&amp;&quot;.txt</b><br/>");

    const struct {
        std::string text;
        std::string escaped;
    } cases[] = {
        {"it's", "it\\'s"},
        {"back\\slash", "back\\\\slash"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"line\r\nbreak", "line\\r\\nbreak"},
        {"</script><script>alert(1)</script>", "\\x3C/script>\\x3Cscript>alert(1)\\x3C/script>"},
        {std::string("tab\tnul\0", 8), "tab\\x09nul\\x00"},
        {"\xE2\x80\xA8sep\xE2\x80\xA9", "\\u2028sep\\u2029"},
        {"\xED\x95\x9C\xE2\x80\xA6", "\xED\x95\x9C\xE2\x80\xA6"}, // other UTF-8 passes unchanged
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeScriptString(c.text, ScriptString::SingleQuoted), c.escaped) << c.text;
    }
}

TEST(UploadStatusFormatTest, ScriptBlock) {
    EXPECT_EQ(MakeUploadStatusScript("<b>it's</b>", "37.5"),
              "\n\n<script type='text/javascript' "
              "language='JavaScript'>parent.onUpdateUpload('\\x3Cb>it\\'s\\x3C/b>');"
              "\nparent.onUpdateProgress(37.5);\n</script>\n");
}

} // namespace
} // namespace Vuxo
