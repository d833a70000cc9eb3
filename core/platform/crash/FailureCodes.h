// The names a crash report gives a failure: the exception codes of the report's summary with their texts,
// the code a signal stands for, and the names of signals and their si_code values. String literals only,
// so a signal handler may call every function here.
#pragma once

#include <cstdint>

namespace Vuxo::Crash {

constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kStackOverflow = 0xC00000FD;
constexpr uint32_t kCppException = 0xE06D7363;
// abort() and std::terminate without an exception: a fatal end the table has no name for.
constexpr uint32_t kFatalAppExit = 0x40000015;

// The summary's text for `code`; "an Unknown exception type" for a code the table lacks.
const char* ExceptionName(uint32_t code);
// The code that `signal` with `signalCode` (si_code) stands for. A SIGSEGV at `faultAddress` within reach
// of the stack pointer `stackPointer` is a stack overflow.
uint32_t FailureCodeOf(int signal, int signalCode, uint64_t faultAddress, uint64_t stackPointer);
// "SIGSEGV" and the like; "signal" for one not handled here.
const char* SignalName(int signal);
// "SEGV_MAPERR", "SI_TKILL" and the like; null when the value has no name.
const char* SignalCodeName(int signal, int signalCode);

} // namespace Vuxo::Crash
