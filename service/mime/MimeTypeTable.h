// The table from a file-name extension to the Content-Type sent for a downloaded file, a built-in or
// skin file and a plug-in resource. Filled from "mime-type.txt" in the program's folder, else from the
// copy built into the program (resource 217 "BINARY").
// GetInstance() is the program's one table (made on first use, lives until exit); tests build their own.
// A load builds a whole new map and publishes it with one atomic store (loads are serialised by the
// table's mutex); a lookup reads the current map without any lock, since every download asks and
// thousands of connection threads would otherwise queue on one lock. A map a later load replaces is
// kept until the table goes (loads happen at start and when the file is read again), so a lookup in
// progress, and the type it returned, stay valid.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vuxo {

class MimeTypeTable {
public:
    // Resource id of the built-in table (type "BINARY").
    static constexpr int kResourceId = 217;
    static constexpr const char* kDefaultType = "application/octet-stream";

    MimeTypeTable();
    MimeTypeTable(const MimeTypeTable&) = delete;
    MimeTypeTable& operator=(const MimeTypeTable&) = delete;
    virtual ~MimeTypeTable();

    static MimeTypeTable& GetInstance();

    // Replaces the table with the one the text describes: on each line the first word is a MIME type
    // and every further word an extension (without its dot) that maps to it; words are separated by
    // any white space, lines end with LF (a CR is white space). An extension listed again takes the
    // later line's type. Lines of any length are read whole.
    void Load(const char* data, std::size_t length);
    void Load(std::string_view text) { Load(text.data(), text.size()); }

    // The type of an extension given without its dot; ASCII letters of the argument are lower-cased
    // first (stored extensions are matched as written). kDefaultType when there is none.
    // The text stays valid as long as the table.
    std::string_view GetMimeType(std::string_view extension) const { return Lookup(extension).type; }

    // The type together with whether a browser could run script in it (MayRunScript), judged once when
    // the table is loaded rather than for every download.
    struct Entry {
        std::string_view type;
        bool mayRunScript;
    };
    Entry Lookup(std::string_view extension) const;

    // Number of extensions in the table.
    std::size_t GetCount() const;

private:
    using Map = std::map<std::string, std::pair<std::string, bool>, std::less<>>; // type, MayRunScript

    std::mutex m_mutex;                             // serialises loads
    std::vector<std::unique_ptr<const Map>> m_maps; // every map loaded, the current one last; under m_mutex
    std::atomic<const Map*> m_current;
};

// Loads "mime-type.txt" from the program folder into the table when that file can be read (logged at
// LOG_NOTICE), else the built-in copy (also logged); when neither can be read the table stays as it was.
void LoadMimeTypes(const std::string& programFolder, MimeTypeTable& table = MimeTypeTable::GetInstance());

} // namespace Vuxo
