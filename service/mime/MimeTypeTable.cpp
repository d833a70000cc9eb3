#include "service/mime/MimeTypeTable.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/loader/Loaders.h"
#include "core/log/Trace.h"
#include "core/text/StringHelpers.h"
#include "service/mime/ContentKinds.h"

namespace Vuxo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Adds the pairs of one line: the first word is the type, every further word an extension.
void AddLine(std::string_view line, std::map<std::string, std::pair<std::string, bool>, std::less<>>& map) {
    std::string type;
    bool mayRunScript = true;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        if (start == i) {
            break;
        }
        std::string word(line.substr(start, i - start));
        if (type.empty()) {
            type = std::move(word);
            mayRunScript = MayRunScript(type);
        } else {
            map.insert_or_assign(std::move(word), std::make_pair(type, mayRunScript));
        }
    }
}

} // namespace

MimeTypeTable::MimeTypeTable() {
    m_maps.push_back(std::make_unique<const Map>());
    m_current.store(m_maps.back().get(), std::memory_order_release);
}

MimeTypeTable::~MimeTypeTable() = default;

MimeTypeTable& MimeTypeTable::GetInstance() {
    static MimeTypeTable table;
    return table;
}

void MimeTypeTable::Load(const char* data, std::size_t length) {
    auto map = std::make_unique<Map>();
    const std::string_view text(data, data ? length : 0);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        AddLine(text.substr(start, end - start), *map);
        start = end + 1;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    m_maps.push_back(std::move(map));
    m_current.store(m_maps.back().get(), std::memory_order_release);
}

MimeTypeTable::Entry MimeTypeTable::Lookup(std::string_view extension) const {
    std::string key(extension);
    ToLower(key);
    const Map& map = *m_current.load(std::memory_order_acquire);
    const auto found = map.find(key);
    if (found == map.end()) {
        return {kDefaultType, true}; // a file of no known type could be anything
    }
    return {found->second.first, found->second.second};
}

std::size_t MimeTypeTable::GetCount() const {
    return m_current.load(std::memory_order_acquire)->size();
}

void LoadMimeTypes(const std::string& programFolder, MimeTypeTable& table) {
    ByteBuffer bytes;
    const std::string path = programFolder.empty() ? "mime-type.txt" : programFolder + "/mime-type.txt";
    if (LoadFileData(bytes, path)) {
        Trace(LOG_NOTICE, "%s", Tr("외부 mime-type.txt를 로드함.."));
        table.Load(bytes.data(), bytes.size());
        return;
    }
    Trace(LOG_NOTICE, "%s", Tr("내장 mime-type.txt를 로드함.."));
    if (LoadResourceData(bytes, MimeTypeTable::kResourceId, "BINARY")) {
        table.Load(bytes.data(), bytes.size());
    }
}

} // namespace Vuxo
