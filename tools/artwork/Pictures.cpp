// The drawings of the editor's ten pictures.

#include <cmath>

#include "Artwork.h"
#include "Raster.h"
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

// A film strip of frames side by side, each drawn by draw(canvas, frame).
template <class Draw>
EditorPicture Strip(const char* name, int frames, int width, int height, Rgb background,
                    Draw draw) {
    EditorPicture picture{name, frames, std::make_unique<TMemoryDIB>()};
    TMemoryDIB& dib = *picture.dib;
    dib.SetSize(width * frames, height);
    for (int f = 0; f < frames; ++f) {
        Canvas canvas(width, height, background);
        draw(canvas, f);
        for (int y = 0; y < height; ++y) {
            TDIBPixel* row = dib.ScanLine(y) + f * width;
            for (int x = 0; x < width; ++x) {
                TDIBPixel& px = row[x];
                Canvas::ToBytes(canvas.At(x, y), px.Blue, px.Green, px.Red);
                px.Mask = 255;  // opaque
            }
        }
    }
    return picture;
}

Vec Direction(double degrees) {
    const double a = degrees * kPi / 180;
    return {Sin(a), -Cos(a)};  // clockwise from straight up, y down
}

// ---- knob -----------------------------------------------------------------

void DrawKnob(Canvas& c, int frame) {
    const Vec centre{40, 40};
    constexpr double kDisc = 27.5, kBezel = 32;
    // Scale dots along the knob's travel.
    for (int i = 0; i <= 10; ++i) {
        const Vec at = centre + Direction(-135 + 27 * i) * 37;
        c.Fill([&](Vec p) { return CircleDistance(p, at, i % 5 == 0 ? 1.5 : 1.1); },
               Rgb{120, 120, 124});
    }
    // Soft shadow below and right of the knob.
    const Vec shadowAt = centre + Vec{0.8, 2.2};
    c.Paint([&](Vec p, Rgb& col) {
        col = Rgb{40, 30, 25};
        const double d = CircleDistance(p, shadowAt, kBezel);
        return 0.32 * (1 - SmoothStep(-2.5, 3.5, d));
    });
    // Dark metal bezel, lit from above.
    auto fromTop = [&](Rgb top, Rgb bottom) {
        return [=](Vec p) { return Mix(top, bottom, Clamp01((p.y - 40 + kBezel) / (2 * kBezel))); };
    };
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kBezel); },
           fromTop(Rgb{118, 116, 120}, Rgb{34, 32, 36}));
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kBezel - 1.2); },
           fromTop(Rgb{70, 68, 72}, Rgb{52, 50, 54}));
    // The gap around the disc, then the orange disc itself.
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kDisc + 1.3); }, Rgb{22, 16, 12});
    const Rgb orange{248, 128, 16};
    c.Fill([&](Vec p) { return CircleDistance(p, centre, kDisc); },
           [&](Vec p) {
               const Vec n = (p - centre) * (1 / kDisc);
               Rgb col = Shade(orange, n.x, n.y, 0.72, 0.75);
               // A darker rim gives the disc its edge.
               const double rim = SmoothStep(0.84, 1.0, Length(n));
               return Scale(col, 1 - 0.22 * rim);
           });
    // The indicator: an oval sunk into the disc; its lower right lip catches
    // the light, its body is dark.
    const Vec u = Direction(KnobIndicatorDegrees(frame));
    const Vec a = centre + u * 9, b = centre + u * 22;
    c.Fill(
        [&](Vec p) {
            return SegmentDistance(p, a + Vec{0.6, 0.8}, b + Vec{0.6, 0.8}, 3.3);
        },
        Rgb{255, 196, 120}, 0.8);
    c.Fill([&](Vec p) { return SegmentDistance(p, a, b, 3.2); },
           [&](Vec p) {
               // Lighter at the top, where the sunk floor faces the light.
               const double t = Clamp01((p.y - centre.y + 24) / 48);
               return Mix(Rgb{74, 44, 26}, Rgb{30, 18, 12}, t);
           });
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
                if (g.rows[row][col] == '#') c.Set(x + col, y + row, colour);
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
            if (Coverage(PointerOutline({x + 0.5, y + 0.5})) < 0.35) c.Set(x, y, kWhite);
}

void DrawSliderBack(Canvas& c, int) {
    // Every row the same: the strip is tiled vertically.
    for (int y = 0; y < c.Height(); ++y) {
        c.Set(8, y, Rgb{176, 176, 176});
        c.Set(9, y, kBlack);
        c.Set(10, y, kBlack);
        c.Set(11, y, Rgb{214, 214, 214});
    }
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

std::vector<EditorPicture> DrawEditorPictures() {
    std::vector<EditorPicture> pictures;
    pictures.push_back(
        Strip("SliderHrz1", 1, 13, 13, kWhite, [](Canvas& c, int) { DrawBarFrom(c, 4.5, 20); }));
    pictures.push_back(
        Strip("SliderHrz2", 1, 13, 13, kWhite, [](Canvas& c, int) { DrawBarFrom(c, -7, 8.5); }));
    pictures.push_back(
        Strip("SliderHrzMain", 1, 13, 13, kWhite, [](Canvas& c, int) { DrawBarFrom(c, -7, 20); }));
    pictures.push_back(Strip("SliderHrzP1", 1, 13, 13, kWhite, DrawBall));
    pictures.push_back(Strip("orangeknob", kKnobFrames, kKnobSize, kKnobSize, kWhite, DrawKnob));
    pictures.push_back(Strip("vol 10 bar", kMeterSteps + 1, 10, 81, kBlack, DrawMeter));
    pictures.push_back(Strip("envUpDown", 2, 30, 15, kWhite, DrawEnvelope));
    pictures.push_back(Strip("active", 2, 40, 20, kWhite, DrawActive));
    pictures.push_back(Strip("pointer", 1, 20, 10, kWhite, DrawPointer));
    pictures.push_back(Strip("sliderback", 1, 20, 81, kWhite, DrawSliderBack));

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

}  // namespace tarnwick::artwork
