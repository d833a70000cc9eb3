// What the preferences dialog and its pages work on: the configuration, the server object with the
// managers it owns (accounts, IP filter, connection limits, transfer-status aggregator), the skin and
// plug-in registries, the shell's platform services, and two injected functions (the host's addresses and
// the connection test) so that tests need neither a network card nor the maker's service. Made by the main
// frame for one run of the dialog; nothing in it is owned, everything outlives the dialog. GUI thread.
#pragma once

#include "shell/platform/ShellPlatform.h"

#include <functional>
#include <string>
#include <vector>

namespace Vuxo {

class PluginManager;
class QuilloConfig;
class QuilloServer;
class SkinManager;
struct RunningCheckRequest;

// The connection test of the Server page: the page takes what the test needs from the server on the GUI
// thread (QuilloServer::PrepareRunningCheck) and hands it to `run` on its worker thread, which blocks
// until the maker's service answered whether it could reach the server and touches no server object;
// `cancel` makes a run in progress return at once and may be called from any thread. Without `run` the
// test is not offered.
struct ConnectionCheck {
    std::function<bool(const RunningCheckRequest&)> run;
    std::function<void()> cancel;
};

struct OptionEnvironment {
    QuilloConfig& config;
    QuilloServer& server;
    SkinManager& skins;
    PluginManager& plugins;
    ShellPlatform platform;
    // The program's own file (what the autostart entry runs) and its folder (Language/, help/).
    std::string programPath;
    std::string programFolder;
    // The dotted IPv4 addresses of this host, in the system's order.
    std::function<std::vector<std::string>()> localAddresses;
    ConnectionCheck connectionCheck;
};

} // namespace Vuxo
