// Speed of the container's paint cycle on the editor's layout: a 336 x 157
// container on a form's native window with three 80 x 80 film-strip knobs,
// a slider and two switches, all drawn from pictures generated here. Two
// cases: the whole container recomposed and copied to the window, and one
// knob turned (it invalidates itself, the paint pass recomposes and copies
// its rectangle). Each reports "allocs_per_cycle", the heap allocations of
// one paint cycle after the first, counted by the test support's
// allocation counter (all of them with glibc).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "controls/cDIBKnob.h"
#include "controls/cDIBPanel.h"
#include "controls/cDIBSlider.h"
#include "framework/Forms.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "support/AllocationCounter.h"

namespace {

namespace input = tarnwick::platform::headless;

constexpr int kWidth = 336, kHeight = 157;
constexpr int kKnob = 80, kFrames = 63;

TDIBPixel Pixel(double r, double g, double b, double coverage) {
    auto byte = [](double v) { return std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return {byte(b), byte(g), byte(r), byte(coverage)};
}

// A masked picture of frames side by side, each a shaded disc with a soft
// one-pixel rim and an indicator line turned by the frame's share of 300
// degrees.
int AddDiscStrip(TDIBImageList* list, int size, int frames) {
    TDIBImagesItem* item = list->DIBImages()->Add();
    TMemoryDIB* dib = item->StoredDIB();
    dib->SetSize(size * frames, size);
    const double c = (size - 1) / 2.0, radius = size / 2.0 - 1;
    for (int f = 0; f < frames; ++f) {
        const double angle = (frames > 1 ? -150.0 + 300.0 * f / (frames - 1) : 0) * M_PI / 180;
        const double ux = std::sin(angle), uy = -std::cos(angle);
        for (int y = 0; y < size; ++y) {
            TDIBPixel* row = dib->ScanLine(y) + f * size;
            for (int x = 0; x < size; ++x) {
                const double dx = x - c, dy = y - c, d = std::hypot(dx, dy);
                const double coverage = radius + 0.5 - d;  // anti-aliased rim
                const double along = dx * ux + dy * uy, across = std::abs(dx * uy - dy * ux);
                const bool mark = along > radius * 0.3 && along < radius * 0.9 && across < 2;
                const double shade = 0.35 + 0.4 * (1 - (dx + dy) / (2 * size));
                row[x] = mark ? Pixel(0.95, 0.85, 0.3, coverage)
                              : Pixel(shade, shade, shade * 1.1, coverage);
            }
        }
    }
    dib->SetMasked(true);
    return item->Index();
}

// An opaque w x h picture in a vertical gradient between two grey levels.
int AddGradient(TDIBImageList* list, int w, int h, double top, double bottom) {
    TDIBImagesItem* item = list->DIBImages()->Add();
    TMemoryDIB* dib = item->StoredDIB();
    dib->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        const double v = top + (bottom - top) * y / std::max(1, h - 1);
        for (int x = 0; x < w; ++x) dib->ScanLine(y)[x] = Pixel(v, v, v, 1);
    }
    return item->Index();
}

// The editor-sized panel, painted once so that the surfaces exist.
struct Panel {
    std::unique_ptr<TForm> form;
    TDIBContainer* box = nullptr;
    TDIBKnob* knobs[3] = {};
    tarnwick::platform::Window* native = nullptr;

    Panel() {
        input::ResetServices();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, kWidth, kHeight);
        box = new TDIBContainer(form.get());
        box->SetBounds(0, 0, kWidth, kHeight);
        box->SetColor(TColor(0x302820));
        box->SetParent(form.get());
        auto* list = new TDIBImageList(form.get());
        native =
            tarnwick::platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(form->Handle()));

        const int strip = AddDiscStrip(list, kKnob, kFrames);
        for (int i = 0; i < 3; ++i) {
            auto* k = new TDIBKnob(box);
            k->SetParent(box);
            k->SetDIBImageList(list);
            k->SetNumGlyphs(kFrames);
            k->IndexMain()->SetDIBIndex(strip);
            k->SetBounds(8 + 88 * i, 8, kKnob, kKnob);
            k->SetMax(127);
            k->SetPosition(32 * i);
            knobs[i] = k;
        }

        const int toggle = AddDiscStrip(list, 32, 2);
        for (int i = 0; i < 2; ++i) {
            auto* s = new TDIBKnob(box);
            s->SetParent(box);
            s->SetDIBImageList(list);
            s->SetNumGlyphs(2);
            s->IndexMain()->SetDIBIndex(toggle);
            s->SetBounds(280, 16 + 48 * i, 32, 32);
            s->SetMax(1);
            s->SetPosition(i);
        }

        auto* slider = new TDIBSlider(box);
        slider->SetParent(box);
        slider->SetSliderType(stHorizontal);
        slider->SetDIBImageList(list);
        slider->IndexMain()->SetDIBIndex(AddGradient(list, 256, 12, 0.15, 0.3));
        slider->IndexPointer()->SetDIBIndex(AddGradient(list, 14, 24, 0.9, 0.6));
        slider->SetBounds(8, 112, 256, 24);
        slider->Loaded();
        slider->SetMax(127);
        slider->SetPosition(64);

        form->Update();
    }
    // The window's pixel at (x, y), 0x00RRGGBB.
    std::uint32_t Shown(int x, int y) const {
        return native->Pixels()[y * native->Width() + x] & 0xFFFFFF;
    }
    // Whether the composition reached the window: the container's colour in
    // a corner, a knob's face at its centre.
    bool Composed() const {
        return Shown(0, 0) == 0x202830 && Shown(8 + kKnob / 2, 8 + kKnob / 2 - 10) != 0x202830;
    }
    // A checksum of what the window shows of a control.
    std::uint32_t Face(const TControl* c) const {
        std::uint32_t sum = 0;
        for (int y = c->Top(); y < c->Top() + c->Height(); ++y)
            for (int x = c->Left(); x < c->Left() + c->Width(); ++x) sum = sum * 31 + Shown(x, y);
        return sum;
    }
    ~Panel() {
        form.reset();
        input::ResetServices();
    }
};

void CountAllocations(benchmark::State& state, long before) {
    state.counters["allocs_per_cycle"] =
        double(tarnwick::test::Allocations() - before) /
        double(std::max<benchmark::IterationCount>(1, state.iterations()));
}

void BM_FullRecompose(benchmark::State& state) {
    Panel panel;
    panel.box->Invalidate();
    panel.form->Update();  // the first cycle after setting up
    const long before = tarnwick::test::Allocations();
    for (auto _ : state) {
        panel.box->Invalidate();
        panel.form->Update();
    }
    CountAllocations(state, before);
    if (!panel.Composed()) state.SkipWithError("nothing reached the window");
}
BENCHMARK(BM_FullRecompose);

void BM_OneKnobTurn(benchmark::State& state) {
    Panel panel;
    TDIBKnob* knob = panel.knobs[1];
    int position = 0;
    knob->SetPosition(++position);
    panel.form->Update();
    const long before = tarnwick::test::Allocations();
    for (auto _ : state) {
        position = (position + 2) % 128;  // every other position: a new frame each time
        knob->SetPosition(position);
        panel.form->Update();
    }
    CountAllocations(state, before);
    // The turn must reach the window: the knob's face differs a half turn on.
    const std::uint32_t face = panel.Face(knob);
    knob->SetPosition((position + 64) % 128);
    panel.form->Update();
    if (!panel.Composed() || panel.Face(knob) == face)
        state.SkipWithError("the turn did not reach the window");
}
BENCHMARK(BM_OneKnobTurn);

}  // namespace

BENCHMARK_MAIN();
