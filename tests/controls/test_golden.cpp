// Composed containers compared with golden images: knobs, a slider and a
// switch from generated pictures; a border under and over the controls; a
// translucent control over the background and another control.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "controls/cDIBBorder.h"
#include "controls/cDIBKnob.h"
#include "controls/cDIBSlider.h"
#include "support/ContainerFixture.h"
#include "support/ControlSamples.h"
#include "support/GoldenImage.h"

namespace {

// A strip of `frames` masked discs of `size` pixels, each with a soft rim and
// a light mark turned by the frame's share of 270 degrees.
int AddDiscStrip(TDIBImageList& list, int size, int frames) {
    TDIBImagesItem* item = list.DIBImages()->Add();
    TMemoryDIB* dib = item->StoredDIB();
    dib->SetSize(size * frames, size);
    const double c = (size - 1) / 2.0, radius = size / 2.0 - 1;
    for (int f = 0; f < frames; ++f) {
        const double turn = (frames > 1 ? -135.0 + 270.0 * f / (frames - 1) : 0) * M_PI / 180;
        const double ux = std::sin(turn), uy = -std::cos(turn);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const double dx = x - c, dy = y - c;
                const double cover = std::clamp(radius + 0.5 - std::hypot(dx, dy), 0.0, 1.0);
                const double along = dx * ux + dy * uy, across = std::abs(dx * uy - dy * ux);
                const bool mark = along > radius * 0.3 && along < radius * 0.9 && across < 1.5;
                const auto grey = std::uint8_t(90 + 60 * (1 - (dx + dy) / (2 * size)));
                dib->ScanLine(y)[f * size + x] =
                    mark
                        ? TDIBPixel{40, 200, 240, std::uint8_t(cover * 255)}
                        : TDIBPixel{std::uint8_t(grey + 10), grey, grey, std::uint8_t(cover * 255)};
            }
    }
    dib->SetMasked(true);
    return item->Index();
}

class GoldenTest : public tarnwick::test::ContainerFixture {
protected:
    void SetUp() override {
        const TColor colour(0x403020);
        MakeContainer(72, 48, 0, 0, 72, 48, &colour);
        list = new TDIBImageList(form.get());
        OpenWindow();
    }
    int add(int w, int h, std::uint32_t (*colour)(int, int)) {
        return tarnwick::test::AddPicture(*list, w, h, colour);
    }
    TDIBKnob* knob(int picture, int frames, TRect r, int position) {
        auto* k = new TDIBKnob(box);
        k->SetParent(box);
        k->SetDIBImageList(list);
        k->SetNumGlyphs(frames);
        k->IndexMain()->SetDIBIndex(picture);
        k->SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
        k->SetMax(frames - 1);
        k->SetPosition(position);
        return k;
    }
    // The container painted as the window system asks for it.
    const TWinDIB& composed() {
        box->Invalidate();
        form->Update();
        return *box->DIB();
    }

    TDIBImageList* list = nullptr;
};

TEST_F(GoldenTest, KnobSliderAndSwitch) {
    knob(AddDiscStrip(*list, 32, 9), 9, {4, 4, 36, 36}, 6);
    knob(AddDiscStrip(*list, 16, 2), 2, {48, 6, 64, 22}, 1);
    auto* slider = new TDIBSlider(box);
    slider->SetParent(box);
    slider->SetDIBImageList(list);
    slider->IndexMain()->SetDIBIndex(
        add(64, 6, [](int x, int y) { return 0x202020u + 0x010101u * (x + 8 * y); }));
    slider->IndexPointer()->SetDIBIndex(
        add(6, 10, [](int, int y) { return 0xD0C0A0u - 0x080808u * y; }));
    slider->SetBounds(4, 38, 64, 10);
    slider->Loaded();
    slider->SetMax(10);
    slider->SetPosition(7);
    EXPECT_MATCHES_GOLDEN(composed(), "container_knob_slider_switch");
}

TEST_F(GoldenTest, BorderUnderAndOverTheControls) {
    auto* border = new TDIBBorder(form.get());
    border->SetDIBImageList(list);
    const int corner = add(6, 6, [](int x, int y) { return x + y < 6 ? 0xE0E0E0u : 0x606060u; });
    const int across = add(4, 6, [](int, int y) { return 0x705030u + 0x101010u * y; });
    const int down = add(6, 4, [](int x, int) { return 0x305070u + 0x101010u * x; });
    for (TDIBBorderEdge* e : {static_cast<TDIBBorderEdge*>(border->BorderTop()),
                              static_cast<TDIBBorderEdge*>(border->BorderBottom())}) {
        e->FirstImage()->SetDIBIndex(corner);
        e->MiddleImage()->SetDIBIndex(across);
        e->SecondImage()->SetDIBIndex(corner);
    }
    for (TDIBBorderEdge* e : {static_cast<TDIBBorderEdge*>(border->BorderLeft()),
                              static_cast<TDIBBorderEdge*>(border->BorderRight())})
        e->MiddleImage()->SetDIBIndex(down);
    box->SetDIBBorder(border);
    // A disc reaching over the top left corner of the border.
    knob(AddDiscStrip(*list, 24, 1), 1, {-4, -4, 20, 20}, 0);
    box->SetBorderDrawPosition(bdUnderControls);
    EXPECT_MATCHES_GOLDEN(composed(), "container_border_under");
    box->SetBorderDrawPosition(bdOverControls);
    EXPECT_MATCHES_GOLDEN(composed(), "container_border_over");
}

TEST_F(GoldenTest, ATranslucentControlOverTheBackgroundAndAnOpaqueOne) {
    knob(add(30, 30, [](int x, int y) { return ((x / 5 + y / 5) % 2) ? 0xC03020u : 0x2040C0u; }), 1,
         {6, 6, 36, 36}, 0);
    TDIBKnob* veil = knob(AddDiscStrip(*list, 32, 1), 1, {24, 10, 56, 42}, 0);
    veil->SetOpacity(100);
    EXPECT_MATCHES_GOLDEN(composed(), "container_opacity");
}

}  // namespace
