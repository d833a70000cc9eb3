#include "PluginTestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace PluginTest {

namespace {

template <typename Function> Function Bind(void* handle, const char* name) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("missing export ") + name);
    }
    return reinterpret_cast<Function>(symbol);
}

} // namespace

std::string PluginLibrary::PathOf(const std::string& name) {
    return std::string(CORVANTA_PROGRAM_DIR) + "/plugin/" + name + "/" + name + ".so";
}

PluginLibrary::PluginLibrary(const std::string& name, const HostApi* table) {
    handle = ::dlopen(PathOf(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw std::runtime_error(std::string("dlopen: ") + ::dlerror());
    }
    initialize = Bind<CorvantaInitializeFunction>(handle, CORVANTA_EXPORT_INITIALIZE);
    finalize = Bind<CorvantaFinalizeFunction>(handle, CORVANTA_EXPORT_FINALIZE);
    getName = Bind<CorvantaGetTextFunction>(handle, CORVANTA_EXPORT_GET_NAME);
    getAuthor = Bind<CorvantaGetTextFunction>(handle, CORVANTA_EXPORT_GET_AUTHOR);
    getVersion = Bind<CorvantaGetTextFunction>(handle, CORVANTA_EXPORT_GET_VERSION);
    getType = Bind<CorvantaGetTypeFunction>(handle, CORVANTA_EXPORT_GET_TYPE);
    getRequiredAuthority = Bind<CorvantaGetTextFunction>(handle, CORVANTA_EXPORT_GET_REQUIRED_AUTHORITY);
    onRequest = Bind<CorvantaOnRequestFunction>(handle, CORVANTA_EXPORT_ON_REQUEST);
    if (table != nullptr) {
        instance = initialize(table);
    }
}

PluginLibrary::~PluginLibrary() {
    if (finalize != nullptr) {
        finalize();
    }
    ::dlclose(handle);
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/corvanta-plugin-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    // Give back permissions a test may have taken away, then remove everything.
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    std::filesystem::remove_all(m_path, error);
}

void TempDir::MakeDir(const std::string& rel) const {
    std::filesystem::create_directories(*this / rel);
}

void TempDir::WriteFile(const std::string& rel, std::string_view content) const {
    std::filesystem::create_directories(std::filesystem::path(*this / rel).parent_path());
    SaveFile(*this / rel, content);
}

void TempDir::OpenToEveryone() const {
    ::chmod(m_path.c_str(), 0755);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path)) {
        ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
    }
}

bool RunUnprivileged(const PluginLibrary& plugin, FakeRequest& request) {
    if (::geteuid() != 0) {
        plugin.Run(request);
        return true;
    }
    int channel[2];
    if (::pipe(channel) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(2);
        }
        plugin.Run(request);
        const std::string message = request.response.Header("Content-Length") + "\n" + request.response.body;
        size_t done = 0;
        while (done < message.size()) {
            const ssize_t wrote = ::write(channel[1], message.data() + done, message.size() - done);
            if (wrote <= 0) {
                ::_exit(3);
            }
            done += static_cast<size_t>(wrote);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string message;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        message.append(buffer, static_cast<size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const size_t newline = message.find('\n');
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || newline == std::string::npos) {
        return false;
    }
    request.response.headers.emplace_back("Content-Length", message.substr(0, newline));
    request.response.body = message.substr(newline + 1);
    request.response.bodyBytes = request.response.body.size();
    return true;
}

void TempDir::SetModified(const std::string& rel, int64_t seconds) const {
    const struct timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    if (::utimensat(AT_FDCWD, (*this / rel).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throw std::runtime_error("utimensat failed");
    }
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), got);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

bool LineHas(const std::string& text, const std::string& first, const std::string& second) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const size_t at = line.find(first);
        if (at != std::string::npos && line.find(second, at + first.size()) != std::string::npos) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

void SaveFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    }
    return bytes;
}

uint16_t ReadU16(std::string_view bytes, size_t offset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(offset)) |
                                 static_cast<uint8_t>(bytes.at(offset + 1)) << 8);
}

uint32_t ReadU32(std::string_view bytes, size_t offset) {
    return ReadU16(bytes, offset) | static_cast<uint32_t>(ReadU16(bytes, offset + 2)) << 16;
}

uint64_t ReadU64(std::string_view bytes, size_t offset) {
    return ReadU32(bytes, offset) | static_cast<uint64_t>(ReadU32(bytes, offset + 4)) << 32;
}

uint32_t Crc32(std::string_view bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

FakeRequest MakeRequest(const std::string& share, const std::string& folder, const std::string& requestPath,
                        const std::string& selection) {
    FakeRequest request;
    request.shares[share] = folder;
    request.requestPath = requestPath;
    request.post["selectedFiles"] = selection;
    return request;
}

ArchivePluginTest::ArchivePluginTest(const std::string& library, std::string contentType,
                                     std::string extension)
    : plugin(library), m_contentType(std::move(contentType)), m_extension(std::move(extension)) {}

void ArchivePluginTest::RunArchive(FakeRequest& request) {
    plugin.Run(request);
    const FakeResponse& response = request.response;
    ASSERT_EQ(response.code, 200);
    ASSERT_EQ(response.Header("Content-Type"), m_contentType);
    ASSERT_EQ(response.Header("Content-Length"), std::to_string(response.bodyBytes));
    ASSERT_TRUE(response.ended);
}

std::string ArchivePluginTest::Save(const FakeRequest& request, const std::string& name) {
    const std::string path = work / name;
    SaveFile(path, request.response.body);
    return path;
}

FakeRequest ArchivePluginTest::ArchiveBackslashName() {
    share.WriteFile("d/..\\..\\evil.txt", "e");
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "d/\n");
    RunArchive(request);
    return request;
}

void ArchivePluginTest::MakeTreeWithUnreadableEntries(const std::function<void()>& addMore) {
    share.WriteFile("tree/a/x.txt", "x");
    share.WriteFile("tree/b/y.txt", "y");
    share.WriteFile("tree/c.txt", "c");
    share.WriteFile("tree/d.txt", "d");
    if (addMore) {
        addMore();
    }
    share.OpenToEveryone();
    ASSERT_EQ(::chmod((share / "tree/a").c_str(), 0), 0);
    ASSERT_EQ(::chmod((share / "tree/c.txt").c_str(), 0), 0);
}

void ArchivePluginTest::ForEachFileChangedAfterListing(
    const std::function<void(const std::string& archive)>& checkArchive) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> change;
    };
    const Case cases[] = {
        {"shrank", [](const std::string& path) { ASSERT_EQ(::truncate(path.c_str(), 3), 0); }},
        {"grew", [](const std::string& path) { SaveFile(path, std::string(20000, 'g')); }},
        {"vanished", [](const std::string& path) { ASSERT_EQ(::unlink(path.c_str()), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        folder.WriteFile("before.txt", "before");
        folder.WriteFile("changing.bin", std::string(10000, 'c'));
        folder.WriteFile("after.txt", "after");
        FakeRequest request =
            MakeRequest("share", folder.Path(), "share/", "before.txt\nchanging.bin\nafter.txt\n");
        const std::string changing = folder / "changing.bin";
        request.onHeader = [&](const std::string& name, const std::string&) {
            if (name == "Content-Length") {
                c.change(changing);
            }
        };
        RunArchive(request);
        ASSERT_EQ(request.logs.size(), 1u);
        EXPECT_EQ(request.logs[0].first, CORVANTA_LOG_WARNING);
        EXPECT_NE(request.logs[0].second.find(changing), std::string::npos);
        checkArchive(Save(request));
    }
}

void ArchivePluginTest::ExpectAFailedWriteEndsTheRequest() {
    share.WriteFile("big.bin", std::string(1 << 20, 'b'));
    share.WriteFile("more.bin", std::string(1 << 20, 'm'));
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "big.bin\nmore.bin\n");
    request.failAfterBytes = 1000;
    EXPECT_EQ(plugin.Run(request), 0);
    EXPECT_EQ(request.response.callsAfterFailure, 0);
    EXPECT_FALSE(request.response.ended);
}

void ArchivePluginTest::ExpectNothingOutsideTheShareEvenFromACarelessHost() {
    const std::string canary = "CANARY-outside-the-share";
    work.WriteFile("outside/secret.txt", canary);
    share.WriteFile("docs/a.txt", "inside");
    std::filesystem::create_symlink(work / "outside/secret.txt", share / "link-out.txt");
    std::filesystem::create_symlink(work / "outside/secret.txt", share / "docs/link-out.txt");
    std::filesystem::create_symlink("a.txt", share / "docs/link-in.txt");
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "link-out.txt\ndocs/\n");
    RunArchive(request);
    EXPECT_EQ(request.response.body.find(canary), std::string::npos);
    EXPECT_EQ(request.response.body.find("link-out.txt"), std::string::npos);
    EXPECT_NE(request.response.body.find("link-in.txt"), std::string::npos);
}

} // namespace PluginTest
