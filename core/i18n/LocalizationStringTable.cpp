#include "core/i18n/LocalizationStringTable.h"

#include "core/i18n/FormatConversions.h"
#include "core/i18n/LanguageLine.h"
#include "core/text/Utf8.h"

namespace Vuxo {
namespace {

// A null text is taken as empty rather than read.
std::string_view TextOf(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}

} // namespace

LocalizationStringTable& LocalizationStringTable::GetInstance() {
    // Never destroyed: threads and exit handlers that translate a text late must still find it.
    static LocalizationStringTable* instance = new LocalizationStringTable;
    return *instance;
}

const std::string& LocalizationStringTable::Intern(std::string_view text) {
    auto found = m_narrowTexts.find(text);
    if (found != m_narrowTexts.end()) {
        return *found;
    }
    return *m_narrowTexts.emplace(text).first;
}

const std::u16string& LocalizationStringTable::Intern(std::u16string_view text) {
    return *m_wideTexts.emplace(text).first;
}

const std::string* LocalizationStringTable::FindTranslation(std::string_view key) const {
    auto found = m_translations.find(key);
    return found == m_translations.end() ? nullptr : found->second;
}

uint64_t LocalizationStringTable::NewGeneration() {
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1) + 1;
}

namespace {

// The calling thread's last answers of one table generation, by the address of the asked text. Each
// entry keeps the text as it was asked (interned, never freed), so a buffer reused for another text
// misses instead of getting the old answer.
struct TextACache {
    static constexpr size_t kSize = 32;
    struct Entry {
        const char* address = nullptr;
        const std::string* text = nullptr;
        const char* answer = nullptr;
    };
    uint64_t generation = 0;
    Entry entries[kSize];

    Entry& SlotFor(const char* address) {
        return entries[(reinterpret_cast<uintptr_t>(address) >> 3) % kSize];
    }
};

thread_local TextACache t_textACache;

} // namespace

const char* LocalizationStringTable::GetTextA(const char* text) {
    if (text == nullptr) {
        ScopedLock lock(m_lock);
        return LookUpTextA(std::string_view());
    }
    TextACache& cache = t_textACache;
    const uint64_t generation = m_generation.load(std::memory_order_acquire);
    if (cache.generation != generation) {
        cache = TextACache{};
        cache.generation = generation;
    }
    TextACache::Entry& entry = cache.SlotFor(text);
    if (entry.address == text && *entry.text == text) {
        return entry.answer;
    }
    ScopedLock lock(m_lock);
    const char* answer = LookUpTextA(text);
    entry = {text, &Intern(text), answer};
    return answer;
}

const char* LocalizationStringTable::LookUpTextA(std::string_view key) {
    if (const std::string* translation = FindTranslation(key)) {
        return translation->c_str();
    }
    if (m_missingKeys.find(key) == m_missingKeys.end()) {
        m_missingKeys.emplace(key);
    }
    return Intern(key).c_str();
}

const char16_t* LocalizationStringTable::GetTextW(const char* text) {
    ScopedLock lock(m_lock);
    std::string_view key = TextOf(text);
    auto cached = m_wideCache.find(key);
    if (cached != m_wideCache.end()) {
        return cached->second->c_str();
    }
    const std::string* translation = FindTranslation(key);
    if (translation == nullptr && m_missingKeys.find(key) == m_missingKeys.end()) {
        m_missingKeys.emplace(key);
    }
    const std::u16string& wide = Intern(std::u16string_view(Utf8ToWide(translation ? *translation : key)));
    m_wideCache.emplace(key, &wide);
    return wide.c_str();
}

std::string LocalizationStringTable::GetString(const char* text) {
    ScopedLock lock(m_lock);
    std::string_view key = TextOf(text);
    const std::string* translation = FindTranslation(key);
    return translation ? *translation : std::string(key);
}

std::u16string LocalizationStringTable::GetWString(std::u16string_view key) {
    std::string narrowKey = WideToUtf8(key);
    ScopedLock lock(m_lock);
    const std::string* translation = FindTranslation(narrowKey);
    return translation ? Utf8ToWide(*translation) : std::u16string(key);
}

bool LocalizationStringTable::Load(std::istream& body) {
    ScopedLock lock(m_lock);
    // Whatever the outcome, answers given before may no longer hold.
    m_generation.store(NewGeneration(), std::memory_order_release);
    m_wideCache.clear();
    m_translations.clear();
    m_refusedKeys.clear();
    std::string line;
    std::string key;
    std::string value;
    while (std::getline(body, line)) {
        LanguageLineKind kind = ParseLanguageLine(line, key, value);
        if (kind == LanguageLineKind::Error) {
            m_translations.clear();
            return false;
        }
        if (kind == LanguageLineKind::Skip || m_translations.count(key) != 0) {
            continue;
        }
        // A translated format must read exactly the arguments the program passes for the built-in one.
        if (!HaveSameFormatConversions(key, value)) {
            m_refusedKeys.insert(key);
            continue;
        }
        m_refusedKeys.erase(key);
        m_translations.emplace(key, &Intern(value));
    }
    return true;
}

std::set<std::string> LocalizationStringTable::GetMissingKeys() {
    ScopedLock lock(m_lock);
    return {m_missingKeys.begin(), m_missingKeys.end()};
}

std::set<std::string> LocalizationStringTable::GetRefusedKeys() {
    ScopedLock lock(m_lock);
    return m_refusedKeys;
}

const char* Tr(const char* koreanUtf8Literal) {
    return LocalizationStringTable::GetInstance().GetTextA(koreanUtf8Literal);
}

} // namespace Vuxo
