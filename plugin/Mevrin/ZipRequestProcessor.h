// The request processor of Mevrin: sends the selected files and folders as one ZIP archive, or an
// error page when a name cannot be expressed in code page 949. One per request, on its thread.
#pragma once

#include "plugin/sdk/RequestProcessor.h"

namespace Vuxo {

class ZipRequestProcessor : public CorvantaRequestProcessor {
public:
    using CorvantaRequestProcessor::CorvantaRequestProcessor;
    int Process() override;
};

} // namespace Vuxo
