#include "service/subdir/SubdirTemplate.h"

#include "core/loader/Loaders.h"
#include "core/template/TextTemplate.h"

#include <mutex>

namespace Vuxo {

namespace {

struct CurrentTemplate {
    std::mutex mutex;
    std::shared_ptr<const TextTemplate> current;
};

CurrentTemplate& Current() {
    // Never destroyed: a connection thread may still render while the program exits.
    static CurrentTemplate* holder = new CurrentTemplate;
    return *holder;
}

} // namespace

bool LoadSubdirTemplate() {
    ByteBuffer bytes;
    if (!LoadResourceData(bytes, kSubdirTemplateResourceId, "BINARY")) {
        return false;
    }
    auto parsed = std::make_shared<TextTemplate>();
    if (!parsed->Parse(bytes.data(), bytes.size())) {
        return false;
    }
    CurrentTemplate& holder = Current();
    std::lock_guard<std::mutex> lock(holder.mutex);
    holder.current = std::move(parsed);
    return true;
}

std::shared_ptr<const TextTemplate> GetSubdirTemplate() {
    CurrentTemplate& holder = Current();
    {
        std::lock_guard<std::mutex> lock(holder.mutex);
        if (holder.current) {
            return holder.current;
        }
    }
    LoadSubdirTemplate();
    std::lock_guard<std::mutex> lock(holder.mutex);
    return holder.current;
}

} // namespace Vuxo
