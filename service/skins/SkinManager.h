// The parsed page templates of the skins by name, their MIME types and the default skin's name.
// GetInstance() is the program's one manager (made on first use, lives until exit); tests build their own.
// A mutex guards the maps and the default name. Templates are shared-owned and replaced whole: a page
// renders from the pointer GetTemplate gave it, so a reload (the GUI's reload key, or a folder page in
// skin-developer mode) never frees a template that another connection is rendering.
#pragma once

#include "core/template/TextTemplate.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class SkinManager {
public:
    // The text rendered for a skin that does not exist.
    static constexpr const char* kFallbackText = "Unable to find the skin.";
    static constexpr const char* kDefaultMimeType = "text/html";

    SkinManager();
    SkinManager(const SkinManager&) = delete;
    SkinManager& operator=(const SkinManager&) = delete;
    virtual ~SkinManager();

    static SkinManager& GetInstance();

    // Parses a template from the bytes and registers it under the name, replacing a template of that name
    // (whose MIME type then stays as it was). A new name records a non-empty MIME type. A parse failure is
    // logged at LOG_ALERT, registers nothing and gives false.
    bool AddSkin(const std::string& name, const std::string& mimeType, const char* data, std::size_t length);

    bool HasSkin(std::string_view name) const;
    // A registered name: its template. Another non-empty name: the fallback template. An empty name: the
    // default skin's template (the fallback when the default is not registered). Never null.
    std::shared_ptr<const TextTemplate> GetTemplate(std::string_view name) const;
    // The MIME type recorded for exactly this name, else "text/html".
    std::string GetMimeType(std::string_view name) const;
    // Every registered name in ascending byte order.
    std::vector<std::string> ListSkinNames() const;

    // Unchecked: callers ask HasSkin first.
    void SetDefaultSkin(const std::string& name);
    std::string GetDefaultSkin() const;

private:
    mutable std::mutex m_mutex;
    std::string m_defaultSkin;
    std::shared_ptr<const TextTemplate> m_fallback;
    std::map<std::string, std::shared_ptr<const TextTemplate>, std::less<>> m_templates;
    std::map<std::string, std::string, std::less<>> m_mimeTypes;
};

} // namespace Vuxo
