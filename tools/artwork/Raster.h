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

// An opaque picture being painted, rows top-down.
class Canvas {
public:
    Canvas(int width, int height, Rgb background);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb At(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
    void Set(int x, int y, Rgb c) { pixels_[std::size_t(y) * width_ + x] = c; }
    // Lays colour c over pixel (x, y) with weight alpha (0..1).
    void Blend(int x, int y, Rgb c, double alpha);

    // For every pixel centre p, paint(p, colour) sets the colour to lay on
    // and returns its weight.
    template <class F>
    void Paint(F paint) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                Rgb c;
                const double a = paint(Vec{x + 0.5, y + 0.5}, c);
                if (a > 0) Blend(x, y, c, a);
            }
    }
    // Paints a shape: distance(p) gives the coverage, colour(p) the colour.
    template <class Distance, class Colour>
    void Fill(Distance distance, Colour colour, double opacity = 1.0) {
        Paint([&](Vec p, Rgb& c) {
            const double a = Coverage(distance(p)) * opacity;
            if (a > 0) c = colour(p);
            return a;
        });
    }
    template <class Distance>
    void Fill(Distance distance, Rgb colour, double opacity = 1.0) {
        Fill(
            distance, [colour](Vec) { return colour; }, opacity);
    }

    // The colour rounded to bytes, as blue, green, red.
    static void ToBytes(Rgb c, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red);

private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

}  // namespace tarnwick::artwork
