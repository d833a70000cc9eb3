#include "core/platform/crash/CrashReporter.h"

#include "core/platform/crash/CrashReport.h"
#include "core/platform/crash/FailureCodes.h"
#include "core/platform/crash/OsName.h"
#include "core/platform/crash/SignalSafeFormat.h"
#include "core/platform/crash/SignalStack.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <cxxabi.h>
#include <exception>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <typeinfo>
#include <ucontext.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORVANTA_CRASH_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANTA_CRASH_UNDER_ASAN 1
#endif
#endif

extern char** environ;

namespace Vuxo {

namespace {

using namespace Crash;

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr size_t kPathRoom = 4096;
// The name's suffix "_N" counts at most this far before the report is given up.
constexpr int kMaxSuffix = 9999;
// A dump that takes longer than this is abandoned (gdb is killed), so a failing process never hangs.
constexpr long kDumpSeconds = 120;

// Everything the handlers need, prepared by Install; the handler's own scratch space beside it.
struct State {
    char title[1024];
    char programPath[kPathRoom];
    char osName[512];
    char folder[kPathRoom];
    char stem[kPathRoom]; // "<folder>/<prefix>_YYYYMMDD_HHMMSS"
    char notice[kPathRoom];
    char debugger[kPathRoom];
    ReportHeader header;

    char logPath[kPathRoom + 16];
    char dumpPath[kPathRoom + 16];
    char noticeArgument[kPathRoom + 64];
    char dumpCommand[kPathRoom + 64];
    char pidText[24];
    char detail[2048];
};

State g_state;
// The kernel id of the thread writing the report; 0 while none is.
std::atomic<pid_t> g_reportingThread{0};

pid_t CurrentThreadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

void Copy(char* target, size_t capacity, std::string_view text) {
    FixedText(target, capacity).Append(text.data(), text.size());
}

std::string ReadProgramPath() {
    char path[kPathRoom];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string FindInPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr && *path != '\0' ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (folder.empty()) {
            continue;
        }
        std::string candidate = std::string(folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// --- in the handler: async-signal-safe calls only from here on ----------------------------------------

// Gives the default action back to `signal` and raises it, so the exit status names the failure.
void Reraise(int signal) {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    ::sigaction(signal, &defaults, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
}

// True when this thread may write the report. A failure inside the reporter ends the process at once with
// its signal; a second failing thread waits here until the first has ended the process.
bool BeginReport(int signal) {
    const pid_t self = CurrentThreadId();
    pid_t expected = 0;
    if (g_reportingThread.compare_exchange_strong(expected, self)) {
        return true;
    }
    if (expected == self) {
        Reraise(signal);
        return false;
    }
    for (;;) {
        ::pause();
    }
}

// In a child of the failing process before exec: the usual signal state, and no inherited descriptors.
void PrepareChild() {
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (const int signal : kSignals) {
        ::sigaction(signal, &defaults, nullptr);
    }
    ::sigaction(SIGPIPE, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    ::syscall(SYS_close_range, 3U, ~0U, 0U);
}

// Picks the first free name of "<stem>.log", "<stem>_2.log", …, creating it (and, when a dump will be
// taken, its ".dmp" beside it) exclusively. The open report, or -1 when none can be created.
int CreateReportFile(bool withDump) {
    for (int number = 1; number <= kMaxSuffix; ++number) {
        FixedText log(g_state.logPath, sizeof g_state.logPath);
        log.Append(g_state.stem);
        if (number > 1) {
            log.Append("_").Decimal(static_cast<uint64_t>(number));
        }
        FixedText dump(g_state.dumpPath, sizeof g_state.dumpPath);
        dump.Append(log.Get()).Append(".dmp");
        log.Append(".log");
        const int report = ::open(log.Get(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (report < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return -1;
        }
        if (withDump) {
            // The dump holds the whole memory, passwords included: only the owner may read it.
            const int reserved = ::open(dump.Get(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (reserved < 0 && errno == EEXIST) {
                ::close(report);
                ::unlink(log.Get());
                continue;
            }
            if (reserved >= 0) {
                ::close(reserved);
            }
        }
        return report;
    }
    return -1;
}

long MonotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec);
}

// gdb attaches to this process and writes a core file to the reserved dump; an empty dump is removed.
void WriteDump() {
    FixedText(g_state.pidText, sizeof g_state.pidText).Decimal(static_cast<uint64_t>(::getpid()));
    FixedText(g_state.dumpCommand, sizeof g_state.dumpCommand)
        .Append("generate-core-file ")
        .Append(g_state.dumpPath);
    char* const argv[] = {g_state.debugger,
                          const_cast<char*>("-batch"),
                          const_cast<char*>("-nx"),
                          const_cast<char*>("-iex"),
                          const_cast<char*>("set debuginfod enabled off"),
                          const_cast<char*>("-iex"),
                          const_cast<char*>("set auto-load off"),
                          const_cast<char*>("-p"),
                          g_state.pidText,
                          const_cast<char*>("-ex"),
                          g_state.dumpCommand,
                          nullptr};
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        return;
    }
    const pid_t child = ::_Fork();
    if (child == 0) {
        // Wait until this process has allowed the child to trace it.
        char byte = 0;
        while (::read(ready[0], &byte, 1) < 0 && errno == EINTR) {
        }
        const int quiet = ::open("/dev/null", O_RDWR);
        for (int standard = 0; standard <= 2 && quiet >= 0; ++standard) {
            ::dup2(quiet, standard);
        }
        PrepareChild();
        ::execve(argv[0], argv, environ);
        ::_exit(127);
    }
    ::close(ready[0]);
    if (child > 0) {
        ::prctl(PR_SET_PTRACER, static_cast<unsigned long>(child), 0, 0, 0);
    }
    while (::write(ready[1], "1", 1) < 0 && errno == EINTR) {
    }
    ::close(ready[1]);
    if (child > 0) {
        const long deadline = MonotonicSeconds() + kDumpSeconds;
        int status = 0;
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (MonotonicSeconds() > deadline) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                break;
            }
            const timespec pause{0, 20 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
    struct stat dump {};
    if (::stat(g_state.dumpPath, &dump) == 0 && dump.st_size == 0) {
        ::unlink(g_state.dumpPath);
    }
}

// Starts the notice program with the report's path; it runs on after this process has ended.
void StartNotice() {
    if (g_state.notice[0] == '\0') {
        return;
    }
    FixedText argument(g_state.noticeArgument, sizeof g_state.noticeArgument);
    argument.Append(CrashReporter::kNoticeOption.data(), CrashReporter::kNoticeOption.size())
        .Append(g_state.logPath);
    char* const argv[] = {g_state.notice, g_state.noticeArgument, nullptr};
    if (::_Fork() == 0) {
        PrepareChild();
        ::execve(argv[0], argv, environ);
        ::_exit(127);
    }
}

void WriteFiles(const Failure& failure) {
    ::mkdir(g_state.folder, 0755);
    const bool withDump = g_state.debugger[0] != '\0';
    const int report = CreateReportFile(withDump);
    if (report >= 0) {
        WriteReport(report, g_state.header, failure);
        ::close(report);
        if (withDump) {
            WriteDump();
        }
    }
    StartNotice();
}

void OnSignal(int signal, siginfo_t* info, void* context) {
    if (!BeginReport(signal)) {
        return;
    }
    Failure failure;
    failure.signal = signal;
    failure.signalCode = info->si_code;
    failure.context = context;
    uint64_t stackPointer = 0;
    bool written = false;
#if defined(__x86_64__)
    const greg_t* registers = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    stackPointer = static_cast<uint64_t>(registers[REG_RSP]);
    written = (registers[REG_ERR] & 0x2) != 0; // the page-fault error code: bit 1 is a write
#endif
    const uint64_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    const bool kernelFault = info->si_code > 0 && info->si_code != SI_KERNEL;
    failure.code =
        FailureCodeOf(signal, info->si_code, kernelFault ? address : 0, kernelFault ? stackPointer : 0);
    failure.hasAddress = signal == SIGSEGV && kernelFault;
    failure.address = address;
    failure.written = written;
    WriteFiles(failure);
    Reraise(signal);
}

// --- std::terminate: an ordinary call on the failing thread, ended with SIGABRT ----------------------------

// "Exception <type>: <what>" for the exception being handled, into the state's detail line.
bool DescribeCurrentException() {
    FixedText detail(g_state.detail, sizeof g_state.detail);
    const std::exception_ptr current = std::current_exception();
    if (!current) {
        detail.Append("Terminate called without an active exception");
        return false;
    }
    const std::type_info* type = abi::__cxa_current_exception_type();
    const char* what = nullptr;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& error) {
        type = &typeid(error);
        what = error.what();
    } catch (...) {
    }
    detail.Append("Exception ");
    if (type != nullptr) {
        int status = -1;
        char* readable = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
        detail.Append(status == 0 && readable != nullptr ? readable : type->name());
        std::free(readable);
    }
    if (what != nullptr) {
        detail.Append(": ").Append(what);
    }
    return true;
}

[[noreturn]] void OnTerminate() {
    static ucontext_t context;
    if (BeginReport(SIGABRT)) {
        Failure failure;
        failure.code = DescribeCurrentException() ? kCppException : kFatalAppExit;
        failure.detail = g_state.detail;
        ::getcontext(&context);
        failure.context = &context;
        WriteFiles(failure);
    }
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    ::sigaction(SIGABRT, &defaults, nullptr);
    std::abort();
}

} // namespace

bool CrashReporter::IsAvailable() {
#ifdef CORVANTA_CRASH_UNDER_ASAN
    return false;
#else
    return true;
#endif
}

CrashReporter::Helpers CrashReporter::DefaultHelpers() {
    return Helpers{ReadProgramPath(), FindInPath("gdb")};
}

bool CrashReporter::Install(std::string_view title, std::string_view folder, std::string_view prefix) {
    return Install(title, folder, prefix, DefaultHelpers());
}

bool CrashReporter::Install(std::string_view title, std::string_view folder, std::string_view prefix,
                            const Helpers& helpers) {
    if (!IsAvailable()) {
        return false;
    }
    const time_t now = ::time(nullptr);
    tm local{};
    ::localtime_r(&now, &local);
    std::string absolute(folder);
    if (absolute.empty() || absolute.front() != '/') {
        char current[kPathRoom];
        if (::getcwd(current, sizeof current) != nullptr) {
            absolute = std::string(current) + (absolute.empty() ? "" : "/") + absolute;
        }
    }
    Copy(g_state.title, sizeof g_state.title, title);
    Copy(g_state.programPath, sizeof g_state.programPath, ReadProgramPath());
    Copy(g_state.osName, sizeof g_state.osName, GetOsDisplayName());
    Copy(g_state.folder, sizeof g_state.folder, absolute);
    FixedText stem(g_state.stem, sizeof g_state.stem);
    stem.Append(g_state.folder).Append("/").Append(prefix.data(), prefix.size()).Append("_");
    stem.Decimal(static_cast<uint64_t>(local.tm_year + 1900), 4)
        .Decimal(static_cast<uint64_t>(local.tm_mon + 1), 2);
    stem.Decimal(static_cast<uint64_t>(local.tm_mday), 2)
        .Append("_")
        .Decimal(static_cast<uint64_t>(local.tm_hour), 2);
    stem.Decimal(static_cast<uint64_t>(local.tm_min), 2).Decimal(static_cast<uint64_t>(local.tm_sec), 2);
    Copy(g_state.notice, sizeof g_state.notice, helpers.noticeProgram);
    Copy(g_state.debugger, sizeof g_state.debugger, helpers.debugger);
    g_state.header =
        ReportHeader{g_state.title, local.tm_year + 1900, local.tm_mon + 1,    local.tm_mday, local.tm_hour,
                     local.tm_min,  local.tm_sec,         g_state.programPath, g_state.osName};

    // The installing thread's own signal stack lives as long as the process.
    static Crash::SignalStack* const mainStack = new Crash::SignalStack();
    (void)mainStack;

    struct sigaction action {};
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    // While the report is written, no other of these signals interrupts it: a fault inside the handler
    // ends the process at once with that signal's default action.
    for (const int signal : kSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    std::set_terminate(OnTerminate);
    return true;
}

} // namespace Vuxo
