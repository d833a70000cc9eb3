// Feeds arbitrary bytes to the settings loader; whatever it accepts must survive a save and a load
// unchanged (apart from line breaks inside values, which a save turns into blanks), and a second save
// must write the same bytes as the first.
#include "core/config/AbstractConfig.h"
#include "core/config/ConfigValueText.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

class FuzzConfig : public Vuxo::AbstractConfig {
public:
    FuzzConfig() {
        RegisterItem("port", &port, 80);
        RegisterItem("enabled", &enabled, true);
        RegisterItem("limit", &limit, -1);
        RegisterItem("Name", &name, "");
        RegisterItem("sharedPort", &sharedPort, 8080);
        RegisterItem("sharedFlag", &sharedFlag, false);
        RegisterItem("sharedLimit", &sharedLimit, 0);
        RegisterItem("HostName", &hostName, "");
        RegisterContainer("users", &users);
        RegisterContainer("mounts", &mounts);
    }

    unsigned short port = 0;
    bool enabled = false;
    int limit = 0;
    std::string name;
    std::atomic<unsigned short> sharedPort{0};
    std::atomic<bool> sharedFlag{false};
    std::atomic<int> sharedLimit{0};
    Vuxo::SharedString hostName;
    std::vector<std::string> users;
    std::vector<std::string> mounts;
};

// Every item text and list element in key order, each passed through `adjust`.
template <typename Adjust> std::vector<std::string> Texts(const FuzzConfig& config, Adjust adjust) {
    std::vector<std::string> all;
    std::vector<std::string> names;
    config.GetItemNames(names);
    for (const std::string& name : names) {
        std::string text;
        config.GetItemText(name, text);
        all.push_back(name + "=" + adjust(text));
    }
    config.GetContainerNames(names);
    for (const std::string& name : names) {
        std::vector<std::string> texts;
        config.GetContainerTexts(name, texts);
        for (const std::string& text : texts) {
            all.push_back(name + "+=" + adjust(text));
        }
    }
    return all;
}

std::string SaveText(const FuzzConfig& config) {
    std::ostringstream out;
    if (!config.Save(out)) {
        __builtin_trap();
    }
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzConfig first;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    if (!first.Load(in)) {
        __builtin_trap();
    }
    const std::string saved = SaveText(first);

    FuzzConfig second;
    std::istringstream again(saved);
    if (!second.Load(again)) {
        __builtin_trap();
    }
    const auto single = [](const std::string& text) { return Vuxo::ToSingleLine(text); };
    const auto same = [](const std::string& text) { return text; };
    if (Texts(first, single) != Texts(second, same) || SaveText(second) != saved) {
        __builtin_trap();
    }
    return 0;
}
