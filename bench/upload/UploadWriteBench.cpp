// Storing an upload's body as the connection thread does: a 1 MiB buffer is filled from a TCP connection
// on 127.0.0.1 (a sender thread writes as fast as it can) and then written to the temporary file, either
// on the same thread or handed to the write-behind thread so that the next receive overlaps the write
// (bytes/s; 64 MiB per file, into the page cache).
#include "service/upload/TemporaryUploadFile.h"
#include "service/upload/WriteBehindFile.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using namespace Vuxo;

constexpr size_t kBuffer = 1024 * 1024;
constexpr int kBuffers = 64;

struct Folder {
    Folder() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/corvanta-bench-XXXXXX";
        path = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string(".");
    }
    ~Folder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::string path;
};

// A connection on 127.0.0.1 whose far end sends a file from the page cache (with sendfile, as a fast
// client would) over and over until it is closed.
class Stream {
public:
    explicit Stream(const std::string& source) {
        std::signal(SIGPIPE, SIG_IGN); // sendfile has no MSG_NOSIGNAL, and the receiver shuts down first
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        const int sender = ::socket(AF_INET, SOCK_STREAM, 0);
        m_ok = ::connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        m_receiver = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        {
            std::ofstream(source, std::ios::binary) << std::string(kBuffers * kBuffer, 'u');
        }
        m_sender = std::thread([this, sender, file = ::open(source.c_str(), O_RDONLY)] {
            off_t offset = 0;
            while (!m_stop && file >= 0) {
                const ssize_t n = ::sendfile(sender, file, &offset, kBuffers * kBuffer - offset);
                if (n <= 0) {
                    break;
                }
                offset = offset == static_cast<off_t>(kBuffers * kBuffer) ? 0 : offset;
            }
            ::close(file);
            ::close(sender);
        });
    }
    ~Stream() {
        m_stop = true;
        ::shutdown(m_receiver, SHUT_RDWR);
        m_sender.join();
        ::close(m_receiver);
    }
    bool Fill(std::vector<char>& buffer) {
        for (size_t filled = 0; filled < buffer.size();) {
            const ssize_t n = ::recv(m_receiver, buffer.data() + filled, buffer.size() - filled, 0);
            if (n <= 0) {
                return false;
            }
            filled += static_cast<size_t>(n);
        }
        return m_ok;
    }

private:
    bool m_ok = false;
    int m_receiver = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_sender;
};

void BM_StoreUploadBody(benchmark::State& state) {
    static Folder folder;
    Stream stream(folder.path + "/source.bin");
    const bool behind = state.range(0) != 0;
    std::vector<char> buffer(kBuffer);
    for (auto _ : state) {
        TemporaryUploadFile file;
        bool stored = file.Create(folder.path, "body.bin");
        {
            WriteBehindFile writer(file);
            for (int i = 0; i < kBuffers && stored; ++i) {
                buffer.resize(kBuffer);
                stored = stream.Fill(buffer) && (behind ? writer.Write(buffer, kBuffer, i + 1 == kBuffers)
                                                        : file.Write(buffer.data(), kBuffer));
            }
            stored = stored && writer.Finish();
        }
        if (!stored || !file.Discard()) {
            state.SkipWithError("the body could not be received or stored");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBuffers * static_cast<int64_t>(kBuffer));
}
BENCHMARK(BM_StoreUploadBody)->ArgName("behind")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
