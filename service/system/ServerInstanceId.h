// The server instance id: 16 lower-case hexadecimal digits drawn from the system's random source the
// first time it is asked for, then fixed for the life of the process. The identification request answers
// it and the running check compares against it. Immutable after first use (thread-safe initialisation).
#pragma once

#include <string>

namespace Vuxo {

const std::string& GetServerInstanceId();

} // namespace Vuxo
