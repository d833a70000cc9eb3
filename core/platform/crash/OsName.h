// The readable name of the running system for crash reports: the distribution's name from os-release and
// the kernel's from uname, for example "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64".
// Plain functions, called when the crash reporter is installed (never from a signal handler).
#pragma once

#include <string>
#include <string_view>

namespace Vuxo::Crash {

// The distribution's name in the text of an os-release file: PRETTY_NAME, else NAME and VERSION, else
// NAME; quotes and backslash escapes removed. Empty when the text names none.
std::string ParseOsReleaseName(std::string_view osRelease);

// "<distribution>, <system> <release> <machine>", leaving out what is empty; empty when all are.
std::string ComposeOsDisplayName(std::string_view distribution, std::string_view system,
                                 std::string_view release, std::string_view machine);

// The name of this machine's system from /etc/os-release (or /usr/lib/os-release) and uname; empty when
// neither can be read.
std::string GetOsDisplayName();

} // namespace Vuxo::Crash
