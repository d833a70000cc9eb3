// Test helpers for the plug-ins: a loaded plug-in library bound the way the program binds it, temporary
// share folders, running the archive tools, and reading little-endian fields.
#pragma once

#include "FakeHost.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace PluginTest {

// One plug-in library loaded from the program folder with dlopen(RTLD_NOW | RTLD_LOCAL), its exports
// bound by name and Initialize called with the fake host table; Finalize and dlclose at destruction.
class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& name, const HostApi* table = &FakeHostTable());
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary();

    static std::string PathOf(const std::string& name);

    // Runs one request and returns OnRequest's result.
    int Run(FakeRequest& request) const { return onRequest(&request); }

    void* handle = nullptr;
    void* instance = nullptr;
    CorvantaInitializeFunction initialize = nullptr;
    CorvantaFinalizeFunction finalize = nullptr;
    CorvantaGetTextFunction getName = nullptr;
    CorvantaGetTextFunction getAuthor = nullptr;
    CorvantaGetTextFunction getVersion = nullptr;
    CorvantaGetTypeFunction getType = nullptr;
    CorvantaGetTextFunction getRequiredAuthority = nullptr;
    CorvantaOnRequestFunction onRequest = nullptr;
};

// A unique temporary folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& Path() const { return m_path; }
    // Path() + "/" + rel.
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

    void MakeDir(const std::string& rel) const;
    void WriteFile(const std::string& rel, std::string_view content) const;
    // Lets every user enter and read the folder tree (for RunUnprivileged).
    void OpenToEveryone() const;
    // Sets the last-write time (seconds since 1970, UTC).
    void SetModified(const std::string& rel, int64_t seconds) const;

private:
    std::string m_path;
};

// Runs the request in a child process as the user and group 65534 ("nobody") when the tests run as root,
// so that permissions hold; directly otherwise. The response's Content-Length header and body come back.
bool RunUnprivileged(const PluginLibrary& plugin, FakeRequest& request);

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error
};

// Runs a shell command line.
CommandResult RunCommand(const std::string& command);
// Single-quotes a word for the shell.
std::string ShellQuote(const std::string& word);
// True when one line of `text` contains both `first` and, after it, `second`.
bool LineHas(const std::string& text, const std::string& first, const std::string& second);
// Writes bytes to a file.
void SaveFile(const std::string& path, std::string_view bytes);
std::string LoadFile(const std::string& path);

uint16_t ReadU16(std::string_view bytes, size_t offset);
uint32_t ReadU32(std::string_view bytes, size_t offset);
uint64_t ReadU64(std::string_view bytes, size_t offset);
// The standard CRC-32 of bytes (computed here independently of the plug-ins).
uint32_t Crc32(std::string_view bytes);

// A request posting `selection` from the folder page `requestPath`, with the share `share` mapped to
// `folder`.
FakeRequest MakeRequest(const std::string& share, const std::string& folder, const std::string& requestPath,
                        const std::string& selection);

} // namespace PluginTest
