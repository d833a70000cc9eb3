// Cost of reporting one chunk to the program's aggregator while 100 transfers are live, with and
// without a speed limit (the limit is too high to make anyone pause, so only the bookkeeping is
// measured), from one thread and from many at once; the whole life of one small request as a
// connection thread reports it, from up to 64 threads at once; and the cost of one re-sharing of a limit.
#include "core/transfer/Clock.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "core/transfer/TransferStatusReporter.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Vuxo;

constexpr int kLiveTransfers = 100;
constexpr uint64_t kChunk = 16384;
constexpr int64_t kHighLimit = int64_t{1} << 50;

struct LiveTransfers {
    explicit LiveTransfers(GuiTransferStatusAggregator& aggregator) {
        for (int i = 0; i < kLiveTransfers; ++i) {
            reporters.push_back(std::make_unique<TransferStatusReporter>(&aggregator));
            reporters.back()->SetRequest("/share/file" + std::to_string(i) + ".bin");
            reporters.back()->SetRemoteAddress("10.0.0." + std::to_string(i % 25));
            reporters.back()->AddTransferredBytes(kDirectionDownload, kChunk);
        }
    }
    std::vector<std::unique_ptr<TransferStatusReporter>> reporters;
};

void ReportChunks(benchmark::State& state, int64_t limit) {
    static GuiTransferStatusAggregator* aggregator = nullptr;
    static LiveTransfers* live = nullptr;
    if (state.thread_index() == 0) {
        aggregator = new GuiTransferStatusAggregator(SteadyClock::Instance());
        aggregator->SetSpeedLimit(kDirectionDownload, limit);
        live = new LiveTransfers(*aggregator);
    }
    // Each thread reports on its own slice of the live transfers, as connection threads do.
    const int threads = state.threads();
    int next = state.thread_index();
    for (auto _ : state) {
        live->reporters[next]->AddTransferredBytes(kDirectionDownload, kChunk);
        next += threads;
        if (next >= kLiveTransfers) {
            next = state.thread_index();
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        delete live;
        delete aggregator;
    }
}

void BM_ReportWithoutLimit(benchmark::State& state) {
    ReportChunks(state, GuiTransferStatusAggregator::kNoLimit);
}
BENCHMARK(BM_ReportWithoutLimit)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

void BM_ReportWithLimit(benchmark::State& state) {
    ReportChunks(state, kHighLimit);
}
BENCHMARK(BM_ReportWithLimit)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

// One 4 KiB download as the server reports it: the request's texts, its size and start, one chunk, and
// the record's removal when the request ends. Every thread is one connection.
void BM_SmallRequestLife(benchmark::State& state) {
    static GuiTransferStatusAggregator* aggregator = nullptr;
    if (state.thread_index() == 0) {
        aggregator = new GuiTransferStatusAggregator(SteadyClock::Instance());
    }
    const std::string request = "/share/small/4k.bin";
    const std::string address = "10.0.0." + std::to_string(state.thread_index() % 25);
    for (auto _ : state) {
        TransferStatusReporter reporter(aggregator);
        reporter.SetRequestTexts(request, address, std::string());
        reporter.SetTotalSize(kDirectionDownload, 4096);
        reporter.SetPosition(kDirectionDownload, 0);
        reporter.AddTransferredBytes(kDirectionDownload, 4096 + 120);
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        delete aggregator;
    }
}
BENCHMARK(BM_SmallRequestLife)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

// Every report lands in a new re-sharing period, so each one shares the limit among all 100 transfers.
void BM_ReshareLimit(benchmark::State& state) {
    ManualClock clock;
    GuiTransferStatusAggregator aggregator(clock);
    aggregator.SetSpeedLimit(kDirectionDownload, kHighLimit);
    LiveTransfers live(aggregator);
    int next = 0;
    for (auto _ : state) {
        clock.AdvanceMs(GuiTransferStatusAggregator::kReallocateIntervalMs);
        live.reporters[next]->AddTransferredBytes(kDirectionDownload, kChunk);
        next = (next + 1) % kLiveTransfers;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReshareLimit);

} // namespace

BENCHMARK_MAIN();
