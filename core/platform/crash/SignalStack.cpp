#include "core/platform/crash/SignalStack.h"

#include <algorithm>
#include <csignal>
#include <sys/mman.h>
#include <unistd.h>

namespace Vuxo::Crash {

namespace {

// Room for the handler (its buffers are static) with a wide margin; the page below is a guard.
constexpr size_t kMinimumSize = 64 * 1024;

size_t PageSize() {
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<size_t>(size) : 4096;
}

} // namespace

SignalStack::SignalStack() {
    stack_t current{};
    if (::sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) {
        return;
    }
    const size_t page = PageSize();
    const long minimum = ::sysconf(_SC_MINSIGSTKSZ);
    size_t usable = std::max(kMinimumSize, minimum > 0 ? static_cast<size_t>(minimum) * 4 : 0);
    usable = (usable + page - 1) / page * page;
    void* memory = ::mmap(nullptr, usable + page, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) {
        return;
    }
    ::mprotect(memory, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = usable;
    if (::sigaltstack(&stack, nullptr) != 0) {
        ::munmap(memory, usable + page);
        return;
    }
    m_memory = memory;
    m_size = usable + page;
}

SignalStack::~SignalStack() {
    if (m_memory == nullptr) {
        return;
    }
    stack_t disabled{};
    disabled.ss_flags = SS_DISABLE;
    ::sigaltstack(&disabled, nullptr);
    ::munmap(m_memory, m_size);
}

} // namespace Vuxo::Crash
