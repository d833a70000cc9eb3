#include "core/platform/net/WakeupSignal.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace Vuxo::Net {

WakeupSignal::WakeupSignal() {
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_handle = fd < 0 ? kNoHandle : fd;
}

WakeupSignal::~WakeupSignal() {
    CloseHandle(m_handle);
}

void WakeupSignal::Signal() {
    if (m_handle == kNoHandle) {
        return;
    }
    uint64_t one = 1;
    // Fails only when the counter is about to overflow, which still leaves it readable.
    [[maybe_unused]] ssize_t n = ::write(m_handle, &one, sizeof one);
}

bool WakeupSignal::Clear() {
    if (m_handle == kNoHandle) {
        return false;
    }
    uint64_t value = 0;
    return ::read(m_handle, &value, sizeof value) == static_cast<ssize_t>(sizeof value) && value != 0;
}

} // namespace Vuxo::Net
