// The identity of Mevrin and its hook into the plug-in framework.
#include "plugin/Mevrin/ZipRequestProcessor.h"
#include "plugin/sdk/ArchivePluginInstance.h"

namespace Vuxo {

std::unique_ptr<CorvantaPluginDllInstance> CreatePluginDllInstance() {
    return std::make_unique<ArchivePluginDllInstance>("ZIP 파일로 묶어 받기");
}

int RunRequestProcessor(void* context) {
    return ServeRequest<ZipRequestProcessor>(context);
}

} // namespace Vuxo
