// The crash reporter in forked children that fail on purpose: each installs it over a temporary folder,
// fails, and must die of the failure's own signal, leaving the report (and the notice's call) behind.
#include "core/platform/crash/CrashReporter.h"

#include "core/text/Utf8.h"
#include "core/thread/AThread.h"
#include "fixtures/support/Sanitizers.h"
#include "fixtures/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Vuxo {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Quillo Corvanta  (Revision 1095)";

std::string SelfPath() {
    return fs::read_symlink("/proc/self/exe").string();
}

// Runs `fail` in a forked child whose working folder is `folder`, with the reporter installed over
// "Error"; the child's wait status.
int FailInChild(const std::string& folder, const std::function<void()>& fail,
                const CrashReporter::Helpers& helpers) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit noCore{0, 0}; // the kernel's own core file is not what is tested here
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (::chdir(folder.c_str()) != 0 || !CrashReporter::Install(kTitle, "Error", "ROZ", helpers)) {
            ::_exit(90);
        }
        fail();
        ::_exit(91);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

// The reports of `folder`/Error in name order.
std::vector<fs::path> Reports(const std::string& folder, const std::string& extension = ".log") {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder + "/Error", error)) {
        if (entry.path().extension() == extension) {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A report's text in UTF-8, after checking that it is UTF-16LE with its byte-order mark.
std::string ReportText(const fs::path& path) {
    const std::string bytes = ReadBytes(path);
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::u16string wide;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return WideToUtf8(wide);
}

// A notice program that writes the argument it got into notice.txt beside itself.
std::string MakeNotice(const std::string& folder) {
    const std::string script = folder + "/notice.sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << folder << "/notice.txt'\n";
    ::chmod(script.c_str(), 0700);
    return script;
}

// What the notice was called with; waits for the orphaned notice to finish (a guard against a hang only).
std::string NoticeArgument(const std::string& folder) {
    const std::string path = folder + "/notice.txt";
    for (int i = 0; i < 3000 && ReadBytes(path).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadBytes(path);
}

// True when `text` at `at` has the shape of `shape`: "#" stands for a decimal digit, "%" for an upper-case
// hexadecimal one, anything else for itself.
bool HasShape(const std::string& text, size_t at, std::string_view shape) {
    if (at == std::string::npos || text.size() - at < shape.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        const char c = text[at + i];
        const bool digit = c >= '0' && c <= '9';
        const bool fits = shape[i] == '#'   ? digit
                          : shape[i] == '%' ? digit || (c >= 'A' && c <= 'F')
                                            : c == shape[i];
        if (!fits) {
            return false;
        }
    }
    return true;
}

// Every line after the modules' heading is "0x<base>  <path>".
void ExpectModuleLines(const std::string& text) {
    const std::string heading = " Modules \r\n" + std::string(39, '-') + "\r\n";
    const size_t start = text.find(heading);
    ASSERT_NE(start, std::string::npos);
    std::string rest = text.substr(start + heading.size());
    ASSERT_FALSE(rest.empty());
    ASSERT_EQ(rest.substr(rest.size() - 2), "\r\n");
    for (size_t end = rest.find("\r\n"); !rest.empty(); end = rest.find("\r\n")) {
        EXPECT_TRUE(HasShape(rest, 0, "0x%%%%%%%%%%%%%%%%  /") && end > 21) << rest.substr(0, end);
        rest.erase(0, end + 2);
    }
}

int* volatile g_nowhere = nullptr;
volatile int g_zero = 0;
volatile int g_ten = 10; // not a constant, so the division is a real one
volatile bool g_never = false;

void WriteNull() {
    *g_nowhere = 1;
}

volatile int g_sink = 0;

void ReadNull() {
    g_sink = *g_nowhere;
}

void DivideByZero() {
    g_sink = g_ten / g_zero;
}

// On a thread of its own, as on a connection thread: nothing up the stack catches it.
void ThrowUncaught() {
    std::thread([] { throw std::runtime_error("disk on fire"); }).join();
}

__attribute__((noinline)) unsigned Recurse(unsigned depth) {
    volatile char frame[512];
    frame[depth % sizeof frame] = 1;
    return g_never ? 0 : Recurse(depth + 1) + frame[0];
}

class OverflowingThread : public AThread {
public:
    ~OverflowingThread() override { Stop(); }
    int Run() override { return static_cast<int>(Recurse(0)); }
};

class CrashReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CrashReporter::IsAvailable()) {
            GTEST_SKIP() << "the sanitizer runtime owns the fault signals in this build";
        }
        ASSERT_FALSE(m_folder.Path().empty());
    }

    std::string Folder() const { return m_folder.Path(); }
    CrashReporter::Helpers Quiet() const { return {MakeNotice(Folder()), ""}; }

    Fixtures::TempDir m_folder{"corvanta-crash"};
};

struct FailureCase {
    const char* name;
    void (*fail)();
    int signal;
    std::vector<std::string> lines;
};

TEST_F(CrashReporterTest, EachFailureLeavesItsReportAndDiesOfItsSignal) {
    const std::string program = fs::path(SelfPath()).filename().string();
    const std::vector<FailureCase> cases = {
        {"null write",
         WriteNull,
         SIGSEGV,
         {"An Access Violation (0xC0000005) in module " + program + " at 0033:",
          "Signal SIGSEGV (11), code SEGV_MAPERR (1)\r\n",
          "The memory at 0x0000000000000000 could not be 'written'\r\n\r\n"}},
        {"null read",
         ReadNull,
         SIGSEGV,
         {"An Access Violation (0xC0000005)", "The memory at 0x0000000000000000 could not be 'read'\r\n"}},
        {"divide by zero",
         DivideByZero,
         SIGFPE,
         {"An Integer Divide by Zero (0xC0000094) in module " + program,
          "Signal SIGFPE (8), code FPE_INTDIV (1)"}},
        {"abort",
         [] { std::abort(); },
         SIGABRT,
         {"an Unknown exception type (0x40000015) in module ", "Signal SIGABRT (6), code SI_TKILL (-6)\r\n"}},
        {"uncaught exception",
         ThrowUncaught,
         SIGABRT,
         {"A Microsoft C++ Exception (0xE06D7363) in module " + program,
          "Exception std::runtime_error: disk on fire\r\n"}},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        const std::string folder = Folder() + "/" + failure.name;
        fs::create_directories(folder);
        const int status = FailInChild(folder, failure.fail, {MakeNotice(folder), ""});
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), failure.signal);

        const auto reports = Reports(folder);
        ASSERT_EQ(reports.size(), 1u);
        const std::string name = reports[0].filename().string();
        EXPECT_TRUE(name.size() == 23 && HasShape(name, 0, "ROZ_########_######.log")) << name;
        EXPECT_EQ(fs::status(reports[0]).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        const std::string text = ReportText(reports[0]);
        const std::string rule(78, '=');
        EXPECT_EQ(text.rfind(rule + "\r\n" + kTitle + "\r\n\r\nTime  ", 0), 0u) << text;
        EXPECT_TRUE(HasShape(text, text.find("\r\nTime  "), "\r\nTime  ####/##/## ##:##:##\r\nPath  "));
        EXPECT_NE(text.find("\r\nPath  " + SelfPath() + "\r\nOS    "), std::string::npos);
        EXPECT_NE(text.find(std::string(39, '-') + "\r\n Summary \r\n"), std::string::npos);
        for (const std::string& line : failure.lines) {
            EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        }
        EXPECT_TRUE(
            HasShape(text, text.find("\r\nRIP    "),
                     "\r\nRIP    0x%%%%%%%%%%%%%%%%        RBP    0x%%%%%%%%%%%%%%%%        SegCs  0x"));
        ExpectModuleLines(text);
        EXPECT_NE(text.find("  " + SelfPath() + "\r\n"), std::string::npos);
        EXPECT_EQ(NoticeArgument(folder), "--crash-notice=" + reports[0].string());
    }
}

TEST_F(CrashReporterTest, TwoRunsFailingInTheSameSecondKeepBothReports) {
    // Both failing processes are forks of one installation, so they share its time and file names.
    const int status = FailInChild(
        Folder(),
        [] {
            for (int run = 0; run < 2; ++run) {
                const pid_t child = ::fork();
                if (child == 0) {
                    WriteNull();
                }
                int status = 0;
                ::waitpid(child, &status, 0);
                if (!WIFSIGNALED(status)) {
                    ::_exit(93);
                }
            }
            ::_exit(0);
        },
        Quiet());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const auto reports = Reports(Folder());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].stem().string() + "_2", reports[1].stem().string());
    EXPECT_NE(ReportText(reports[0]).find("could not be 'written'"), std::string::npos);
    EXPECT_NE(ReportText(reports[1]).find("could not be 'written'"), std::string::npos);
}

TEST_F(CrashReporterTest, TwoThreadsFailingAtOnceWriteOneReport) {
    const int status = FailInChild(
        Folder(),
        [] {
            std::thread other(WriteNull);
            WriteNull();
            other.join();
        },
        Quiet());
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(Reports(Folder()).size(), 1u);
}

TEST_F(CrashReporterTest, AStackOverflowOnAWorkerThreadIsReported) {
    const int status = FailInChild(
        Folder(),
        [] {
            OverflowingThread thread;
            thread.Start();
            for (;;) {
                ::pause();
            }
        },
        Quiet());
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const auto reports = Reports(Folder());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(ReportText(reports[0]).find("A Stack Overflow (0xC00000FD) in module "), std::string::npos);
}

TEST_F(CrashReporterTest, GdbWritesTheDumpBesideTheReport) {
    const CrashReporter::Helpers defaults = CrashReporter::DefaultHelpers();
    if (defaults.debugger.empty()) {
        GTEST_SKIP() << "gdb is not installed, so no dump is made";
    }
    if (Fixtures::kUnderThreadSanitizer) {
        GTEST_SKIP() << "gdb takes longer than the reporter waits to dump ThreadSanitizer's shadow memory";
    }
    std::ifstream scope("/proc/sys/kernel/yama/ptrace_scope");
    int level = 0;
    if (scope >> level && (level >= 3 || (level == 2 && ::geteuid() != 0))) {
        GTEST_SKIP() << "ptrace_scope " << level << " lets no process attach to this one";
    }
    const int status = FailInChild(Folder(), WriteNull, {MakeNotice(Folder()), defaults.debugger});
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const auto reports = Reports(Folder());
    const auto dumps = Reports(Folder(), ".dmp");
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0].stem(), reports[0].stem());
    const std::string core = ReadBytes(dumps[0]);
    ASSERT_GT(core.size(), 64u);
    EXPECT_EQ(core.substr(0, 4), "\x7F"
                                 "ELF");
    EXPECT_EQ(core[16], 4); // ET_CORE
    EXPECT_EQ(fs::status(dumps[0]).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(CrashReporterTest, WithoutAReportTheNoticeStillRunsAndTheProcessDiesOfItsSignal) {
    std::ofstream(Folder() + "/Error") << "a file where the folder should be";
    const int status = FailInChild(Folder(), WriteNull, Quiet());
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(NoticeArgument(Folder()).rfind("--crash-notice=" + Folder() + "/Error/ROZ_", 0), 0u);
}

} // namespace
} // namespace Vuxo
