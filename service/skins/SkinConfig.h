// The settings of one skin, read from its "setting.ini" in the configuration-file syntax: the page
// template's file name, the Content-Type of the skin's pages, and the files the skin serves.
// A new one is made for each skin that loads and lives only while it loads; one thread, no lock.
#pragma once

#include "core/config/AbstractConfig.h"

#include <string>
#include <vector>

namespace Vuxo {

class SkinConfig : public AbstractConfig {
public:
    SkinConfig();

    std::string skin;               // file name of the page template
    std::string mimeType;           // Content-Type of the skin's pages; "" means "text/html"
    std::vector<std::string> files; // files served to browsers, relative to the skin
};

} // namespace Vuxo
