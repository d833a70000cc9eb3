#include "core/platform/crash/FailureCodes.h"

#include <csignal>

namespace Vuxo::Crash {

namespace {

struct CodeName {
    uint32_t code;
    const char* name;
};

constexpr CodeName kExceptionNames[] = {
    {0x40010005, "A Control-C"},
    {0x40010008, "A Control-Break"},
    {0x80000002, "A Datatype Misalignment"},
    {0x80000003, "A Breakpoint"},
    {0xC0000005, "An Access Violation"},
    {0xC0000006, "An In Page Error"},
    {0xC0000017, "A No Memory"},
    {0xC000001D, "An Illegal Instruction"},
    {0xC0000025, "A Noncontinuable Exception"},
    {0xC0000026, "An Invalid Disposition"},
    {0xC000008C, "A Array Bounds Exceeded"},
    {0xC000008D, "A Float Denormal Operand"},
    {0xC000008E, "A Float Divide by Zero"},
    {0xC000008F, "A Float Inexact Result"},
    {0xC0000090, "A Float Invalid Operation"},
    {0xC0000091, "A Float Overflow"},
    {0xC0000092, "A Float Stack Check"},
    {0xC0000093, "A Float Underflow"},
    {0xC0000094, "An Integer Divide by Zero"},
    {0xC0000095, "An Integer Overflow"},
    {0xC0000096, "A Privileged Instruction"},
    {0xC00000FD, "A Stack Overflow"},
    {0xC0000142, "A DLL Initialization Failed"},
    {0xE06D7363, "A Microsoft C++ Exception"},
};

struct SignalCodeEntry {
    int signal; // 0: any signal
    int code;
    const char* name;
};

constexpr SignalCodeEntry kSignalCodes[] = {
    {0, SI_USER, "SI_USER"},
    {0, SI_KERNEL, "SI_KERNEL"},
    {0, SI_QUEUE, "SI_QUEUE"},
    {0, SI_TKILL, "SI_TKILL"},
    {SIGSEGV, SEGV_MAPERR, "SEGV_MAPERR"},
    {SIGSEGV, SEGV_ACCERR, "SEGV_ACCERR"},
    {SIGBUS, BUS_ADRALN, "BUS_ADRALN"},
    {SIGBUS, BUS_ADRERR, "BUS_ADRERR"},
    {SIGBUS, BUS_OBJERR, "BUS_OBJERR"},
    {SIGFPE, FPE_INTDIV, "FPE_INTDIV"},
    {SIGFPE, FPE_INTOVF, "FPE_INTOVF"},
    {SIGFPE, FPE_FLTDIV, "FPE_FLTDIV"},
    {SIGFPE, FPE_FLTOVF, "FPE_FLTOVF"},
    {SIGFPE, FPE_FLTUND, "FPE_FLTUND"},
    {SIGFPE, FPE_FLTRES, "FPE_FLTRES"},
    {SIGFPE, FPE_FLTINV, "FPE_FLTINV"},
    {SIGFPE, FPE_FLTSUB, "FPE_FLTSUB"},
    {SIGILL, ILL_ILLOPC, "ILL_ILLOPC"},
    {SIGILL, ILL_ILLOPN, "ILL_ILLOPN"},
    {SIGILL, ILL_ILLADR, "ILL_ILLADR"},
    {SIGILL, ILL_ILLTRP, "ILL_ILLTRP"},
    {SIGILL, ILL_PRVOPC, "ILL_PRVOPC"},
    {SIGILL, ILL_PRVREG, "ILL_PRVREG"},
    {SIGILL, ILL_COPROC, "ILL_COPROC"},
    {SIGILL, ILL_BADSTK, "ILL_BADSTK"},
    {SIGTRAP, TRAP_BRKPT, "TRAP_BRKPT"},
    {SIGTRAP, TRAP_TRACE, "TRAP_TRACE"},
};

// How far from the stack pointer a fault still counts as running off the stack.
constexpr uint64_t kStackReach = 64 * 1024;

uint32_t FloatingPointCode(int signalCode) {
    switch (signalCode) {
    case FPE_INTDIV:
        return 0xC0000094;
    case FPE_INTOVF:
        return 0xC0000095;
    case FPE_FLTDIV:
        return 0xC000008E;
    case FPE_FLTOVF:
        return 0xC0000091;
    case FPE_FLTUND:
        return 0xC0000093;
    case FPE_FLTRES:
        return 0xC000008F;
    case FPE_FLTINV:
        return 0xC0000090;
    case FPE_FLTSUB:
        return 0xC000008C;
    default:
        return 0;
    }
}

} // namespace

const char* ExceptionName(uint32_t code) {
    for (const CodeName& entry : kExceptionNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return "an Unknown exception type";
}

uint32_t FailureCodeOf(int signal, int signalCode, uint64_t faultAddress, uint64_t stackPointer) {
    switch (signal) {
    case SIGSEGV: {
        const uint64_t distance =
            faultAddress > stackPointer ? faultAddress - stackPointer : stackPointer - faultAddress;
        const bool fault = signalCode == SEGV_MAPERR || signalCode == SEGV_ACCERR;
        return fault && stackPointer != 0 && distance <= kStackReach ? kStackOverflow : kAccessViolation;
    }
    case SIGBUS:
        return signalCode == BUS_ADRALN ? 0x80000002 : 0xC0000006;
    case SIGFPE:
        return FloatingPointCode(signalCode);
    case SIGILL:
        return signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG ? 0xC0000096 : 0xC000001D;
    case SIGTRAP:
        return 0x80000003;
    default:
        return kFatalAppExit;
    }
}

const char* SignalName(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGTRAP:
        return "SIGTRAP";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

const char* SignalCodeName(int signal, int signalCode) {
    // The codes of a sender (SI_USER, SI_TKILL, …) mean the same for every signal; the kernel's own
    // fault codes mean something per signal.
    for (const SignalCodeEntry& entry : kSignalCodes) {
        if (entry.code == signalCode && (entry.signal == signal || entry.signal == 0)) {
            return entry.name;
        }
    }
    return nullptr;
}

} // namespace Vuxo::Crash
