// A folder page of 1,000 entries with the built-in default skin, as a browser gets it: a real server over
// a temporary program folder (day log on, transfers reported), fetched on keep-alive connections over
// loopback, from one connection and from several at once (pages per second).
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace Vuxo;
using namespace Vuxo::Fixtures;

constexpr int kEntries = 1000;

FixtureServer* g_server = nullptr;

void StartServer() {
    g_server = new FixtureServer([](QuilloConfig& config) { config.defaultSkin.Set(""); });
    const std::string folder = g_server->MakeShare("list");
    for (int i = 1; i <= kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%04d.txt", i);
        WriteFile(folder + "/" + name, std::string("entry ") + name + "\n");
    }
    if (!g_server->Start()) {
        std::fprintf(stderr, "bench_pages: the server did not start\n");
    }
}

void BM_FolderPage(benchmark::State& state) {
    if (state.thread_index() == 0) {
        StartServer();
    }
    {
        // Connected in the loop: the threads start it together, once the server above is up.
        std::unique_ptr<TestHttpClient> client;
        int64_t bytes = 0;
        for (auto _ : state) {
            if (!client) {
                client = std::make_unique<TestHttpClient>(g_server->Port());
            }
            client->SendGet("/list/");
            const HttpResponse response = client->ReadResponse();
            if (response.status != 200 || !response.complete) {
                state.SkipWithError("the page did not arrive");
                break;
            }
            bytes += static_cast<int64_t>(response.body.size());
        }
        state.SetItemsProcessed(state.iterations());
        state.SetBytesProcessed(bytes);
    }
    if (state.thread_index() == 0) {
        delete g_server;
        g_server = nullptr;
    }
}
BENCHMARK(BM_FolderPage)->Threads(1)->Threads(8)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
