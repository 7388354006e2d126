// Speed of the editor's drawing hot path: the row routines on a surface of the
// editor's size against a plain memcpy of the same pixels, film-strip frames,
// rotation and stretching. Figures are megapixels per second ("MPix/s").

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "dib/cDIB.h"
#include "support/DibSamples.h"

namespace {

constexpr int kW = 336, kH = 157;

using tarnwick::test::Randomise;

void CountPixels(benchmark::State& state, double pixelsPerIteration) {
    state.counters["MPix/s"] = benchmark::Counter(
        pixelsPerIteration * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_MemcpyFloor(benchmark::State& state) {
    std::vector<std::uint32_t> src(kW * kH, 0x12345678u), dst(kW * kH);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    CountPixels(state, kW * kH);
}
BENCHMARK(BM_MemcpyFloor);

enum Mode { kCopy, kOpacity, kMasked, kMaskedOpacity, kTransparent, kTransparentOpacity };

void BM_Draw(benchmark::State& state) {
    const Mode mode = Mode(state.range(0));
    const int level = int(state.range(1));
    if (level > DIBHighestVectorLevel()) {
        state.SkipWithError("the processor lacks this vector width");
        return;
    }
    SetDIBVectorLevel(level);
    TMemoryDIB src(kW, kH), dst(kW, kH);
    Randomise(src, 1);
    Randomise(dst, 2);
    src.SetMasked(mode == kMasked || mode == kMaskedOpacity);
    src.SetTransparent(mode == kTransparent || mode == kTransparentOpacity);
    src.SetOpacity(mode == kOpacity || mode == kMaskedOpacity || mode == kTransparentOpacity ? 128
                                                                                             : 255);
    src.SetTransparentMode(tmFixed);
    src.SetTransparentColor(PixelToColor(PixelWord(src.Bits()[0])));
    for (auto _ : state) {
        src.Draw(0, 0, kW, kH, &dst, 0, 0);
        benchmark::ClobberMemory();
    }
    CountPixels(state, kW * kH);
    SetDIBVectorLevel(DIBHighestVectorLevel());
}
// mode: 0 copy, 1 opacity, 2 masked, 3 masked with opacity, 4 transparent,
// 5 transparent with opacity; vec: 0 SSE2, 1 AVX2, 2 AVX-512BW.
BENCHMARK(BM_Draw)->ArgNames({"mode", "vec"})->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1, 2}});

void BM_DrawGlyph(benchmark::State& state) {
    // One 80 x 80 frame of a 63-frame knob strip, masked as knob pictures are.
    TMemoryDIB strip(80 * 63, 80), dst(kW, kH);
    Randomise(strip, 3);
    Randomise(dst, 4);
    strip.SetMasked(true);
    int frame = 0;
    for (auto _ : state) {
        DrawGlyph(&strip, 20, 40, frame, 63, &dst);
        frame = (frame + 1) % 63;
        benchmark::ClobberMemory();
    }
    CountPixels(state, 80 * 80);
}
BENCHMARK(BM_DrawGlyph);

void BM_RenderTransformed30(benchmark::State& state) {
    TMemoryDIB src(80, 80);
    Randomise(src, 5);
    src.SetAngle(30);
    const TDIBSize box = CalcRotatedSize(80, 80, 30, 100, 100);
    TMemoryDIB dst(box.Width, box.Height);
    for (auto _ : state) {
        src.RenderTransformed(&dst);
        benchmark::ClobberMemory();
    }
    CountPixels(state, double(box.Width) * box.Height);
}
BENCHMARK(BM_RenderTransformed30);

void BM_StretchFrom(benchmark::State& state) {
    // A slider background stretched to the surface.
    TMemoryDIB src(80, 40), dst(kW, kH);
    Randomise(src, 6);
    for (auto _ : state) {
        dst.StretchFrom(&src);
        benchmark::ClobberMemory();
    }
    CountPixels(state, kW * kH);
}
BENCHMARK(BM_StretchFrom);

}  // namespace

BENCHMARK_MAIN();
