// The module state of a plug-in library: the copy of the host's function table taken by Initialize.
// Written only by Initialize and Finalize (on the host's loading thread); read by requests afterwards.
#pragma once

#include "plugin/sdk/PluginApi.h"

namespace Vuxo {

// The host table as Initialize copied it; every slot is NULL before Initialize and after Finalize.
const HostApi& GetHostTable();

} // namespace Vuxo
