#include "service/plugins/PluginLibrary.h"
#include "service/plugins/PluginHostApi.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace Vuxo {

namespace {

// The live libraries by loader handle: the library object that owns the module's one Initialize. An
// entry whose weak pointer has expired belongs to a library whose last user is releasing it right now.
struct LiveLibraries {
    struct Entry {
        std::weak_ptr<PluginLibrary> library;
        const PluginLibrary* owner = nullptr;
    };
    std::mutex mutex;
    std::condition_variable released; // a library's Deleter has run
    std::map<void*, Entry> byHandle;
};

// Process-wide like the loader's own handle table, and never destroyed: the registry releases its
// plug-ins from its own exit-time destructor, which may run after an ordinary static would be gone.
LiveLibraries& GetLiveLibraries() {
    static auto* table = new LiveLibraries;
    return *table;
}

// The plug-in's C functions must not throw into the host; should one do so all the same, the exception
// stops here.
void CallInitialize(CorvantaInitializeFunction initialize) {
    try {
        initialize(GetHostApi());
    } catch (...) {
    }
}

void CallFinalize(CorvantaFinalizeFunction finalize) {
    if (finalize == nullptr) {
        return;
    }
    try {
        finalize();
    } catch (...) {
    }
}

template <typename Function> bool Bind(DynamicLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.FindSymbol(name));
    return function != nullptr;
}

bool BindRequired(DynamicLibrary& library, PluginExports& exports) {
    return Bind(library, CORVANTA_EXPORT_GET_AUTHOR, exports.getAuthor) &&
           Bind(library, CORVANTA_EXPORT_GET_NAME, exports.getName) &&
           Bind(library, CORVANTA_EXPORT_GET_VERSION, exports.getVersion) &&
           Bind(library, CORVANTA_EXPORT_GET_TYPE, exports.getType) &&
           Bind(library, CORVANTA_EXPORT_INITIALIZE, exports.initialize) &&
           Bind(library, CORVANTA_EXPORT_FINALIZE, exports.finalize) &&
           Bind(library, CORVANTA_EXPORT_ON_REQUEST, exports.onRequest);
}

} // namespace

extern "C" const char* DefaultRequiredAuthority(void) {
    return "LD";
}

struct PluginLibrary::Deleter {
    void operator()(PluginLibrary* library) const noexcept {
        LiveLibraries& live = GetLiveLibraries();
        std::lock_guard<std::mutex> lock(live.mutex);
        const auto found = live.byHandle.find(library->m_library.GetHandle());
        // When a newer object took over the handle (reloaded while this one was still in use), the module
        // is running for that one: only this object's reference of the file is released.
        if (found != live.byHandle.end() && found->second.owner == library) {
            live.byHandle.erase(found);
            CallFinalize(library->m_exports.finalize);
        }
        delete library; // closes the file
        live.released.notify_all();
    }
};

std::shared_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    DynamicLibrary library;
    if (!library.Open(path)) {
        error = library.GetError();
        return nullptr;
    }
    LiveLibraries& live = GetLiveLibraries();
    std::unique_lock<std::mutex> lock(live.mutex);
    void* const handle = library.GetHandle();
    // An expired entry belongs to an older object whose last user is releasing it: its Deleter, which
    // waits for this lock, finalizes the module. Waiting for it orders everything that user did in the
    // module before the next start; the expired count alone orders nothing, and a Finalize called here
    // instead raced with that user's last calls into the module.
    for (auto found = live.byHandle.find(handle); found != live.byHandle.end();
         found = live.byHandle.find(handle)) {
        if (std::shared_ptr<PluginLibrary> running = found->second.library.lock()) {
            return running; // `library` only drops the extra reference it took
        }
        live.released.wait(lock);
    }

    PluginExports exports;
    if (!BindRequired(library, exports)) {
        error = library.GetError();
        // A module whose Finalize was bound hears of it even though it was never started.
        CallFinalize(exports.finalize);
        return nullptr;
    }
    if (!Bind(library, CORVANTA_EXPORT_GET_REQUIRED_AUTHORITY, exports.getRequiredAuthority)) {
        exports.getRequiredAuthority = &DefaultRequiredAuthority;
    }

    std::shared_ptr<PluginLibrary> created(new PluginLibrary(std::move(library), exports), Deleter());
    live.byHandle[handle] = LiveLibraries::Entry{created, created.get()};
    CallInitialize(exports.initialize);
    return created;
}

} // namespace Vuxo
