// The process-wide table that translates the program's built-in Korean texts (UTF-8 literals, which
// are also the keys) into the current user-interface language, loaded from the body of a language
// file. A text the table lacks is shown as it is built in.
//
// GetInstance() is the program's one table; it is created on first use and never destroyed, so late
// callers at exit still find it. Other instances (tests) are ordinary objects.
// Every operation holds the table's CriticalSection for its whole run; any thread may call them.
// The pointers GetTextA/GetTextW give stay valid for the life of the table object, across later
// loads: every text handed out is kept (once per distinct text) and never freed before the table.
// GetTextA, which every request asks for its log lines and pages, first looks in a small cache of the
// calling thread's own (no lock), keyed by the text's address and checked against the text itself; a
// load gives the table a new generation, which empties every thread's cache at its next lookup.
#pragma once

#include "core/thread/CriticalSection.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace Vuxo {

class LocalizationStringTable : private Noncopyable {
public:
    LocalizationStringTable() = default;

    static LocalizationStringTable& GetInstance();

    // The translation of `text` in UTF-8, or `text` itself when the table has none; the missing
    // text is recorded.
    const char* GetTextA(const char* text);
    // The same in UTF-16.
    const char16_t* GetTextW(const char* text);
    // The translation by value; no record of a missing text.
    std::string GetString(const char* text);
    // The translation of a key given as UTF-16, or the key unchanged; no record.
    std::u16string GetWString(std::u16string_view key);

    // Replaces the translations with the pairs of the body lines read from `body` to its end.
    // A key already present keeps its first value. A pair whose value has other printf conversions
    // than its key is left out (the key keeps its built-in text) and the rest still loads. A
    // malformed line stops the load: the table is left empty and false is returned. Lines may be
    // of any length. Texts given out earlier stay valid.
    bool Load(std::istream& body);

    // The texts asked of GetTextA/GetTextW that had no translation (kept across loads).
    std::set<std::string> GetMissingKeys();
    // The keys whose translation Load left out for mismatched printf conversions (last load).
    std::set<std::string> GetRefusedKeys();

private:
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    template <typename Value>
    using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

    const std::string& Intern(std::string_view text);
    const std::u16string& Intern(std::u16string_view text);
    const std::string* FindTranslation(std::string_view key) const;
    // GetTextA's answer without the cache; under m_lock.
    const char* LookUpTextA(std::string_view key);

    // Unique across every table of the process, so that a cache never takes one table for another.
    static uint64_t NewGeneration();

    std::atomic<uint64_t> m_generation{NewGeneration()};
    CriticalSection m_lock;
    std::map<std::string, const std::string*, std::less<>> m_translations;
    // Text -> the UTF-16 answer; emptied by Load.
    TextMap<const std::u16string*> m_wideCache;
    std::set<std::string, std::less<>> m_missingKeys;
    std::set<std::string> m_refusedKeys;
    // Every text ever handed out or held as a translation. Node-based, so an element never moves.
    std::unordered_set<std::string, TextHash, std::equal_to<>> m_narrowTexts;
    std::unordered_set<std::u16string> m_wideTexts;
};

// The short form every part of the program uses for a built-in text:
// LocalizationStringTable::GetInstance().GetTextA(koreanUtf8Literal).
const char* Tr(const char* koreanUtf8Literal);

} // namespace Vuxo
