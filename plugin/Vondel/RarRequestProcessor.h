// The request processor of Vondel: sends the selected files and folders as one RAR archive.
// One per request, on its thread.
#pragma once

#include "plugin/sdk/RequestProcessor.h"

namespace Vuxo {

class RarRequestProcessor : public CorvantaRequestProcessor {
public:
    using CorvantaRequestProcessor::CorvantaRequestProcessor;
    int Process() override;
};

} // namespace Vuxo
