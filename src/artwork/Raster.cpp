#include "artwork/Raster.h"

#include <cmath>

namespace tarnwick::artwork {

namespace {
// x reduced to [-pi, pi].
double Reduce(double x) {
    while (x > kPi) x -= 2 * kPi;
    while (x < -kPi) x += 2 * kPi;
    return x;
}
}  // namespace

double Sin(double x) {
    x = Reduce(x);
    // Taylor series; at |x| <= pi the 23rd-order term is below 1e-15.
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 11; ++n) {
        term = -term * x2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double Cos(double x) { return Sin(x + kPi / 2); }

double Length(Vec v) { return std::sqrt(v.x * v.x + v.y * v.y); }

double CircleDistance(Vec p, Vec centre, double radius) { return Length(p - centre) - radius; }

double SegmentDistance(Vec p, Vec a, Vec b, double radius) {
    const Vec ab = b - a, ap = p - a;
    const double len2 = ab.x * ab.x + ab.y * ab.y;
    const double t = len2 > 0 ? Clamp01((ap.x * ab.x + ap.y * ab.y) / len2) : 0.0;
    return Length(ap - ab * t) - radius;
}

double RoundBoxDistance(Vec p, Vec centre, double hx, double hy, double radius) {
    const double qx = std::fabs(p.x - centre.x) - (hx - radius);
    const double qy = std::fabs(p.y - centre.y) - (hy - radius);
    const double outside = Length({std::max(qx, 0.0), std::max(qy, 0.0)});
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

Canvas::Canvas(int width, int height, Rgb background, double scale)
    : width_(width),
      height_(height),
      scale_(scale),
      pixels_(std::size_t(width) * height, background) {}

void Canvas::Clip(Box within, int& x0, int& y0, int& x1, int& y1) const {
    // Centre x + 0.5 lies in [a, b) for x from ceil(a - 0.5) to ceil(b - 0.5).
    auto first = [this](double v) {
        return int(std::ceil(std::clamp(v * scale_, -1e6, 1e6) - 0.5));
    };
    x0 = std::max(x0, first(within.x0));
    y0 = std::max(y0, first(within.y0));
    x1 = std::min(x1, first(within.x1));
    y1 = std::min(y1, first(within.y1));
}

void Canvas::FillBox(Box box, Rgb colour) {
    const double bx0 = box.x0 * scale_, by0 = box.y0 * scale_;
    const double bx1 = box.x1 * scale_, by1 = box.y1 * scale_;
    const int x0 = std::max(0, int(std::floor(std::max(bx0, -1e6))));
    const int y0 = std::max(0, int(std::floor(std::max(by0, -1e6))));
    const int x1 = std::min(width_, int(std::ceil(std::min(bx1, 1e6))));
    const int y1 = std::min(height_, int(std::ceil(std::min(by1, 1e6))));
    for (int y = y0; y < y1; ++y) {
        const double cy = std::min(by1, y + 1.0) - std::max(by0, double(y));
        for (int x = x0; x < x1; ++x) {
            const double cover = (std::min(bx1, x + 1.0) - std::max(bx0, double(x))) * cy;
            if (cover >= 1)
                Set(x, y, colour);
            else if (cover > 0)
                Blend(x, y, colour, cover);
        }
    }
}

void Canvas::Blend(int x, int y, Rgb c, double alpha) {
    Rgb& d = pixels_[std::size_t(y) * width_ + x];
    d = Mix(d, c, Clamp01(alpha));
}

void Canvas::ToBytes(Rgb c, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red) {
    auto byte = [](double v) { return std::uint8_t(std::floor(std::clamp(v, 0.0, 255.0) + 0.5)); };
    blue = byte(c.b);
    green = byte(c.g);
    red = byte(c.r);
}

}  // namespace tarnwick::artwork
