#include "core/loader/ResourceTable.h"

#include "core/loader/Loaders.h"
#include "core/text/StringHelpers.h"
#include "core/thread/CriticalSection.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace Vuxo {
namespace {

struct ResourceTables {
    CriticalSection lock;
    std::vector<std::pair<const ResourceEntry*, size_t>> tables;
};

ResourceTables& GetResourceTables() {
    // Never destroyed: the tables are static data and may be read until the very end.
    static ResourceTables* tables = new ResourceTables;
    return *tables;
}

} // namespace

void RegisterResourceTable(const ResourceEntry* entries, size_t count) {
    ResourceTables& all = GetResourceTables();
    ScopedLock lock(all.lock);
    std::pair<const ResourceEntry*, size_t> table(entries, count);
    if (std::find(all.tables.begin(), all.tables.end(), table) == all.tables.end()) {
        all.tables.push_back(table);
    }
}

bool LoadResourceData(ByteBuffer& buffer, uint16_t id, const std::string& typeName) {
    ResourceTables& all = GetResourceTables();
    ScopedLock lock(all.lock);
    for (const auto& [entries, count] : all.tables) {
        for (size_t i = 0; i < count; ++i) {
            const ResourceEntry& entry = entries[i];
            // Type names compare without regard to ASCII case, as resource types always have.
            if (entry.id != id || entry.type == nullptr || !EqualsIgnoringCase(entry.type, typeName)) {
                continue;
            }
            if (entry.size == 0 || entry.data == nullptr) {
                return false;
            }
            buffer.assign(entry.data, entry.data + entry.size);
            return true;
        }
    }
    return false;
}

} // namespace Vuxo
