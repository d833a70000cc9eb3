// Settings store that binds named settings to member variables of an owning configuration class and
// reads and writes them as "key=value" lines ("key+=element" for each element of a list setting).
// An owner derives from it and registers its settings in its constructor; the store owns the item and
// container objects, the owner owns the variables they point at. The store has no lock of its own:
// registration happens in the owner's constructor, and the owner serialises Load and Save with
// whatever guards its variables (see QuilloConfig::GetListLock).
#pragma once

#include "core/config/ConfigValueText.h"
#include "core/config/SharedString.h"

#include <atomic>
#include <cstddef>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// Orders keys alphabetically without regard to ASCII case, so "Port", "port" and "PORT" are one key.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

class AbstractConfig {
public:
    // Longest line text that Load accepts; a longer line is dropped whole (see Load).
    static constexpr std::size_t kMaxLineLength = 8191;

    // One scalar setting bound to a variable it does not own.
    class AbstractConfigItem {
    public:
        virtual ~AbstractConfigItem() = default;
        virtual std::string ToText() const = 0;
        virtual void FromText(std::string_view text) = 0;
    };

    // One list setting bound to a list it does not own.
    class AbstractConfigContainer {
    public:
        virtual ~AbstractConfigContainer() = default;
        virtual void ToTexts(std::vector<std::string>& texts) const = 0;
        virtual void AppendText(std::string_view text) = 0;
        virtual void Clear() = 0;
    };

    template <typename T> class ConfigItem final : public AbstractConfigItem {
    public:
        explicit ConfigItem(T* variable) : m_variable(variable) {}
        std::string ToText() const override { return ConfigValueText<T>::ToText(*m_variable); }
        void FromText(std::string_view text) override { ConfigValueText<T>::FromText(*m_variable, text); }

    private:
        T* m_variable;
    };

    template <typename List> class ConfigContainer final : public AbstractConfigContainer {
    public:
        explicit ConfigContainer(List* list) : m_list(list) {}
        void ToTexts(std::vector<std::string>& texts) const override {
            texts.insert(texts.end(), m_list->begin(), m_list->end());
        }
        void AppendText(std::string_view text) override { m_list->emplace_back(text); }
        void Clear() override { m_list->clear(); }

    private:
        List* m_list;
    };

    AbstractConfig() = default;
    virtual ~AbstractConfig();
    AbstractConfig(const AbstractConfig&) = delete;
    AbstractConfig& operator=(const AbstractConfig&) = delete;

    // Registration: when the name is not yet a setting, the variable takes the default and is bound to
    // the name; a name already registered (as item or list) keeps its first binding untouched.
    void RegisterItem(const std::string& name, bool* variable, bool defaultValue);
    void RegisterItem(const std::string& name, unsigned short* variable, unsigned short defaultValue);
    void RegisterItem(const std::string& name, int* variable, int defaultValue);
    void RegisterItem(const std::string& name, std::string* variable, const std::string& defaultValue);
    void RegisterItem(const std::string& name, std::atomic<bool>* variable, bool defaultValue);
    void RegisterItem(const std::string& name, std::atomic<unsigned short>* variable,
                      unsigned short defaultValue);
    void RegisterItem(const std::string& name, std::atomic<int>* variable, int defaultValue);
    void RegisterItem(const std::string& name, SharedString* variable, const std::string& defaultValue);
    // The list keeps what it holds (a list has no default).
    void RegisterContainer(const std::string& name, std::vector<std::string>* list);

    // Each gives false when no setting of that kind has the name.
    bool SetItemText(std::string_view name, std::string_view text);
    bool GetItemText(std::string_view name, std::string& text) const;
    bool AppendContainerText(std::string_view name, std::string_view text);
    bool GetContainerTexts(std::string_view name, std::vector<std::string>& texts) const;
    bool ClearContainer(std::string_view name);
    void ClearAllContainers();

    // Names in key order (case-insensitive), as they were registered.
    void GetItemNames(std::vector<std::string>& names) const;
    void GetContainerNames(std::vector<std::string>& names) const;

    // Reads "key=value" and "key+=element" lines. Every list is emptied first, so afterwards it holds
    // exactly the elements of the stream; items keep their values unless a line sets them. Lines
    // without "=", starting with "=", naming no setting, or longer than kMaxLineLength are skipped.
    // False when the stream is not good at the start (nothing changes) or fails while being read.
    bool Load(std::istream& in);

    // Writes every item in key order, then every list element grouped by list name, each line ended
    // by "\n". CR and LF inside a value become blanks so that no value can add lines of its own.
    // False when the stream is not good at the start (nothing written) or any write fails.
    bool Save(std::ostream& out) const;

private:
    template <typename T>
    void Bind(const std::string& name, T* variable, const typename ConfigValueText<T>::Value& defaultValue);
    bool IsRegistered(std::string_view name) const;
    void ApplyLine(std::string_view line);

    std::map<std::string, std::unique_ptr<AbstractConfigItem>, NoCaseLess> m_items;
    std::map<std::string, std::unique_ptr<AbstractConfigContainer>, NoCaseLess> m_containers;
};

} // namespace Vuxo
