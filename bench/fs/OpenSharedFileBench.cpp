// Opening one file below a share for reading, as every download of it does (the open below the share's
// folder, its size, its share lock, the close), from one thread and from many at once on the same file
// (opens per second): the many connections of one popular file must not queue behind each other.
#include "core/platform/fs/FileCalls.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace {

using namespace Vuxo;

struct ShareUnderTest {
    ShareUnderTest() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/corvanta-bench-XXXXXX";
        root = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string(".");
        std::filesystem::create_directories(root + "/small");
        std::ofstream(root + "/small/4k.bin", std::ios::binary) << std::string(4096, 'x');
    }
    ~ShareUnderTest() {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
    std::string root;
};

void BM_OpenOneFileForReading(benchmark::State& state) {
    static ShareUnderTest share;
    const FileOpenRequest request{};
    for (auto _ : state) {
        int error = 0;
        int64_t size = -1;
        FileDescriptor file = OpenRegularFileBeneath(share.root, "small/4k.bin", request, &error, &size);
        if (!file.IsValid() || size != 4096) {
            state.SkipWithError("the file did not open");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenOneFileForReading)->Threads(1)->Threads(8)->Threads(64)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
