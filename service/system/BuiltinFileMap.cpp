#include "service/system/BuiltinFileMap.h"

namespace Vuxo {

BuiltinFileMap& BuiltinFileMap::GetInstance() {
    static BuiltinFileMap files;
    return files;
}

void BuiltinFileMap::Register(const std::string& key, const char* data, std::size_t length) {
    auto bytes = data ? std::make_shared<const Bytes>(data, data + length) : std::make_shared<const Bytes>();
    std::lock_guard<std::mutex> guard(m_mutex);
    m_files.insert_or_assign(key, std::move(bytes));
}

void BuiltinFileMap::Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_files.clear();
}

std::shared_ptr<const BuiltinFileMap::Bytes> BuiltinFileMap::Find(std::string_view key) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_files.find(key);
    return found == m_files.end() ? nullptr : found->second;
}

std::size_t BuiltinFileMap::GetCount() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_files.size();
}

} // namespace Vuxo
