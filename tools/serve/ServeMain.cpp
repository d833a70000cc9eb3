// corvanta_serve [--port N] [PROGRAM_FOLDER]
//
// Runs the file-sharing server without the desktop shell: the server object over PROGRAM_FOLDER's
// mount.ini (default: the folder of this executable), started at once. It prints the server's loopback
// URL on one line of standard output when it listens, then serves until SIGTERM or SIGINT and stops in
// order (the configuration is saved as the program saves it). --port overrides the configured port for
// this run only (0: a free port of the system's choice). Exit code 0 after a clean stop, 1 when the
// server could not start, 2 on a usage error. Benchmarks and browser tests drive the server this way.
// The maker's service is never asked: its address is a dead local port, so the public address falls
// back to this host's own and no version check runs.
#include "core/platform/fs/ProgramFolder.h"
#include "core/text/Utf8.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "res/BuiltinResources.h"
#include "service/config/QuilloConfig.h"
#include "service/server/QuilloServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Nothing listens on port 1 of the loopback: every request to the service fails at once, locally.
constexpr const char* kNoService = "127.0.0.1:1";

struct Options {
    std::string folder;
    int port = -1; // -1: as configured
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--port" && i + 1 < argc) {
            const std::string value = argv[++i];
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
                value.size() > 5) {
                return false;
            }
            options.port = std::stoi(value);
            if (options.port > 65535) {
                return false;
            }
        } else if (!argument.empty() && argument[0] != '-' && options.folder.empty()) {
            options.folder = argument;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: corvanta_serve [--port N] [PROGRAM_FOLDER]\n");
        return 2;
    }
    std::error_code error;
    const std::string folder =
        std::filesystem::absolute(options.folder.empty() ? Vuxo::GetProgramFolder() : options.folder, error)
            .string();
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "corvanta_serve: not a folder: %s\n", folder.c_str());
        return 2;
    }
    // Relative names of the program (skin/, plugin/, Log/) are relative to its folder.
    std::filesystem::current_path(folder, error);

    // Block the stop signals before any thread exists, so that every thread inherits the mask and the
    // main thread alone receives them in sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Vuxo::RegisterBuiltinResources();
    Vuxo::QuilloConfig config(folder);
    const unsigned short configuredPort = config.port.load();
    if (options.port >= 0) {
        config.port = static_cast<unsigned short>(options.port);
    }
    int exitCode = 0;
    {
        Vuxo::GuiTransferStatusAggregator aggregator;
        Vuxo::QuilloServerOptions serverOptions;
        serverOptions.serviceAddress = kNoService;
        serverOptions.alert = [](const std::u16string& text) {
            std::fprintf(stderr, "corvanta_serve: %s\n", Vuxo::WideToUtf8(text).c_str());
        };
        Vuxo::QuilloServer server(config, folder, &aggregator, std::move(serverOptions));
        const bool started = server.Start();
        config.port = configuredPort; // the override is not saved
        if (!started) {
            exitCode = 1;
        } else {
            std::printf("http://127.0.0.1:%u/\n", static_cast<unsigned>(server.GetPort()));
            std::fflush(stdout);
            int received = 0;
            sigwait(&stopSignals, &received);
        }
    }
    return exitCode;
}
