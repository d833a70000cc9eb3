// The one logging entry point. Any thread calls Trace with a level bit and a printf format; a process-wide
// mask filters by level and the formatted text (at most 1023 bytes, never ending in a cut UTF-8 character)
// goes to the one installed callback.
// The mask and the callback with its context may be changed at any time while other threads log: after
// SetTraceCallback returns, no thread is still inside the previous callback. The trace state lives until
// the process ends, so late calls at exit are safe.
#pragma once

#include <cstdarg>
#include <cstdint>

namespace Vuxo {

constexpr int LOG_DEBUG = 1;
constexpr int LOG_INFO = 2;
constexpr int LOG_ERROR = 4;
constexpr int LOG_WARNING = 8;
constexpr int LOG_NOTICE = 16;
constexpr int LOG_ALERT = 32;

// Longest text handed to the callback, in bytes (without the terminating NUL).
constexpr int kTraceTextLimit = 1023;

// Called with the context given to SetTraceCallback, the level and the formatted text. It may run on
// several threads at once and must not call SetTraceCallback itself (that waits for running callbacks).
using TraceCallback = void (*)(void* context, int level, const char* text);

void Trace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void TraceV(int level, const char* format, va_list arguments) __attribute__((format(printf, 2, 0)));

void SetTraceMask(uint32_t mask);
uint32_t GetTraceMask();

// Replaces callback and context together; a null callback discards every text.
void SetTraceCallback(TraceCallback callback, void* context);

} // namespace Vuxo
