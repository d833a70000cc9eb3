// The text of a crash report: the header (title, time, program, system), the summary with the exception
// name, the signal or exception line, the memory line of an access violation, the x86-64 registers and the
// loaded modules, as UTF-16LE with its byte-order mark and CR LF line ends. Async-signal-safe; it keeps its
// scratch space in static storage, so one thread at a time writes a report (the reporter's flag sees to it).
#pragma once

#include <cstdint>

namespace Vuxo::Crash {

// What stays the same for every report of a run, prepared when the reporter is installed.
struct ReportHeader {
    const char* title = "";
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const char* programPath = ""; // "" is written as "Unknown"
    const char* osName = "";      // likewise
};

// One failure.
struct Failure {
    uint32_t code = 0;  // the exception code of the summary
    int signal = 0;     // 0: no signal line
    int signalCode = 0; // si_code
    bool hasAddress = false;
    uint64_t address = 0;          // the memory an access violation touched
    bool written = false;          // the access was a write
    const char* detail = nullptr;  // a line after the summary (the uncaught exception), or null
    const void* context = nullptr; // the ucontext_t of the failure: registers and the failing instruction
};

// Writes the report to `descriptor`; false when a write failed.
bool WriteReport(int descriptor, const ReportHeader& header, const Failure& failure);

} // namespace Vuxo::Crash
