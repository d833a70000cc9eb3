#include "service/skins/SkinConfig.h"

namespace Vuxo {

SkinConfig::SkinConfig() {
    RegisterItem("skin", &skin, "");
    RegisterItem("mimeType", &mimeType, "");
    RegisterContainer("files", &files);
}

} // namespace Vuxo
