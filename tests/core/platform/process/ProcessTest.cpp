// Child processes over real programs (/bin/true, sleep, cat, sh, yes): start failures, the end of a child,
// both pipes full at once, a child that only prints, output written just before exit, reaping, and the
// child's signal state.
#include "core/platform/process/Process.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>

namespace Vuxo {
namespace {

// Everything the child prints until it ends; the last result of Read.
int ReadToEnd(Process& process, std::string& text) {
    char buffer[4096];
    for (;;) {
        size_t got = 0;
        const int result = process.Read(buffer, sizeof buffer, got, 1000);
        text.append(buffer, got);
        if (result != Process::kOk) {
            return result;
        }
    }
}

// The hexadecimal mask of a "Sig...:" line of /proc/<pid>/status as the child printed it.
unsigned long long StatusMask(const std::string& status, const std::string& name) {
    std::istringstream lines(status);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::stoull(line.substr(name.size() + 1), nullptr, 16);
        }
    }
    ADD_FAILURE() << name << " missing in " << status;
    return ~0ULL;
}

TEST(ProcessTest, AProgramThatCannotBeStartedThrows) {
    try {
        Process process({"/nonexistent/corvanta-no-such-program"});
        FAIL() << "started";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "failed to execute a process");
    }
    EXPECT_THROW(Process({}), std::runtime_error);
    EXPECT_THROW(Process({"true"}, "/nonexistent/folder"), std::runtime_error);
}

TEST(ProcessTest, AChildThatPrintsNothingEndsAndThenRefusesInput) {
    Process process({"/bin/true"});
    std::string text;
    EXPECT_EQ(ReadToEnd(process, text), Process::kEnded);
    EXPECT_EQ(text, "");
    EXPECT_EQ(process.Write("", 0), Process::kOk);
    // Nobody reads the input any more: a failure, not a SIGPIPE that ends this test program.
    EXPECT_EQ(process.Write("late", 4), Process::kFailed);
}

TEST(ProcessTest, ASilentRunningChildReadsNothingAtOnce) {
    Process process({"sleep", "100"});
    char buffer[16];
    size_t got = 99;
    EXPECT_EQ(process.Read(buffer, sizeof buffer, got), Process::kOk);
    EXPECT_EQ(got, 0u);
}

TEST(ProcessTest, CatRoundTripsAMebibyteWithBothPipesFull) {
    std::string data(1 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>((i * 7919) >> 3);
    }
    Process process({"cat"});
    ASSERT_EQ(process.Write(data.data(), data.size()), Process::kOk);
    process.CloseInput();
    EXPECT_EQ(process.Write("x", 1), Process::kFailed);
    std::string echoed;
    EXPECT_EQ(ReadToEnd(process, echoed), Process::kEnded);
    EXPECT_EQ(echoed.size(), data.size());
    EXPECT_TRUE(echoed == data);
}

// A child that prints without reading its input: the write gives up once the held output is full and
// no room came, instead of holding whatever the child prints.
TEST(ProcessTest, AWriteToAChildThatOnlyPrintsHoldsABoundedPart) {
    Process process({"yes"});
    const std::string data(1 << 18, 'x');
    EXPECT_EQ(process.Write(data.data(), data.size(), 200), Process::kFailed);
    EXPECT_LE(process.HeldOutput(), Process::kMinHeldOutput);
}

TEST(ProcessTest, EveryBytePrintedBeforeExitArrivesBeforeTheEnd) {
    Process process({"sh", "-c", "seq 1 50000; echo to-stderr >&2; printf last"});
    std::string text;
    EXPECT_EQ(ReadToEnd(process, text), Process::kEnded);
    std::string expected;
    for (int i = 1; i <= 50000; ++i) {
        expected += std::to_string(i) + "\n";
    }
    EXPECT_EQ(text, expected + "to-stderr\nlast");
}

TEST(ProcessTest, RunsInTheGivenFolderWithTheGivenEnvironment) {
    Process process({"sh", "-c", "pwd; echo \"$ONLY|$HOME\""}, "/tmp",
                    std::vector<std::string>{"ONLY=given"});
    std::string text;
    EXPECT_EQ(ReadToEnd(process, text), Process::kEnded);
    EXPECT_EQ(text, "/tmp\ngiven|\n");
}

TEST(ProcessTest, TheDestructorLeavesNoZombie) {
    pid_t pid = -1;
    {
        Process process({"sleep", "100"});
        pid = process.GetProcessId();
        ASSERT_GT(pid, 0);
    }
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    std::ifstream status_file("/proc/" + std::to_string(pid) + "/status");
    EXPECT_FALSE(status_file.is_open());
}

TEST(ProcessTest, TheChildHasSigpipeAtItsDefaultAndNoBlockedSignals) {
    // As in the program: SIGPIPE ignored, and here a blocked signal on the spawning thread too.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigset_t old;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &old);
    std::string status;
    {
        Process process({"cat", "/proc/self/status"});
        EXPECT_EQ(ReadToEnd(process, status), Process::kEnded);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(StatusMask(status, "SigIgn") & (1ULL << (SIGPIPE - 1)), 0u);
    EXPECT_EQ(StatusMask(status, "SigBlk"), 0u);
}

} // namespace
} // namespace Vuxo
