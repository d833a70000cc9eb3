// The log sink and the day log file: file bytes, the byte-order mark, day changes, levels, the alert
// callback, and many threads at once.
#include "fixtures/support/TempDir.h"
#include "fixtures/support/TextShape.h"

#include "core/log/LogQueue.h"
#include "core/log/Trace.h"
#include "core/text/Utf8.h"
#include "service/config/QuilloConfig.h"
#include "service/server/DayLogFile.h"
#include "service/server/ServerLogSink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

using Fixtures::ReadFile;
using Fixtures::StartsWithShape;
using Fixtures::TempDir;

std::tm Day(int year, int month, int day, int hour = 5, int minute = 6, int second = 7) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

std::vector<LogEntry> Drain(LogQueue& queue) {
    std::vector<LogEntry> entries;
    LogEntry entry;
    while (queue.Pop(entry)) {
        entries.push_back(entry);
    }
    return entries;
}

class ServerLogSinkTest : public ::testing::Test {
protected:
    ServerLogSinkTest() : config(folder.Path()), sink(config, folder.Path(), queue) {
        sink.SetTimeSource([this] { return now; });
    }

    std::string LogFile(const std::tm& day) const {
        return folder.Path("Log/" + DayLogFile::FileNameFor(day));
    }

    TempDir folder;
    QuilloConfig config;
    LogQueue queue;
    ServerLogSink sink;
    std::tm now = Day(2024, 3, 4);
};

TEST_F(ServerLogSinkTest, NewDayFileStartsWithTheMarkAndLinesEndWithCrLf) {
    sink.WriteLog(LOG_NOTICE, u"first");
    sink.WriteLog(LOG_INFO, u"한글 second");
    EXPECT_EQ(DayLogFile::FileNameFor(now), "Corvanta.20240304.log");
    EXPECT_EQ(ReadFile(LogFile(now)),
              "\xEF\xBB\xBF[03/04 05:06:07] first\r\n[03/04 05:06:07] 한글 second\r\n");
}

TEST_F(ServerLogSinkTest, AnExistingFileGetsNoSecondMark) {
    Fixtures::WriteFile(LogFile(now), "\xEF\xBB\xBFold line\r\n");
    sink.WriteLog(LOG_NOTICE, u"new");
    EXPECT_EQ(ReadFile(LogFile(now)), "\xEF\xBB\xBFold line\r\n[03/04 05:06:07] new\r\n");
}

TEST_F(ServerLogSinkTest, ANewDayOpensANewFile) {
    sink.WriteLog(LOG_NOTICE, u"before midnight");
    now = Day(2024, 3, 5, 0, 0, 1);
    sink.WriteLog(LOG_NOTICE, u"after midnight");
    now = Day(2025, 1, 1, 12, 0, 0);
    sink.WriteLog(LOG_NOTICE, u"next year");
    EXPECT_EQ(ReadFile(LogFile(Day(2024, 3, 4))), "\xEF\xBB\xBF[03/04 05:06:07] before midnight\r\n");
    EXPECT_EQ(ReadFile(LogFile(Day(2024, 3, 5))), "\xEF\xBB\xBF[03/05 00:00:01] after midnight\r\n");
    EXPECT_EQ(ReadFile(LogFile(Day(2025, 1, 1))), "\xEF\xBB\xBF[01/01 12:00:00] next year\r\n");
}

TEST_F(ServerLogSinkTest, EntriesWrittenTogetherKeepTheirOrderLevelsAndDays) {
    int calls = 0;
    sink.SetTimeSource([&] { return ++calls == 1 ? Day(2024, 3, 4) : Day(2024, 3, 5, 0, 0, calls); });
    const TraceEntry entries[] = {
        {LOG_INFO, "before midnight"}, {LOG_DEBUG, "view only"}, {LOG_INFO, "after"}, {LOG_ERROR, "later"}};
    sink.WriteEntries(entries, 4);
    EXPECT_EQ(ReadFile(LogFile(Day(2024, 3, 4))), "\xEF\xBB\xBF[03/04 05:06:07] before midnight\r\n");
    EXPECT_EQ(ReadFile(LogFile(Day(2024, 3, 5))),
              "\xEF\xBB\xBF[03/05 00:00:03] after\r\n[03/05 00:00:04] later\r\n");
    const std::vector<LogEntry> shown = Drain(queue);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[1].text, u"[03/05 00:00:02] view only");
}

TEST_F(ServerLogSinkTest, AlertsKeepTheirLineBreaksAsCrLf) {
    sink.WriteLog(LOG_ALERT, u"one\ntwo\r\nthree");
    EXPECT_EQ(ReadFile(LogFile(now)), "\xEF\xBB\xBF[03/04 05:06:07] one\r\ntwo\r\nthree\r\n");
}

TEST_F(ServerLogSinkTest, ControlCharactersOfOtherEntriesAreEscapedSoOneEntryIsOneLine) {
    sink.WriteLog(LOG_INFO, std::string_view("[1.2.3.4] made: x\n[12/09 00:00:00] FORGED\r\t\x7f\x01 한"));
    // C1 and bidirectional controls too, which would make the line read otherwise; "…" and "‧" stay.
    sink.WriteLog(LOG_INFO,
                  std::string_view("evil\u202Etxt.exe \u2066\u2069\u202A \u0085\u009F \u2026\u2027"));
    EXPECT_EQ(
        ReadFile(LogFile(now)),
        "\xEF\xBB\xBF[03/04 05:06:07] [1.2.3.4] made: x%0A[12/09 00:00:00] FORGED%0D%09%7F%01 한\r\n"
        "[03/04 05:06:07] evil%E2%80%AEtxt.exe %E2%81%A6%E2%81%A9%E2%80%AA %C2%85%C2%9F \u2026\u2027\r\n");
    const std::vector<LogEntry> entries = Drain(queue);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text,
              u"[03/04 05:06:07] [1.2.3.4] made: x%0A[12/09 00:00:00] FORGED%0D%09%7F%01 한");
    EXPECT_EQ(entries[1].text,
              u"[03/04 05:06:07] evil%E2%80%AEtxt.exe %E2%81%A6%E2%81%A9%E2%80%AA %C2%85%C2%9F \u2026\u2027");
}

TEST_F(ServerLogSinkTest, LevelsFileQueueAndAlert) {
    std::vector<std::u16string> alerts;
    sink.SetAlertCallback([&](const std::u16string& text) { alerts.push_back(text); });
    sink.WriteLog(LOG_DEBUG, u"trace only");
    sink.WriteLog(LOG_ALERT, u"port busy");
    sink.WriteLog(LOG_ERROR, u"error");

    // Level 1 reaches the log view but never the file.
    EXPECT_EQ(ReadFile(LogFile(now)), "\xEF\xBB\xBF[03/04 05:06:07] port busy\r\n[03/04 05:06:07] error\r\n");
    const std::vector<LogEntry> entries = Drain(queue);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].level, LOG_DEBUG);
    EXPECT_EQ(entries[0].text, u"[03/04 05:06:07] trace only");
    EXPECT_EQ(entries[1].level, LOG_ALERT);
    // Only the alert reaches the callback, without the time prefix.
    EXPECT_EQ(alerts, std::vector<std::u16string>{u"port busy"});

    sink.SetAlertCallback(nullptr);
    sink.WriteLog(LOG_ALERT, u"nobody listens");
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(ServerLogSinkTest, WithWriteLogOffEntriesStillReachTheQueue) {
    config.writeLog = false;
    sink.WriteLog(LOG_NOTICE, u"not written");
    EXPECT_FALSE(std::filesystem::exists(LogFile(now)));
    EXPECT_EQ(Drain(queue).size(), 1u);
}

TEST_F(ServerLogSinkTest, AnUnwritableLogFolderLosesOnlyTheFile) {
    Fixtures::WriteFile(folder.Path("Log"), "a file where the folder should be");
    sink.WriteLog(LOG_NOTICE, u"kept in the view");
    EXPECT_EQ(Drain(queue).size(), 1u);
}

TEST_F(ServerLogSinkTest, TraceEntriesArriveThroughTheInstalledCallback) {
    sink.Install();
    SetTraceMask(0x7ffffffe);
    Trace(LOG_NOTICE, "value %d", 42);
    Trace(LOG_DEBUG, "masked out");
    sink.Uninstall();
    Trace(LOG_NOTICE, "after uninstall");
    EXPECT_EQ(ReadFile(LogFile(now)), "\xEF\xBB\xBF[03/04 05:06:07] value 42\r\n");
}

TEST_F(ServerLogSinkTest, ConcurrentWritersNeverInterleaveLines) {
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) {
                sink.WriteLog(LOG_INFO, Utf8ToWide("thread " + std::to_string(t) + " line " +
                                                   std::to_string(i) + " " + std::string(100, 'x')));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const std::string text = ReadFile(LogFile(now));
    ASSERT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);
    std::istringstream lines(text.substr(3));
    const std::string tail = " " + std::string(100, 'x') + "\r";
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(StartsWithShape(line, "[03/04 05:06:07] thread # line ") && line.size() > tail.size() &&
                    line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            << line;
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST(ServerLogSinkFormatTest, Prefix) {
    EXPECT_EQ(ServerLogSink::FormatPrefix(Day(2024, 12, 31, 23, 59, 58)), "[12/31 23:59:58] ");
    EXPECT_EQ(ServerLogSink::FormatPrefix(Day(2024, 1, 2, 0, 0, 0)), "[01/02 00:00:00] ");
    EXPECT_EQ(DayLogFile::FileNameFor(Day(2024, 1, 2)), "Corvanta.20240102.log");
}

} // namespace
} // namespace Vuxo
