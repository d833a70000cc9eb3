// Log lines reaching the log view's handler on the GUI thread while eight threads log, as under a
// server answering thousands of requests a second: lines per second, and the handler's calls (each a
// wake of the GUI thread and a turn of its event loop) per thousand lines, without a quiet period and
// with the views' own. The handler only takes the lines, so what is timed is the path to it.
#include "core/log/LogQueue.h"
#include "core/log/NotifyMessages.h"
#include "shell/views/QueuedNotificationTarget.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <atomic>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Vuxo;

constexpr int kThreads = 8;
constexpr int kLinesPerThread = 20000;

void BM_LogLinesToTheView(benchmark::State& state) {
    LogQueue queue;
    int64_t calls = 0;
    int64_t shown = 0;
    QueuedNotificationTarget target(
        [&] {
            ++calls;
            std::deque<LogEntry> entries;
            shown += static_cast<int64_t>(queue.PopBatch(entries, LogQueue::kCapacity));
        },
        nullptr, static_cast<int>(state.range(0)));
    queue.SetTarget(&target, WM_LOG_ADDED, 0, 0);
    const std::u16string line = u"[12/10 10:00:00] [127.0.0.1] SendFile 시작: share/small/4k.bin";
    for (auto _ : state) {
        std::atomic<int> running{kThreads};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < kLinesPerThread; ++i) {
                    queue.Push(2, line);
                }
                --running;
            });
        }
        while (running.load() > 0 || target.IsPending()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    queue.SetTarget(nullptr, 0, 0, 0);
    const double lines = static_cast<double>(state.iterations()) * kThreads * kLinesPerThread;
    state.SetItemsProcessed(static_cast<int64_t>(lines));
    state.counters["calls/1k lines"] = static_cast<double>(calls) * 1000 / lines;
    state.counters["shown"] = static_cast<double>(shown) / lines;
}
BENCHMARK(BM_LogLinesToTheView)->Arg(0)->Arg(QueuedNotificationTarget::kViewQuietMs)->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
