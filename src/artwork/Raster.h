#pragma once
// A small anti-aliased rasteriser for the editor's pictures.
//
// Shapes are signed distance functions in pixel units (negative inside);
// a pixel is covered by 0.5 - distance at its centre, clamped to [0, 1],
// which gives one pixel of smooth edge. Only +, -, *, / and sqrt are used,
// all correctly rounded in IEEE arithmetic, so the pictures come out the same
// byte for byte on every machine.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarnwick::artwork {

// A colour with channels 0..255 (not yet rounded).
struct Rgb {
    double r = 0, g = 0, b = 0;
};

inline Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Rgb Scale(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }
inline double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
// Smooth 0..1 step between e0 and e1.
inline double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Sine and cosine from their series after reduction to [-pi, pi]: libm's are
// not required to give the same last bit everywhere.
double Sin(double x);
double Cos(double x);
inline constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x = 0, y = 0;
};
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double Length(Vec v);

// Signed distances.
double CircleDistance(Vec p, Vec centre, double radius);
// A segment from a to b thickened by radius (a capsule).
double SegmentDistance(Vec p, Vec a, Vec b, double radius);
// A box of half-size (hx, hy) around centre with corners rounded by radius.
double RoundBoxDistance(Vec p, Vec centre, double hx, double hy, double radius);
// Coverage of a pixel whose centre is at distance d from a shape's edge.
inline double Coverage(double d) { return Clamp01(0.5 - d); }

// A box in the drawing's own units: [x0, x1) x [y0, y1).
struct Box {
    double x0, y0, x1, y1;
};

// An opaque picture being painted, rows top-down. The drawings are written
// in the picture's own units (the pixels of its 100 % size); a canvas at
// scale s has s device pixels to each of them, evaluates the shapes at its
// pixels' centres in those units, and measures the edge's one pixel of
// anti-aliasing in device pixels, so a picture at any scale is as sharp as
// at 100 %. At scale 1 the arithmetic is exactly that of an unscaled canvas.
class Canvas {
public:
    Canvas(int width, int height, Rgb background, double scale = 1.0);

    int Width() const { return width_; }
    int Height() const { return height_; }
    double Scale() const { return scale_; }
    // The centre of device pixel (x, y) in the drawing's units.
    Vec Centre(int x, int y) const { return {(x + 0.5) / scale_, (y + 0.5) / scale_}; }
    Rgb At(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
    void Set(int x, int y, Rgb c) { pixels_[std::size_t(y) * width_ + x] = c; }
    // Lays colour c over pixel (x, y) with weight alpha (0..1).
    void Blend(int x, int y, Rgb c, double alpha);

    // For every pixel centre p, paint(p, colour) sets the colour to lay on
    // and returns its weight.
    // Only the pixels whose centres lie in `within` are visited: the caller
    // promises paint gives nothing outside it.
    template <class F>
    void Paint(F paint, Box within = kEverywhere) {
        int x0 = 0, y0 = 0, x1 = width_, y1 = height_;
        Clip(within, x0, y0, x1, y1);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                Rgb c;
                const double a = paint(Centre(x, y), c);
                if (a > 0) Blend(x, y, c, a);
            }
    }
    // Paints a shape: distance(p) (in the drawing's units) gives the
    // coverage, colour(p) the colour; `within` bounds the shape.
    template <class Distance, class Colour>
    void Fill(Distance distance, Colour colour, double opacity = 1.0, Box within = kEverywhere) {
        Paint(
            [&](Vec p, Rgb& c) {
                const double a = Coverage(distance(p) * scale_) * opacity;
                if (a > 0) c = colour(p);
                return a;
            },
            within);
    }
    template <class Distance>
    void Fill(Distance distance, Rgb colour, double opacity = 1.0, Box within = kEverywhere) {
        Fill(
            distance, [colour](Vec) { return colour; }, opacity, within);
    }
    // Lays colour over the box, each pixel by the share of it the box
    // covers: at a whole scale, whole pixels, as an unscaled canvas sets them.
    void FillBox(Box box, Rgb colour);
    // The coverage a device pixel centred at p gets from a shape at
    // distance d there (both in the drawing's units).
    double CoverageAt(double d) const { return Coverage(d * scale_); }

    static constexpr Box kEverywhere{-1e9, -1e9, 1e9, 1e9};

    // The colour rounded to bytes, as blue, green, red.
    static void ToBytes(Rgb c, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red);

private:
    // The device pixels whose centres lie in `within`, clipped to the canvas.
    void Clip(Box within, int& x0, int& y0, int& x1, int& y1) const;

    int width_;
    int height_;
    double scale_;
    std::vector<Rgb> pixels_;
};

}  // namespace tarnwick::artwork
