// The translation of the built-in texts that every request logs or shows (Tr), with a language loaded,
// from one thread and from many at once (lookups per second).
#include "core/i18n/LocalizationStringTable.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>

namespace {

using namespace Vuxo;

// A few hundred pairs, as a language file has, and the texts a download and a folder page ask for.
void LoadLanguage() {
    std::ostringstream body;
    for (int i = 0; i < 400; ++i) {
        body << "\"텍스트 " << i << "\" = \"text " << i << "\"\n";
    }
    body << "\"SendFile 시작\" = \"SendFile start\"\n\"SendFile 성공\" = \"SendFile done\"\n";
    std::istringstream in(body.str());
    if (!LocalizationStringTable::GetInstance().Load(in)) {
        std::fprintf(stderr, "bench_i18n: the language did not load\n");
    }
}

void BM_TranslateRequestTexts(benchmark::State& state) {
    if (state.thread_index() == 0) {
        LoadLanguage();
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Tr("SendFile 시작"));
        benchmark::DoNotOptimize(Tr("SendFile 성공"));
        benchmark::DoNotOptimize(Tr("주소: /")); // no translation: the built-in text
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_TranslateRequestTexts)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
