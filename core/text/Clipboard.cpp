#include "core/text/Clipboard.h"

#include <mutex>
#include <utility>

namespace Vuxo {
namespace {

struct ProviderSlot {
    std::mutex mutex;
    ClipboardProvider provider;
};

ProviderSlot& Slot() {
    static ProviderSlot slot;
    return slot;
}

} // namespace

void SetClipboardProvider(ClipboardProvider provider) {
    ProviderSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.provider = std::move(provider);
}

bool SetClipboardText(const std::u16string& text) {
    ClipboardProvider provider;
    {
        ProviderSlot& slot = Slot();
        std::lock_guard lock(slot.mutex);
        provider = slot.provider;
    }
    // Called outside the lock: a provider may block on the GUI thread.
    return provider ? provider(text) : false;
}

} // namespace Vuxo
