// The X11 back end's share of an editor's idle calls, with a window of the
// editor's size in a host window: a pump when nothing changed, a pump that
// puts the whole window or a meter-sized strip, and opening a window up to
// its first frame. Needs an X server; run it under the test's own:
//   bash tests/platform/x11/with_xvfb.sh Xvfb build/bench/bench_x11_pump
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/Window.h"
#include "platform/x11/X11.h"

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>

namespace {

using namespace tarnwick::platform;

constexpr int kWidth = 336;
constexpr int kHeight = 157;

// A host's connection and top-level window for the editor.
struct Host {
    Display* display = XOpenDisplay(nullptr);
    ::Window top = 0;
    Host() {
        if (!display) return;
        top = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0,
                                  0);
        XMapWindow(display, top);
        XSync(display, False);
    }
    ~Host() {
        if (display) XCloseDisplay(display);
    }
};

void Pumps(benchmark::State& state, WindowRect changed) {
    Host host;
    if (!host.display) return state.SkipWithError("no X server");
    auto window = CreateChildWindow(host.top, kWidth, kHeight);
    for (int i = 0; i < 20; ++i) x11::Pump();  // the first frame and its exposure
    for (auto _ : state) {
        window->Invalidate(changed);
        x11::Pump();
    }
}

void BM_PumpUnchanged(benchmark::State& state) { Pumps(state, {}); }
void BM_PumpWholeWindow(benchmark::State& state) { Pumps(state, {0, 0, kWidth, kHeight}); }
void BM_PumpMeterStrip(benchmark::State& state) { Pumps(state, {300, 10, 320, 150}); }

void BM_OpenToFirstFrame(benchmark::State& state) {
    Host host;
    if (!host.display) return state.SkipWithError("no X server");
    for (auto _ : state) {
        auto window = CreateChildWindow(host.top, kWidth, kHeight);
        window->InvalidateAll();
        x11::Pump();
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_PumpUnchanged);
BENCHMARK(BM_PumpWholeWindow);
BENCHMARK(BM_PumpMeterStrip);
BENCHMARK(BM_OpenToFirstFrame);

}  // namespace

BENCHMARK_MAIN();
