// The search for a multipart delimiter in an upload's bytes. Upload bodies are searched whole, so it runs
// near memory speed with the widest vectors the processor has; the width is looked up once. Free
// functions without state, safe from any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace Vuxo {

// The first place `delimiter` (at least 2 bytes) starts at in data[0, size), null when it does not.
const char* FindDelimiter(const char* data, size_t size, std::string_view delimiter);

// The same with the vectors limited to `widest` bytes (1: none, 16, 32), so that each width can be held to
// the same answers on a processor that has them all; a width the processor lacks gives the next narrower.
const char* FindDelimiterWithin(size_t widest, const char* data, size_t size, std::string_view delimiter);

} // namespace Vuxo
