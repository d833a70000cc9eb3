#include "service/skins/SkinManager.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"

namespace Vuxo {

SkinManager::SkinManager() {
    auto fallback = std::make_shared<TextTemplate>();
    fallback->Parse(kFallbackText);
    m_fallback = std::move(fallback);
}

SkinManager::~SkinManager() = default;

SkinManager& SkinManager::GetInstance() {
    static SkinManager manager;
    return manager;
}

bool SkinManager::AddSkin(const std::string& name, const std::string& mimeType, const char* data,
                          std::size_t length) {
    // Parsed outside the lock: a large template never holds up pages that are being rendered.
    auto parsed = std::make_shared<TextTemplate>();
    if (!parsed->Parse(data ? data : "", data ? length : 0)) {
        Trace(LOG_ALERT, Tr("%s 스킨을 읽는 데 실패했습니다."), name.c_str());
        return false;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    const bool isNew = m_templates.find(name) == m_templates.end();
    m_templates.insert_or_assign(name, std::move(parsed));
    if (isNew && !mimeType.empty()) {
        m_mimeTypes.insert_or_assign(name, mimeType);
    }
    return true;
}

bool SkinManager::HasSkin(std::string_view name) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_templates.find(name) != m_templates.end();
}

std::shared_ptr<const TextTemplate> SkinManager::GetTemplate(std::string_view name) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_templates.find(name.empty() ? std::string_view(m_defaultSkin) : name);
    return found == m_templates.end() ? m_fallback : found->second;
}

std::string SkinManager::GetMimeType(std::string_view name) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_mimeTypes.find(name);
    return found == m_mimeTypes.end() ? std::string(kDefaultMimeType) : found->second;
}

std::vector<std::string> SkinManager::ListSkinNames() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<std::string> names;
    names.reserve(m_templates.size());
    for (const auto& entry : m_templates) {
        names.push_back(entry.first);
    }
    return names;
}

void SkinManager::SetDefaultSkin(const std::string& name) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_defaultSkin = name;
}

std::string SkinManager::GetDefaultSkin() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_defaultSkin;
}

} // namespace Vuxo
