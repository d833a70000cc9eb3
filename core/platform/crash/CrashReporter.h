// The crash reporter: when the process fails with a fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP), an
// abort (SIGABRT) or an exception that nothing catches (std::terminate), it writes a readable UTF-16LE
// report "<folder>/<prefix>_YYYYMMDD_HHMMSS.log" (and "….dmp", a core file made by gdb, where gdb may
// attach), starts the notice program that tells the user, and lets the process die of the same signal.
//
// Install once, first thing in the program's entry, on its first thread. The handlers use only
// async-signal-safe calls: every path, text and argument list is prepared here. One process-wide state,
// written only by Install; one failing thread at a time writes the files (an atomic flag), a second one
// waits for the process to end. Not installed in the sanitizer build, whose runtime owns these signals.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

class CrashReporter {
public:
    // The helper programs the handler starts; both are optional.
    struct Helpers {
        // Started as `<noticeProgram> --crash-notice=<report>` to tell the user; empty: none.
        std::string noticeProgram;
        // gdb, which writes the dump; empty: no dump.
        std::string debugger;
    };

    // The program itself (/proc/self/exe) as the notice, and gdb from PATH when it is there.
    static Helpers DefaultHelpers();

    // Arms the handlers with the report's title, the folder (relative to the current directory, made when
    // needed) and the file-name prefix; the time in the file names and the report is taken now. False when
    // the reporter cannot be installed in this build.
    static bool Install(std::string_view title, std::string_view folder, std::string_view prefix);
    static bool Install(std::string_view title, std::string_view folder, std::string_view prefix,
                        const Helpers& helpers);

    // True when this build can install the reporter (false under AddressSanitizer).
    static bool IsAvailable();

    // The option the notice program is started with.
    static constexpr std::string_view kNoticeOption = "--crash-notice=";
};

} // namespace Vuxo
