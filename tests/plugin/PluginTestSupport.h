// Test helpers for the plug-ins: a loaded plug-in library bound the way the program binds it, temporary
// share folders, running the archive tools, reading little-endian fields, and the checks every archive
// plug-in shares.
#pragma once

#include "FakeHost.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
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
// Letters that repeat only after many blocks, so a block sent twice or out of place shows.
std::string PatternBytes(size_t size);

uint16_t ReadU16(std::string_view bytes, size_t offset);
uint32_t ReadU32(std::string_view bytes, size_t offset);
uint64_t ReadU64(std::string_view bytes, size_t offset);
// The standard CRC-32 of bytes (computed here independently of the plug-ins).
uint32_t Crc32(std::string_view bytes);

// A request posting `selection` from the folder page `requestPath`, with the share `share` mapped to
// `folder`.
FakeRequest MakeRequest(const std::string& share, const std::string& folder, const std::string& requestPath,
                        const std::string& selection);

// The fixture of an archive plug-in's tests: a share folder, a work folder for what comes back, and the
// plug-in library.
class ArchivePluginTest : public ::testing::Test {
protected:
    // `library` answers with archives of type `contentType`, saved as "out" + `extension` by default.
    ArchivePluginTest(const std::string& library, std::string contentType, std::string extension);

    // Runs the request and checks what every archive response must satisfy.
    void RunArchive(FakeRequest& request);
    // Saves the body into the work folder and returns the path.
    std::string Save(const FakeRequest& request) { return Save(request, "out" + m_extension); }
    std::string Save(const FakeRequest& request, const std::string& name);

    // Archives, from a share, a file named "..\..\evil.txt" in the folder "d" by selecting "d/".
    FakeRequest ArchiveBackslashName();
    // Fills share/tree with the readable tree/b/y.txt and tree/d.txt, and the unreadable folder tree/a
    // and file tree/c.txt; `addMore` may add entries before the tree is opened to everyone.
    void MakeTreeWithUnreadableEntries(const std::function<void()>& addMore = {});
    // For a file that shrinks, grows or vanishes once the archive length has gone out, between two files
    // that stay: runs the archive, checks that one warning names the file, and hands the saved archive to
    // `checkArchive`.
    void ForEachFileChangedAfterListing(const std::function<void(const std::string& archive)>& checkArchive);
    // A client gone in the middle of the data ends the request at once, as a failure.
    void ExpectAFailedWriteEndsTheRequest();
    // Links out of the share, selected or met in a walk, bring nothing of the outside into the archive
    // even when the host resolves every name without looking at links; one that stays inside is taken.
    void ExpectNothingOutsideTheShareEvenFromACarelessHost();

    TempDir share;
    TempDir work;
    PluginLibrary plugin;

private:
    std::string m_contentType;
    std::string m_extension;
};

} // namespace PluginTest
