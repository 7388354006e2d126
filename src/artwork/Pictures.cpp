// The drawings of the editor's ten pictures.

#include <cmath>
#include <functional>

#include "artwork/DeviceScale.h"
#include "artwork/Pictures.h"
#include "artwork/Raster.h"
#include "dib/cDIBImageList.h"
#include "framework/Graphics.h"

namespace tarnwick::artwork {

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// Light falls from the upper left, towards the viewer.
struct Light {
    double x, y, z;
};
Light Normalised(double x, double y, double z) {
    const double n = std::sqrt(x * x + y * y + z * z);
    return {x / n, y / n, z / n};
}
const Light kLight = Normalised(-0.45, -0.6, 0.66);
// Half-way between the light and the viewer, for the specular highlight.
const Light kHalf = Normalised(kLight.x, kLight.y, kLight.z + 1);

// Shades a dome: (nx, ny) is the position on the shape from -1 to 1 in each
// direction; bulge is how far the surface leans out at its rim (0 = flat).
Rgb Shade(Rgb base, double nx, double ny, double bulge, double shine) {
    const double r2 = std::min(nx * nx + ny * ny, 1.0);
    const Light n = Normalised(nx * bulge, ny * bulge, std::sqrt(1 - r2 * bulge * bulge));
    const double diffuse = std::max(0.0, n.x * kLight.x + n.y * kLight.y + n.z * kLight.z);
    double s = std::max(0.0, n.x * kHalf.x + n.y * kHalf.y + n.z * kHalf.z);
    s *= s;  // s^2
    s *= s;  // s^4
    s *= s;  // s^8
    const double s24 = s * s * s;
    const Rgb lit = Scale(base, 0.48 + 0.62 * diffuse);
    return Mix(lit, Rgb{255, 244, 222}, Clamp01(shine * s24));
}

// A film strip's drawing: frames side by side of width x height (at 100 %),
// each the frame-invariant part `base` (when there is one) with frame(c, f)
// drawn over it.
struct Drawing {
    const char* name;
    int frames;
    int width, height;
    Rgb background;
    std::function<void(Canvas&)> base;
    std::function<void(Canvas&, int)> frame;
};

// Frame f of a strip from a canvas of the frame's size.
void PutFrame(const Canvas& canvas, TAbstractSuperDIB& dib, int f) {
    const int width = canvas.Width();
    for (int y = 0; y < canvas.Height(); ++y) {
        TDIBPixel* row = dib.ScanLine(y) + f * width;
        for (int x = 0; x < width; ++x) {
            TDIBPixel& px = row[x];
            Canvas::ToBytes(canvas.At(x, y), px.Blue, px.Green, px.Red);
            px.Mask = 255;  // opaque
        }
    }
}

// The frame-invariant part of a drawing at a scale, drawn once.
Canvas BaseCanvas(const Drawing& d, int percent) {
    Canvas canvas(ScaledPixels(d.width, percent), ScaledPixels(d.height, percent), d.background,
                  percent / 100.0);
    if (d.base) d.base(canvas);
    return canvas;
}

void DrawFrame(const Drawing& d, const Canvas& base, TAbstractSuperDIB& dib, int f) {
    Canvas canvas = base;
    if (d.frame) d.frame(canvas, f);
    PutFrame(canvas, dib, f);
}

void SizeFor(const Drawing& d, int percent, TAbstractSuperDIB& dib) {
    dib.SetSize(ScaledPixels(d.width, percent) * d.frames, ScaledPixels(d.height, percent));
}

EditorPicture Strip(const Drawing& d, int percent) {
    EditorPicture picture{d.name, d.frames, std::make_unique<TMemoryDIB>()};
    SizeFor(d, percent, *picture.dib);
    const Canvas base = BaseCanvas(d, percent);
    for (int f = 0; f < d.frames; ++f) DrawFrame(d, base, *picture.dib, f);
    return picture;
}

Vec Direction(double degrees) {
    const double a = degrees * kPi / 180;
    return {Sin(a), -Cos(a)};  // clockwise from straight up, y down
}

// ---- knob -----------------------------------------------------------------

// A box around a circle, wide enough for its edge's pixel at any scale.
Box Around(Vec centre, double radius) {
    const double r = radius + 1;
    return {centre.x - r, centre.y - r, centre.x + r, centre.y + r};
}

constexpr Vec kKnobCentre{40, 40};

// Everything of the knob but its indicator: the same in every frame.
void DrawKnobBase(Canvas& c) {
    const Vec centre = kKnobCentre;
    constexpr double kDisc = 27.5, kBezel = 32;
    // Scale dots along the knob's travel.
    for (int i = 0; i <= 10; ++i) {
        const Vec at = centre + Direction(-135 + 27 * i) * 37;
        const double radius = i % 5 == 0 ? 1.5 : 1.1;
        c.Fill([&](Vec p) { return CircleDistance(p, at, radius); }, Rgb{120, 120, 124}, 1.0,
               Around(at, radius));
    }
    // Soft shadow below and right of the knob.
    const Vec shadowAt = centre + Vec{0.8, 2.2};
    c.Paint(
        [&](Vec p, Rgb& col) {
            col = Rgb{40, 30, 25};
            const double d = CircleDistance(p, shadowAt, kBezel);
            return 0.32 * (1 - SmoothStep(-2.5, 3.5, d));
        },
        Around(shadowAt, kBezel + 3.5));
    // Dark metal bezel, lit from above.
    auto fromTop = [&](Rgb top, Rgb bottom) {
        return [=](Vec p) { return Mix(top, bottom, Clamp01((p.y - 40 + kBezel) / (2 * kBezel))); };
    };
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kBezel); },
           fromTop(Rgb{118, 116, 120}, Rgb{34, 32, 36}), 1.0, Around(centre, kBezel));
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kBezel - 1.2); },
           fromTop(Rgb{70, 68, 72}, Rgb{52, 50, 54}), 1.0, Around(centre, kBezel));
    // The gap around the disc, then the orange disc itself.
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kDisc + 1.3); }, Rgb{22, 16, 12}, 1.0,
           Around(centre, kDisc + 1.3));
    const Rgb orange{248, 128, 16};
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kDisc); },
           [&](Vec p) {
               const Vec n = (p - centre) * (1 / kDisc);
               Rgb col = Shade(orange, n.x, n.y, 0.72, 0.75);
               // A darker rim gives the disc its edge.
               const double rim = SmoothStep(0.84, 1.0, Length(n));
               return Scale(col, 1 - 0.22 * rim);
           },
           1.0, Around(centre, kDisc));
}

// The indicator: an oval sunk into the disc; its lower right lip catches
// the light, its body is dark.
void DrawKnobIndicator(Canvas& c, int frame) {
    const Vec centre = kKnobCentre;
    const Vec u = Direction(KnobIndicatorDegrees(frame));
    const Vec a = centre + u * 9, b = centre + u * 22;
    // Both capsules lie within 22 + 3.3 + 1 of the centre.
    const Box within = Around(centre, 27.5);
    c.Fill(
        [&](Vec p) {
            return SegmentDistance(p, a + Vec{0.6, 0.8}, b + Vec{0.6, 0.8}, 3.3);
        },
        Rgb{255, 196, 120}, 0.8, within);
    c.Fill([&](Vec p) { return SegmentDistance(p, a, b, 3.2); },
           [&](Vec p) {
               // Lighter at the top, where the sunk floor faces the light.
               const double t = Clamp01((p.y - centre.y + 24) / 48);
               return Mix(Rgb{74, 44, 26}, Rgb{30, 18, 12}, t);
           },
           1.0, within);
}

// ---- level meter ------------------------------------------------------------

constexpr int kMeterSteps = 10;
constexpr int kMeterPitch = 8;

void DrawMeter(Canvas& c, int frame) {
    for (int i = 0; i < frame; ++i) {  // square 0 is the lowest
        const Vec centre{5, 80 - kMeterPitch * i - 3.5};
        c.Fill([&](Vec p) { return RoundBoxDistance(p, centre, 4, 3.5, 1.4); },
               [&](Vec p) {
                   const double nx = (p.x - centre.x) / 4, ny = (p.y - centre.y) / 3.5;
                   return Shade(Rgb{60, 230, 70}, nx, ny, 0.55, 0.7);
               });
    }
}

// ---- envelope mode --------------------------------------------------------

void DrawEnvelope(Canvas& c, int frame) {
    // Frame 0 rises and falls (normal gate); frame 1 falls and rises.
    const double low = frame == 0 ? 11 : 4, high = frame == 0 ? 4 : 11;
    // Two pixels thick, the flat parts lying on whole rows.
    const Vec points[] = {{2.5, low}, {8.5, low}, {12, high}, {18, high}, {21.5, low}, {27.5, low}};
    c.Fill(
        [&](Vec p) {
            double d = 1e9;
            for (int i = 0; i + 1 < 6; ++i)
                d = std::min(d, SegmentDistance(p, points[i], points[i + 1], 1));
            return d;
        },
        kBlack);
}

// ---- active switch ----------------------------------------------------------

// A 5 x 7 pixel font with the letters the pictures need.
struct Glyph {
    char letter;
    const char* rows[7];
};
constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
};

const Glyph& FindGlyph(char letter) {
    for (const Glyph& g : kFont)
        if (g.letter == letter) return g;
    return kFont[0];
}

// Writes text with its top-left corner at (x, y), one pixel between letters.
void DrawText(Canvas& c, const char* text, int x, int y, Rgb colour) {
    for (; *text; ++text, x += 6) {
        const Glyph& g = FindGlyph(*text);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g.rows[row][col] == '#')
                    c.FillBox({double(x + col), double(y + row), x + col + 1.0, y + row + 1.0},
                              colour);
    }
}

void DrawActive(Canvas& c, int frame) {
    const Rgb top = frame == 0 ? Rgb{240, 78, 64} : Rgb{112, 222, 92};
    const Rgb bottom = frame == 0 ? Rgb{164, 26, 22} : Rgb{36, 146, 40};
    const Vec centre{20, 10};
    c.Fill([&](Vec p) { return RoundBoxDistance(p, centre, 19, 8.5, 4); }, Scale(bottom, 0.55));
    c.Fill([&](Vec p) { return RoundBoxDistance(p, centre, 18, 7.5, 3); },
           [&](Vec p) {
               const double t = Clamp01((p.y - 2.5) / 15);
               const Rgb col = Mix(top, bottom, t);
               // Gloss over the upper half.
               return Mix(col, kWhite, p.y < 10 ? 0.22 * (1 - (p.y - 2.5) / 7.5) : 0.0);
           });
    constexpr int kTextX = 3, kTextY = 7;
    DrawText(c, "ACTIVE", kTextX, kTextY + 1, Mix(bottom, kWhite, 0.3));  // emboss
    DrawText(c, "ACTIVE", kTextX, kTextY, kBlack);
}

// ---- threshold slider -------------------------------------------------------

constexpr Rgb kPointerEdge{150, 62, 0};

double PointerOutline(Vec p) { return RoundBoxDistance(p, {10, 5}, 10, 5, 5); }

void DrawPointer(Canvas& c, int) {
    c.Fill(PointerOutline, kPointerEdge);
    c.Fill(
        [](Vec p) {
            return RoundBoxDistance(p, {10, 5}, 8.5, 3.5, 3.5);
        },
        [](Vec p) {
            return Shade(Rgb{250, 136, 24}, (p.x - 10) / 8.5 * 0.4, (p.y - 5) / 3.5, 0.6, 0.6);
        });
    c.Fill([](Vec p) { return SegmentDistance(p, {5, 5}, {15, 5}, 0.55); }, Rgb{110, 40, 0});
    // The pointer is keyed on exact white. Edge pixels that would be only a
    // little darker than white are made white, so that no pale fringe shows
    // around the pointer on the dark line of the track.
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.CoverageAt(PointerOutline(c.Centre(x, y))) < 0.35) c.Set(x, y, kWhite);
}

void DrawSliderBack(Canvas& c, int) {
    // Every row the same: the strip is tiled vertically.
    constexpr double kAll = 1e6;
    c.FillBox({8, 0, 9, kAll}, Rgb{176, 176, 176});
    c.FillBox({9, 0, 11, kAll}, kBlack);
    c.FillBox({11, 0, 12, kAll}, Rgb{214, 214, 214});
}

// ---- horizontal slider pieces (kept in the list, not used by the editor) --

const Rgb kBlue{52, 104, 216};

Rgb BarShade(Vec p) { return Shade(kBlue, 0, (p.y - 6.5) / 2.5, 0.6, 0.5); }

void DrawBarFrom(Canvas& c, double fromX, double toX) {
    c.Fill([&](Vec p) { return SegmentDistance(p, {fromX, 6.5}, {toX, 6.5}, 2.5); }, BarShade);
}

void DrawBall(Canvas& c, int) {
    const Vec centre{6.5, 6.5};
    c.Fill([&](Vec p) { return CircleDistance(p, centre, 5.5); }, Scale(kBlue, 0.5));
    c.Fill([&](Vec p) { return CircleDistance(p, centre, 4.7); },
           [&](Vec p) {
               const Vec n = (p - centre) * (1 / 4.7);
               return Shade(kBlue, n.x, n.y, 0.85, 0.9);
           });
}

}  // namespace

double KnobIndicatorDegrees(int frame) {
    // Lower left (-135) at frame 0, straight up at the middle frame, lower
    // right (+135) at the last.
    const int middle = (kKnobFrames - 1) / 2;
    return 135.0 * (frame - middle) / middle;
}

namespace {

// The ten drawings, in image-list order.
const std::vector<Drawing>& Drawings() {
    static const std::vector<Drawing> drawings = [] {
        auto only = [](void (*draw)(Canvas&, int)) {
            return std::function<void(Canvas&, int)>(draw);
        };
        std::vector<Drawing> d;
        d.push_back(
            {"SliderHrz1", 1, 13, 13, kWhite, {}, [](Canvas& c, int) { DrawBarFrom(c, 4.5, 20); }});
        d.push_back(
            {"SliderHrz2", 1, 13, 13, kWhite, {}, [](Canvas& c, int) { DrawBarFrom(c, -7, 8.5); }});
        d.push_back({"SliderHrzMain", 1, 13, 13, kWhite, {}, [](Canvas& c, int) {
                         DrawBarFrom(c, -7, 20);
                     }});
        d.push_back({"SliderHrzP1", 1, 13, 13, kWhite, {}, only(DrawBall)});
        d.push_back({"orangeknob", kKnobFrames, kKnobSize, kKnobSize, kWhite, DrawKnobBase,
                     only(DrawKnobIndicator)});
        d.push_back({"vol 10 bar", kMeterSteps + 1, 10, 81, kBlack, {}, only(DrawMeter)});
        d.push_back({"envUpDown", 2, 30, 15, kWhite, {}, only(DrawEnvelope)});
        d.push_back({"active", 2, 40, 20, kWhite, {}, only(DrawActive)});
        d.push_back({"pointer", 1, 20, 10, kWhite, {}, only(DrawPointer)});
        d.push_back({"sliderback", 1, 20, 81, kWhite, {}, only(DrawSliderBack)});
        return d;
    }();
    return drawings;
}

}  // namespace

std::vector<EditorPicture> DrawEditorPictures(int percent) {
    std::vector<EditorPicture> pictures;
    for (const Drawing& d : Drawings()) pictures.push_back(Strip(d, percent));

    // All opaque with automatic transparency mode; the three that name black
    // as their transparent colour keep it stored. The pointer is drawn keyed
    // on its white background.
    for (int i : {5, 6, 7}) pictures[i].dib->SetTransparentColor(clBlack);
    TMemoryDIB& pointer = *pictures[8].dib;
    pointer.SetTransparentMode(tmFixed);
    pointer.SetTransparentColor(clWhite);
    pointer.SetTransparent(true);
    return pictures;
}

void AddEditorPictures(TCustomDIBImageList& list) {
    for (EditorPicture& picture : DrawEditorPictures()) {
        TDIBImagesItem* item = list.DIBImages()->Add();
        item->SetDisplayName(picture.displayName);
        item->SetDIB(picture.dib.get());
    }
}

void RedrawEditorPictures(TCustomDIBImageList& list, int percent) {
    TDIBImages& items = *list.DIBImages();
    for (int i = 0; i < items.Count(); ++i) {
        TDIBImagesItem* item = items.Items(i);
        const Drawing* found = nullptr;
        for (const Drawing& d : Drawings())
            if (item->GetDisplayName() == d.name) found = &d;
        if (!found) continue;
        TMemoryDIB& dib = *item->DIB();
        SizeFor(*found, percent, dib);
        if (found->frames <= 2) {
            const Canvas base = BaseCanvas(*found, percent);
            for (int f = 0; f < found->frames; ++f) DrawFrame(*found, base, dib, f);
        } else {
            // The base is drawn with the first frame asked for and kept for
            // the others; the source lives as long as the bitmap keeps it.
            auto base = std::make_shared<std::unique_ptr<Canvas>>();
            dib.SetFrameSource(found->frames, [found, percent, base, &dib](int f) {
                if (!*base) *base = std::make_unique<Canvas>(BaseCanvas(*found, percent));
                DrawFrame(*found, **base, dib, f);
            });
        }
        dib.Changed();
    }
}

}  // namespace tarnwick::artwork
