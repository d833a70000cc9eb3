// The identity of Mevrin and its hook into the plug-in framework.
#include "plugin/Mevrin/ZipRequestProcessor.h"
#include "plugin/sdk/PluginApi.h"
#include "plugin/sdk/PluginInstance.h"

namespace Vuxo {

namespace {

class ZipPluginDllInstance : public CorvantaPluginDllInstance {
public:
    const char* GetPlugInName() const override { return "ZIP 파일로 묶어 받기"; }
    const char* GetPlugInAuthor() const override { return "corvanta@quillo.example"; }
    const char* GetPlugInVersion() const override { return "0.3"; }
    int GetPlugInType() const override { return CORVANTA_PLUGIN_TYPE_ACTION; }
    const char* GetRequiredAuthority() const override { return "LD"; }
};

} // namespace

std::unique_ptr<CorvantaPluginDllInstance> CreatePluginDllInstance() {
    return std::make_unique<ZipPluginDllInstance>();
}

int RunRequestProcessor(void* context) {
    ZipRequestProcessor processor(context);
    return processor.Process();
}

} // namespace Vuxo
