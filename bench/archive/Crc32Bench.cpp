// CRC-32 throughput over the archive writers' 256 KiB blocks: the plug-ins' Crc32Update against zlib's
// crc32_z, which it used before (bytes per second).
#include "plugin/sdk/ContentSource.h"
#include "plugin/sdk/Crc32.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<unsigned char> RandomBlock() {
    std::vector<unsigned char> block(Vuxo::kArchiveBlockSize);
    std::mt19937 random(7);
    for (unsigned char& byte : block) {
        byte = static_cast<unsigned char>(random());
    }
    return block;
}

void BM_Crc32Update(benchmark::State& state) {
    const std::vector<unsigned char> block = RandomBlock();
    uint32_t crc = 0xFFFFFFFF;
    for (auto _ : state) {
        crc = Vuxo::Crc32Update(crc, block.data(), block.size());
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}
BENCHMARK(BM_Crc32Update);

void BM_ZlibCrc32(benchmark::State& state) {
    const std::vector<unsigned char> block = RandomBlock();
    uLong crc = crc32_z(0, nullptr, 0);
    for (auto _ : state) {
        crc = crc32_z(crc, block.data(), block.size());
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}
BENCHMARK(BM_ZlibCrc32);

} // namespace

BENCHMARK_MAIN();
