// The module's editor on X11, as a host drives it through the dispatcher:
// opening it up to its first frame on the screen (at 100 % and at the device
// scales, whose pictures are drawn as it opens), an idle call when nothing
// changed, an idle call that moves the level meter, and the memory one open
// editor adds. Needs an X server; run it under the test's own:
//   bash tests/platform/x11/with_xvfb.sh Xvfb build/bench/bench_editor_x11
// The memory figure is that of the process's first editor: run it alone
// (--benchmark_filter=Memory), or it sees memory the others left behind.
// The idle figures come twice: in a tight loop (the warm limit) and at a
// host's cadence, one call every 20 ms, which is what a host pays. Calls go
// through the effect record's dispatcher, as a host's do. NoCall measures
// the clock reads alone: what the cadence figures hold besides the call.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "artwork/Pictures.h"
#include "editor/uEditor.h"
#include "module/ModuleEditor.h"
#include "plugin/uPlugin.h"

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>

namespace {

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A host's connection, its top-level window and a gate with the module's editor.
struct Daw {
    Display* display = XOpenDisplay(nullptr);
    ::Window top = 0;
    std::unique_ptr<APlugin> gate;
    Daw() {
        if (!display) return;
        top = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 200, 0, 0, 0);
        XMapWindow(display, top);
        XSync(display, False);
        gate = std::make_unique<APlugin>(Host, tarnwick::module::CreateEditor);
    }
    ~Daw() {
        gate.reset();
        if (display) XCloseDisplay(display);
    }
    VstIntPtr Dispatch(VstInt32 opcode, void* ptr = nullptr) {
        AEffect* effect = gate->getAeffect();
        return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
    }
    bool Open() { return Dispatch(effEditOpen, reinterpret_cast<void*>(top)) == 1; }
};

// Resident memory of the process in bytes.
double Resident() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// The argument is the device scale in percent. Compare the CPU column: the
// goal is at most 2.5 times the 100 % figure at 200 %.
void BM_EditOpenToFirstFrame(benchmark::State& state) {
    Daw daw;
    if (!daw.display) return state.SkipWithError("no X server");
    auto* editor = dynamic_cast<APluginEditor*>(daw.gate->getEditor());
    if (!editor) return state.SkipWithError("the module has no editor window");
    editor->setScale(static_cast<double>(state.range(0)) / 100.0);
    for (auto _ : state) {
        // The editor's own connection has put and synced the first frame
        // when effEditOpen returns.
        if (!daw.Open()) return state.SkipWithError("the editor did not open");
        state.PauseTiming();
        daw.Dispatch(effEditClose);
        state.ResumeTiming();
    }
}

// What opening would cost with every frame of every picture drawn at once
// (the argument is the scale in percent), against the frames on first use
// that the editor draws: the figure the lazy film strips save.
void BM_DrawAllPictures(benchmark::State& state) {
    const int percent = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(tarnwick::artwork::DrawEditorPictures(percent));
}

void BM_IdleUntouched(benchmark::State& state) {
    Daw daw;
    if (!daw.display || !daw.Open()) return state.SkipWithError("no X server");
    for (int i = 0; i < 10; ++i) daw.Dispatch(effEditIdle);
    for (auto _ : state) daw.Dispatch(effEditIdle);
}

void BM_IdleMeterMoving(benchmark::State& state) {
    Daw daw;
    if (!daw.display || !daw.Open()) return state.SkipWithError("no X server");
    int step = 0;
    for (auto _ : state) {
        // Each call shows the next of the meter's eleven levels.
        daw.gate->keyPeak.store(static_cast<float>(step++ % 11) / 10.0f + 0.05f);
        daw.Dispatch(effEditIdle);
    }
}

// One idle call every 20 ms, as hosts call it: between calls the host's
// other work (here a sleep) leaves the caches and the connection cold. The
// Time column is what the call took, on the monotonic clock, which is read
// without a system call (the thread's CPU clock costs one, about 3 us cold,
// and would count it); the CPU column adds the sleep's. The argument is the
// device scale in percent. median_us is the call on which no timer ticks,
// p95_us one on which the editor's parameter timer does (every fifth). With
// MeterMoving each call shows the next of the meter's levels; NoCall makes
// no call between the clock reads.
enum class Cadence { Untouched, MeterMoving, NoCall };
void BM_IdleAtAHostsCadence(benchmark::State& state, Cadence what) {
    Daw daw;
    if (!daw.display) return state.SkipWithError("no X server");
    if (auto* editor = dynamic_cast<APluginEditor*>(daw.gate->getEditor()))
        editor->setScale(static_cast<double>(state.range(0)) / 100.0);
    if (!daw.Open()) return state.SkipWithError("the editor did not open");
    for (int i = 0; i < 10; ++i) daw.Dispatch(effEditIdle);
    int step = 0;
    std::vector<double> took;
    took.reserve(state.max_iterations);
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (what == Cadence::MeterMoving)
            daw.gate->keyPeak.store(static_cast<float>(step++ % 11) / 10.0f + 0.05f);
        const auto start = std::chrono::steady_clock::now();
        if (what != Cadence::NoCall) daw.Dispatch(effEditIdle);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        took.push_back(seconds * 1e6);
    }
    std::sort(took.begin(), took.end());
    state.counters["median_us"] = took[took.size() / 2];
    state.counters["p95_us"] = took[took.size() * 95 / 100];
}

void BM_MemoryOfAnOpenEditor(benchmark::State& state) {
    Daw daw;
    if (!daw.display) return state.SkipWithError("no X server");
    // The first editor of the process: what it loads once for every later
    // one (class tables, the font) counts too, so this is an upper bound.
    double added = 0;
    for (auto _ : state) {
        const double before = Resident();
        daw.Open();
        daw.Dispatch(effEditIdle);
        added = Resident() - before;
        daw.Dispatch(effEditClose);
    }
    state.counters["added_MB"] = added / (1024.0 * 1024.0);
}

BENCHMARK(BM_EditOpenToFirstFrame)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->Arg(300)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawAllPictures)->Arg(100)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleUntouched)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IdleMeterMoving)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IdleAtAHostsCadence, Untouched, Cadence::Untouched)
    ->Arg(100)
    ->Arg(200)
    ->Arg(300)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IdleAtAHostsCadence, MeterMoving, Cadence::MeterMoving)
    ->Arg(100)
    ->Arg(200)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IdleAtAHostsCadence, NoCall, Cadence::NoCall)
    ->Arg(100)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryOfAnOpenEditor)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
