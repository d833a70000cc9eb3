#include "core/platform/crash/CrashReport.h"

#include "core/platform/crash/FailureCodes.h"
#include "core/platform/crash/ProcMaps.h"
#include "core/platform/crash/SignalSafeFormat.h"

#include <ucontext.h>

namespace Vuxo::Crash {

namespace {

constexpr const char* kDoubleRule =
    "==============================================================================\r\n";
constexpr const char* kRule = "---------------------------------------\r\n";
constexpr int kAddressDigits = 16;

#ifndef UC_SIGCONTEXT_SS
#define UC_SIGCONTEXT_SS 0x2 // the kernel keeps SS in the padding of the segment word
#endif

// Scratch space of the module walks; one report at a time.
MapsReader g_maps;
char g_modulePath[4096];

bool SamePath(const char* left, const char* right) {
    while (*left != '\0' && *left == *right) {
        ++left, ++right;
    }
    return *left == *right;
}

const char* OrUnknown(const char* text) {
    return text != nullptr && *text != '\0' ? text : "Unknown";
}

const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* next = path; *next != '\0'; ++next) {
        if (*next == '/') {
            name = next + 1;
        }
    }
    return name;
}

void Section(Utf16Writer& out, const char* name) {
    out.Text(kRule).Text(" ").Text(name).Text(" \r\n").Text(kRule);
}

#if defined(__x86_64__)
constexpr int kInstructionRegister = REG_RIP;
constexpr int kSegmentRegister = REG_CSGSFS;
#else
constexpr int kInstructionRegister = -1; // no register of another machine is read
constexpr int kSegmentRegister = -1;
#endif

// A register of the failure's context; 0 without one.
uint64_t ContextRegister(const Failure& failure, int index) {
#if defined(__x86_64__)
    if (failure.context != nullptr && index >= 0) {
        return static_cast<uint64_t>(
            static_cast<const ucontext_t*>(failure.context)->uc_mcontext.gregs[index]);
    }
#endif
    (void)failure;
    (void)index;
    return 0;
}

// The file name of the module mapped at `address` into `out`; "Unknown" when no file is mapped there.
void ModuleAt(uint64_t address, FixedText& out) {
    MapsEntry entry;
    if (g_maps.Open()) {
        while (g_maps.Next(entry)) {
            if (address >= entry.start && address < entry.end && entry.path[0] != '\0') {
                out.Append(FileNameOf(entry.path));
                g_maps.Close();
                return;
            }
        }
        g_maps.Close();
    }
    out.Append("Unknown");
}

// "a/bb/cc" or "a:bb:cc": a date or a time of the header, the first part `firstDigits` wide.
void WriteTriple(Utf16Writer& out, int first, int firstDigits, int second, int third, const char* separator) {
    out.Decimal(static_cast<uint64_t>(first), firstDigits)
        .Text(separator)
        .Decimal(static_cast<uint64_t>(second), 2);
    out.Text(separator).Decimal(static_cast<uint64_t>(third), 2);
}

void WriteHeader(Utf16Writer& out, const ReportHeader& header) {
    const unsigned char bom[2] = {0xFF, 0xFE};
    out.Raw(bom, 2).Text(kDoubleRule).Text(header.title).Text("\r\n\r\nTime  ");
    WriteTriple(out, header.year, 4, header.month, header.day, "/");
    out.Text(" ");
    WriteTriple(out, header.hour, 2, header.minute, header.second, ":");
    out.Text("\r\nPath  ").Text(OrUnknown(header.programPath));
    out.Text("\r\nOS    ").Text(OrUnknown(header.osName)).Text("\r\n").Text(kDoubleRule).Text("\r\n");
}

// "Signal SIGSEGV (11), code SEGV_MAPERR (1)"; a code without a name is given as its number only.
void WriteSignalLine(Utf16Writer& out, int signal, int signalCode) {
    out.Text("Signal ")
        .Text(SignalName(signal))
        .Text(" (")
        .Decimal(static_cast<uint64_t>(signal))
        .Text("), code ");
    if (const char* codeName = SignalCodeName(signal, signalCode)) {
        out.Text(codeName).Text(" ");
    }
    const int64_t code = signalCode;
    out.Text(code < 0 ? "(-" : "(").Decimal(static_cast<uint64_t>(code < 0 ? -code : code)).Text(")\r\n");
}

void WriteSummary(Utf16Writer& out, const Failure& failure) {
    Section(out, "Summary");
    char module[256];
    FixedText moduleName(module, sizeof module);
    const uint64_t instruction = ContextRegister(failure, kInstructionRegister);
    ModuleAt(instruction, moduleName);
    out.Text(ExceptionName(failure.code)).Text(" (0x").Hex(failure.code, 8).Text(") in module ");
    out.Text(moduleName.Get())
        .Text(" at ")
        .Hex(ContextRegister(failure, kSegmentRegister) & 0xFFFF, 4)
        .Text(":")
        .Hex(instruction, kAddressDigits);
    out.Text("\r\n");
    if (failure.signal != 0) {
        WriteSignalLine(out, failure.signal, failure.signalCode);
    }
    if (failure.detail != nullptr) {
        out.Text(failure.detail).Text("\r\n");
    }
    if (failure.code == kAccessViolation && failure.hasAddress) {
        out.Text("The memory at 0x").Hex(failure.address, kAddressDigits).Text(" could not be '");
        out.Text(failure.written ? "written" : "read").Text("'\r\n\r\n");
    }
}

void WriteRegisters(Utf16Writer& out, const Failure& failure) {
    Section(out, "Registers");
#if defined(__x86_64__)
    if (failure.context != nullptr) {
        const auto* context = static_cast<const ucontext_t*>(failure.context);
        const greg_t* registers = context->uc_mcontext.gregs;
        const uint64_t segments = static_cast<uint64_t>(registers[REG_CSGSFS]);
        const uint64_t stackSegment =
            (context->uc_flags & UC_SIGCONTEXT_SS) != 0 ? (segments >> 48) & 0xFFFF : 0;
        struct Register {
            const char* label;
            uint64_t value;
        };
        const Register rows[] = {
            {"RDI    ", static_cast<uint64_t>(registers[REG_RDI])},
            {"RSI    ", static_cast<uint64_t>(registers[REG_RSI])},
            {"RAX    ", static_cast<uint64_t>(registers[REG_RAX])},
            {"RBX    ", static_cast<uint64_t>(registers[REG_RBX])},
            {"RCX    ", static_cast<uint64_t>(registers[REG_RCX])},
            {"RDX    ", static_cast<uint64_t>(registers[REG_RDX])},
            {"RIP    ", static_cast<uint64_t>(registers[REG_RIP])},
            {"RBP    ", static_cast<uint64_t>(registers[REG_RBP])},
            {"SegCs  ", segments & 0xFFFF},
            {"EFlags ", static_cast<uint64_t>(registers[REG_EFL])},
            {"RSP    ", static_cast<uint64_t>(registers[REG_RSP])},
            {"SegSs  ", stackSegment},
            {"R8     ", static_cast<uint64_t>(registers[REG_R8])},
            {"R9     ", static_cast<uint64_t>(registers[REG_R9])},
            {"R10    ", static_cast<uint64_t>(registers[REG_R10])},
            {"R11    ", static_cast<uint64_t>(registers[REG_R11])},
            {"R12    ", static_cast<uint64_t>(registers[REG_R12])},
            {"R13    ", static_cast<uint64_t>(registers[REG_R13])},
            {"R14    ", static_cast<uint64_t>(registers[REG_R14])},
            {"R15    ", static_cast<uint64_t>(registers[REG_R15])},
        };
        constexpr size_t kCount = sizeof rows / sizeof rows[0];
        for (size_t i = 0; i < kCount; ++i) {
            out.Text(rows[i].label).Text("0x").Hex(rows[i].value, kAddressDigits);
            out.Text(i % 3 == 2 || i + 1 == kCount ? "\r\n" : "        ");
        }
    }
#endif
    (void)failure;
    out.Text("\r\n");
}

// One line per module: the address of its first mapping and its path, for every file mapped executable.
void WriteModules(Utf16Writer& out) {
    Section(out, "Modules");
    if (!g_maps.Open()) {
        return;
    }
    MapsEntry entry;
    FixedText current(g_modulePath, sizeof g_modulePath);
    uint64_t base = 0;
    bool listed = false;
    while (g_maps.Next(entry)) {
        if (entry.path[0] != '/') {
            continue;
        }
        if (!SamePath(entry.path, current.Get())) {
            current.Truncate(0);
            current.Append(entry.path);
            base = entry.start;
            listed = false;
        }
        if (entry.executable && !listed && !current.IsCut()) {
            out.Text("0x").Hex(base, kAddressDigits).Text("  ").Text(current.Get()).Text("\r\n");
            listed = true;
        }
    }
    g_maps.Close();
}

} // namespace

bool WriteReport(int descriptor, const ReportHeader& header, const Failure& failure) {
    Utf16Writer out(descriptor);
    WriteHeader(out, header);
    WriteSummary(out, failure);
    WriteRegisters(out, failure);
    WriteModules(out);
    return out.Flush();
}

} // namespace Vuxo::Crash
