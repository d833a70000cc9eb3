// The table of twenty host functions that every plug-in receives at Initialize, and the helper behind
// the server-host slots. The table is filled once (a function-local static) and only read afterwards.
// Every slot takes the request context first, which is the PluginRequestProcessor running the plug-in;
// every slot catches whatever the host throws below it, so nothing is thrown into a plug-in.
#pragma once

#include "plugin/sdk/PluginApi.h"

#include <cstdint>
#include <string>

namespace Vuxo {

// The filled table; the same address every time.
const HostApi* GetHostApi();

// Splits a "host[:port]" value at its first ":". Without a ":" the port is `defaultPort`; with one, the
// decimal number after it, or `defaultPort` when there are no digits or the number is not a port.
void SplitHostPort(std::string& host, uint16_t& port, const std::string& value, uint16_t defaultPort);

// Slot 19: the user-interface translation of a built-in text into `buffer` of `size` bytes (NUL included),
// cut before a character that does not fit whole; the number of bytes written before the NUL.
int TranslateTextInto(char* buffer, int size, const char* text);

} // namespace Vuxo
