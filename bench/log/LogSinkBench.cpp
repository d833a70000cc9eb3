// The server's log sink as every download and folder page uses it: one request line through the trace
// entry point to the day log file and the log queue, from one thread and from many at once (lines per
// second). The queue is drained as the log view would, so it never stays full. Then the log queue's push
// alone, as the sink makes it for every line the log view shows, with a taker that keeps room.
#include "core/log/LogQueue.h"
#include "core/log/Trace.h"
#include "service/config/QuilloConfig.h"
#include "service/server/ServerLogSink.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace {

using namespace Vuxo;

struct SinkUnderTest {
    // `drainPauseMs` 0: the queue is taken as fast as it fills, so pushes find room rather than a full
    // queue that drops them.
    explicit SinkUnderTest(int drainPauseMs = 1)
        : folder(MakeFolder()), config(folder), sink(config, folder, queue), pauseMs(drainPauseMs),
          drainer([this] { Drain(); }) {
        sink.Install();
    }
    ~SinkUnderTest() {
        sink.Uninstall();
        stop.store(true);
        drainer.join();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    static std::string MakeFolder() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/corvanta-bench-XXXXXX";
        return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string(".");
    }
    void Drain() {
        LogEntry entry;
        while (!stop.load()) {
            while (queue.Pop(entry)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }

    std::string folder;
    QuilloConfig config;
    LogQueue queue;
    ServerLogSink sink;
    const int pauseMs;
    std::atomic<bool> stop{false};
    std::thread drainer;
};

void BM_RequestLogLine(benchmark::State& state) {
    static SinkUnderTest* sink = nullptr;
    if (state.thread_index() == 0) {
        sink = new SinkUnderTest;
    }
    for (auto _ : state) {
        Trace(LOG_INFO, "[%s] %s: %s", "127.0.0.1", "SendFile 시작", "share/small/4k.bin");
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        delete sink;
        sink = nullptr;
    }
}
BENCHMARK(BM_RequestLogLine)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

void BM_LogQueuePush(benchmark::State& state) {
    static SinkUnderTest* sink = nullptr;
    if (state.thread_index() == 0) {
        sink = new SinkUnderTest(0);
    }
    for (auto _ : state) {
        sink->queue.Push(LOG_INFO, u"[12/11 00:00:00] [127.0.0.1] SendFile 시작: share/small/4k.bin");
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        delete sink;
        sink = nullptr;
    }
}
BENCHMARK(BM_LogQueuePush)->Threads(1)->Threads(8)->Threads(64)->Threads(512)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
