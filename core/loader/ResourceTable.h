// The resources built into the program: tables of byte arrays, looked up by numeric id and type
// name. cmake/EmbedResources.cmake generates each table and a function that hands it over here;
// the program calls that function once at start (no static initialiser, which a static library
// would drop). LoadResourceData (core/loader/Loaders.h) reads them.
// The list of tables is process-wide, never destroyed, and guarded by its own CriticalSection;
// the tables themselves are constant data that live as long as the program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vuxo {

struct ResourceEntry {
    uint16_t id;
    const char* type; // UTF-8, e.g. "BINARY"
    const unsigned char* data;
    size_t size;
};

// Adds a table of `count` entries; registering the same table again changes nothing. When two
// tables hold the same id and type, the one registered first is found.
void RegisterResourceTable(const ResourceEntry* entries, size_t count);

} // namespace Vuxo
