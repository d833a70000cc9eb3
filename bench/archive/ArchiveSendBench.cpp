// Sending an archive's file data as the ZIP writer does: 64 files of 1 MiB (in the page cache) read in
// 256 KiB blocks, summed with CRC-32 and sent over a TCP connection on 127.0.0.1 to a thread that
// discards them. Either each block is read and summed on the sending thread before it is sent, or a
// ReadAheadContent reads and sums ahead on a thread of its own (bytes/s).
#include "plugin/sdk/ContentSource.h"
#include "plugin/sdk/Crc32.h"
#include "plugin/sdk/ReadAheadContent.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Vuxo;

constexpr int kFiles = 64;
constexpr size_t kFileSize = 1024 * 1024;

struct Files {
    Files() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/corvanta-bench-XXXXXX";
        folder = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string(".");
        const std::string data(kFileSize, 'z');
        for (int i = 0; i < kFiles; ++i) {
            std::ofstream(folder + "/" + std::to_string(i)) << data;
        }
    }
    ~Files() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::string folder;
};

// A connected pair on 127.0.0.1 whose far end a thread reads and throws away.
struct DiscardingConnection {
    DiscardingConnection() {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::abort();
        }
        sender = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            std::abort();
        }
        const int receiver = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        drain = std::thread([receiver] {
            std::vector<char> buffer(1024 * 1024);
            while (::recv(receiver, buffer.data(), buffer.size(), 0) > 0) {
            }
            ::close(receiver);
        });
    }
    ~DiscardingConnection() {
        ::shutdown(sender, SHUT_WR);
        drain.join();
        ::close(sender);
    }
    void Send(const char* data, size_t length) const {
        while (length > 0) {
            const ssize_t sent = ::send(sender, data, length, MSG_NOSIGNAL);
            if (sent <= 0) {
                std::abort();
            }
            data += sent;
            length -= static_cast<size_t>(sent);
        }
    }
    int sender = -1;
    std::thread drain;
};

void BM_SendFilesInline(benchmark::State& state) {
    const Files files;
    const DiscardingConnection connection;
    std::vector<char> block(kArchiveBlockSize);
    for (auto _ : state) {
        for (int i = 0; i < kFiles; ++i) {
            PlainFileSource source;
            source.Open(files.folder, std::to_string(i));
            uint32_t crc = 0xFFFFFFFF;
            StreamListedContent(&source, kFileSize, block, [&](const char* data, size_t length) {
                crc = Crc32Update(crc, data, length);
                connection.Send(data, length);
            });
            benchmark::DoNotOptimize(crc);
        }
    }
    state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileSize));
}
BENCHMARK(BM_SendFilesInline)->UseRealTime();

void BM_SendFilesReadAhead(benchmark::State& state) {
    const Files files;
    const DiscardingConnection connection;
    for (auto _ : state) {
        ReadAheadContent content(kFiles, [&](size_t index) {
            auto source = std::make_unique<PlainFileSource>();
            source->Open(files.folder, std::to_string(index));
            return ReadAheadContent::File{std::move(source), kFileSize};
        });
        for (int i = 0; i < kFiles; ++i) {
            const auto result =
                content.SendNext([&](const char* data, size_t length) { connection.Send(data, length); });
            benchmark::DoNotOptimize(result);
        }
    }
    state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileSize));
}
BENCHMARK(BM_SendFilesReadAhead)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
