// Building the palette's 64 x 64 x 64 nearest-colour table, against the plain
// per-colour search it replaces, and converting pixels through the table.
#include <benchmark/benchmark.h>

#include <vector>

#include "dib/cDIBPalette.h"
#include "support/DibSamples.h"

namespace {

using tarnwick::test::ColouredPaletteEntries;

void BM_BuildTable(benchmark::State& state, const TDIBPaletteEntries& e) {
    std::vector<std::uint8_t> table(kDIBPaletteTableSize);
    for (auto _ : state) {
        DIBBuildLookupTable(e, table.data());
        benchmark::DoNotOptimize(table.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kDIBPaletteTableSize));
}

// The table built by one NearestIndex call per colour, for comparison.
void BM_BuildTablePlainSearch(benchmark::State& state, const TDIBPaletteEntries& e) {
    std::vector<std::uint8_t> table(kDIBPaletteTableSize);
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            for (int j = 0; j < 64; ++j)
                for (int k = 0; k < 64; ++k)
                    table[i * 4096 + j * 64 + k] = std::uint8_t(DIBNearestIndex(
                        e, std::uint8_t(k * 4), std::uint8_t(j * 4), std::uint8_t(i * 4)));
        benchmark::DoNotOptimize(table.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kDIBPaletteTableSize));
}

void BM_NearestIndex(benchmark::State& state) {
    const TDIBPaletteEntries e = ColouredPaletteEntries();
    std::uint32_t c = 12345;
    for (auto _ : state) {
        c = c * 1664525u + 1013904223u;
        benchmark::DoNotOptimize(
            DIBNearestIndex(e, std::uint8_t(c >> 8), std::uint8_t(c >> 16), std::uint8_t(c >> 24)));
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_BuildTable, grey_ramp, DIBDefaultPaletteEntries())
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildTable, coloured, ColouredPaletteEntries())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildTablePlainSearch, grey_ramp, DIBDefaultPaletteEntries())
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildTablePlainSearch, coloured, ColouredPaletteEntries())
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NearestIndex);

BENCHMARK_MAIN();
