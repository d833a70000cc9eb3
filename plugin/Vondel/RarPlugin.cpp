// The identity of Vondel and its hook into the plug-in framework.
#include "plugin/Vondel/RarRequestProcessor.h"
#include "plugin/sdk/ArchivePluginInstance.h"

namespace Vuxo {

std::unique_ptr<CorvantaPluginDllInstance> CreatePluginDllInstance() {
    return std::make_unique<ArchivePluginDllInstance>("RAR 파일로 묶어 받기");
}

int RunRequestProcessor(void* context) {
    return ServeRequest<RarRequestProcessor>(context);
}

} // namespace Vuxo
