#include "core/config/AbstractConfig.h"

#include "core/text/StringHelpers.h"

#include <limits>

namespace Vuxo {

namespace {

constexpr std::string_view kTrimSet = "\r\n\t ";

enum class LineRead { Line, Overlong, End };

// Reads one line of at most kMaxLineLength bytes (the "\n" removed). A longer line is consumed up to
// its "\n" and reported as Overlong, so one bad line cannot end the reading of the rest.
LineRead ReadLine(std::istream& in, std::string& line) {
    if (!in.good()) {
        return LineRead::End;
    }
    char buffer[AbstractConfig::kMaxLineLength + 1];
    in.getline(buffer, sizeof buffer);
    const auto extracted = static_cast<std::size_t>(in.gcount());
    if (in.bad()) {
        return LineRead::End;
    }
    if (in.fail() && !in.eof()) {
        in.clear();
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        return in.bad() ? LineRead::End : LineRead::Overlong;
    }
    if (in.fail()) {
        return LineRead::End; // end of stream with nothing left
    }
    // Without end of file the "\n" was extracted and counted; at end of file it was not there.
    line.assign(buffer, in.eof() ? extracted : extracted - 1);
    return LineRead::Line;
}

} // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
    return CompareIgnoringCase(a, b) < 0;
}

AbstractConfig::~AbstractConfig() = default;

template <typename T>
void AbstractConfig::Bind(const std::string& name, T* variable,
                          const typename ConfigValueText<T>::Value& defaultValue) {
    if (IsRegistered(name)) {
        return;
    }
    ConfigValueText<T>::Assign(*variable, defaultValue);
    m_items.emplace(name, std::make_unique<ConfigItem<T>>(variable));
}

bool AbstractConfig::IsRegistered(std::string_view name) const {
    return m_items.find(name) != m_items.end() || m_containers.find(name) != m_containers.end();
}

void AbstractConfig::RegisterItem(const std::string& name, bool* variable, bool defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, unsigned short* variable,
                                  unsigned short defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, int* variable, int defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, std::string* variable,
                                  const std::string& defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, std::atomic<bool>* variable, bool defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, std::atomic<unsigned short>* variable,
                                  unsigned short defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, std::atomic<int>* variable, int defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterItem(const std::string& name, SharedString* variable,
                                  const std::string& defaultValue) {
    Bind(name, variable, defaultValue);
}

void AbstractConfig::RegisterContainer(const std::string& name, std::vector<std::string>* list) {
    if (IsRegistered(name)) {
        return;
    }
    m_containers.emplace(name, std::make_unique<ConfigContainer<std::vector<std::string>>>(list));
}

bool AbstractConfig::SetItemText(std::string_view name, std::string_view text) {
    const auto found = m_items.find(name);
    if (found == m_items.end()) {
        return false;
    }
    found->second->FromText(text);
    return true;
}

bool AbstractConfig::GetItemText(std::string_view name, std::string& text) const {
    const auto found = m_items.find(name);
    if (found == m_items.end()) {
        return false;
    }
    text = found->second->ToText();
    return true;
}

bool AbstractConfig::AppendContainerText(std::string_view name, std::string_view text) {
    const auto found = m_containers.find(name);
    if (found == m_containers.end()) {
        return false;
    }
    found->second->AppendText(text);
    return true;
}

bool AbstractConfig::GetContainerTexts(std::string_view name, std::vector<std::string>& texts) const {
    const auto found = m_containers.find(name);
    if (found == m_containers.end()) {
        return false;
    }
    texts.clear();
    found->second->ToTexts(texts);
    return true;
}

bool AbstractConfig::ClearContainer(std::string_view name) {
    const auto found = m_containers.find(name);
    if (found == m_containers.end()) {
        return false;
    }
    found->second->Clear();
    return true;
}

void AbstractConfig::ClearAllContainers() {
    for (auto& entry : m_containers) {
        entry.second->Clear();
    }
}

void AbstractConfig::GetItemNames(std::vector<std::string>& names) const {
    names.clear();
    for (const auto& entry : m_items) {
        names.push_back(entry.first);
    }
}

void AbstractConfig::GetContainerNames(std::vector<std::string>& names) const {
    names.clear();
    for (const auto& entry : m_containers) {
        names.push_back(entry.first);
    }
}

void AbstractConfig::ApplyLine(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return;
    }
    std::string key(line.substr(0, equals));
    std::string value(line.substr(equals + 1));
    const bool isListElement = key.back() == '+';
    if (isListElement) {
        key.pop_back();
    }
    Trim(key, kTrimSet);
    Trim(value, kTrimSet);
    // A name that is no setting of that kind is ignored.
    if (isListElement) {
        AppendContainerText(key, value);
    } else {
        SetItemText(key, value);
    }
}

bool AbstractConfig::Load(std::istream& in) {
    if (!in.good()) {
        return false;
    }
    ClearAllContainers();
    std::string line;
    for (LineRead read = ReadLine(in, line); read != LineRead::End; read = ReadLine(in, line)) {
        if (read == LineRead::Line && !line.empty()) {
            ApplyLine(line);
        }
    }
    return !in.bad();
}

bool AbstractConfig::Save(std::ostream& out) const {
    if (!out.good()) {
        return false;
    }
    for (const auto& [name, item] : m_items) {
        out << name << '=' << ToSingleLine(item->ToText()) << '\n';
    }
    std::vector<std::string> texts;
    for (const auto& [name, container] : m_containers) {
        texts.clear();
        container->ToTexts(texts);
        for (const std::string& text : texts) {
            out << name << "+=" << ToSingleLine(text) << '\n';
        }
    }
    out.flush();
    return out.good();
}

} // namespace Vuxo
