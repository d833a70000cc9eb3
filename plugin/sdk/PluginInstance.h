// The identity of one plug-in library, and the two hooks every plug-in provides to the framework.
// The exports (PluginExports.cpp) own the one instance: Initialize creates it, Finalize deletes it.
// It is read-only between the two, so requests on several threads may query it without a lock.
#pragma once

#include <memory>

namespace Vuxo {

class CorvantaPluginDllInstance {
public:
    CorvantaPluginDllInstance() = default;
    CorvantaPluginDllInstance(const CorvantaPluginDllInstance&) = delete;
    CorvantaPluginDllInstance& operator=(const CorvantaPluginDllInstance&) = delete;
    virtual ~CorvantaPluginDllInstance() = default;

    // Static UTF-8 texts that live as long as the library.
    virtual const char* GetPlugInName() const = 0;
    virtual const char* GetPlugInAuthor() const = 0;
    virtual const char* GetPlugInVersion() const = 0;
    // CORVANTA_PLUGIN_TYPE_* bits.
    virtual int GetPlugInType() const = 0;
    // Letters of "LDUA" the user needs on the page to run the plug-in.
    virtual const char* GetRequiredAuthority() const { return "DL"; }
};

// Provided by each plug-in library.
std::unique_ptr<CorvantaPluginDllInstance> CreatePluginDllInstance();
// Serves one request with the library's request processor; may throw (the export catches).
int RunRequestProcessor(void* context);

// The usual body of RunRequestProcessor: a fresh `Processor` (a CorvantaRequestProcessor) serves the request.
template <class Processor> int ServeRequest(void* context) {
    Processor processor(context);
    return processor.Process();
}

} // namespace Vuxo
