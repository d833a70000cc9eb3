// The files served from memory without a share: "robots.txt", "favicon.ico" and every file of every
// loaded skin (under skin name + "/" + file name). Keys are request paths without the leading "/",
// matched exactly (case matters).
// GetInstance() is the program's one map (made on first use, lives until exit); tests build their own.
// A mutex guards the map; each file's bytes are shared-owned and replaced whole, so a reload (also the
// skin-developer reload on a connection thread) never frees bytes that another connection is sending.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class BuiltinFileMap {
public:
    using Bytes = std::vector<char>;

    BuiltinFileMap() = default;
    BuiltinFileMap(const BuiltinFileMap&) = delete;
    BuiltinFileMap& operator=(const BuiltinFileMap&) = delete;

    static BuiltinFileMap& GetInstance();

    // Creates or replaces the entry with a copy of the bytes.
    void Register(const std::string& key, const char* data, std::size_t length);
    // Empties the map; files being sent stay alive until their senders let go.
    void Clear();
    // The bytes under the key, or null.
    std::shared_ptr<const Bytes> Find(std::string_view key) const;
    std::size_t GetCount() const;

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<const Bytes>, std::less<>> m_files;
};

} // namespace Vuxo
