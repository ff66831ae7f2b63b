#include "tools/demo/demo_art.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/support/bmp_writer.h"

namespace {

struct Colour { double b, g, r; };

Colour Mix(Colour a, Colour b, double t) {
    return {a.b + (b.b - a.b) * t, a.g + (b.g - a.g) * t, a.r + (b.r - a.r) * t};
}

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5); }

void Put(DemoPicture& p, int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
    std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3];
    px[0] = Byte(c.b);
    px[1] = Byte(c.g);
    px[2] = Byte(c.r);
}

Colour Get(const DemoPicture& p, int x, int y) {
    const std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3];
    return {double(px[0]), double(px[1]), double(px[2])};
}

DemoPicture Blank(int w, int h) {
    DemoPicture p;
    p.width = w;
    p.height = h;
    p.rgb.assign(static_cast<std::size_t>(w) * h * 3, 0);
    return p;
}

// Coverage (0..1) of a pixel by a shape, from 4 x 4 samples.
template <typename Inside>
double Coverage(int x, int y, Inside inside) {
    int hits = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
            if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
    return hits / 16.0;
}

// Seven-segment digit in a box of w x h at (0, 0): segment a (top), b, c
// (right), d (bottom), e, f (left), g (middle).
bool InSegmentDigit(int digit, double x, double y, double w, double h) {
    static const char* const kSegments[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                              "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
    const double t = w * 0.2;  // stroke
    const double m = h / 2;
    auto box = [&](double x0, double y0, double x1, double y1) {
        return x >= x0 && x < x1 && y >= y0 && y < y1;
    };
    for (const char* s = kSegments[digit]; *s; ++s) {
        bool in = false;
        switch (*s) {
            case 'a': in = box(t * 0.5, 0, w - t * 0.5, t); break;
            case 'b': in = box(w - t, t * 0.5, w, m); break;
            case 'c': in = box(w - t, m, w, h - t * 0.5); break;
            case 'd': in = box(t * 0.5, h - t, w - t * 0.5, h); break;
            case 'e': in = box(0, m, t, h - t * 0.5); break;
            case 'f': in = box(0, t * 0.5, t, m); break;
            case 'g': in = box(t * 0.5, m - t / 2, w - t * 0.5, m + t / 2); break;
        }
        if (in) return true;
    }
    return false;
}

bool InPercent(double x, double y, double w, double h) {
    auto ring = [](double x, double y, double cx, double cy, double r) {
        double d = std::hypot(x - cx, y - cy);
        return d <= r && d >= r * 0.45;
    };
    double r = w * 0.22;
    if (ring(x, y, w * 0.25, h * 0.22, r) || ring(x, y, w * 0.75, h * 0.78, r)) return true;
    // The slash from bottom-left to top-right.
    double t = 1.0 - y / h;
    double cx = w * 0.1 + t * w * 0.8;
    return std::fabs(x - cx) < w * 0.11 && y > h * 0.02 && y < h * 0.98;
}

// Palettes of the seven stages: sky top, sky bottom, ground.
const Colour kStages[7][3] = {
    {{90, 40, 20}, {200, 150, 110}, {40, 70, 40}},     // night turning to dawn
    {{140, 80, 40}, {230, 190, 150}, {50, 100, 50}},
    {{200, 140, 70}, {250, 220, 180}, {60, 130, 60}},
    {{230, 180, 110}, {255, 240, 220}, {70, 150, 80}},  // midday
    {{160, 150, 200}, {200, 210, 250}, {70, 120, 90}},
    {{90, 90, 200}, {120, 170, 250}, {50, 90, 80}},      // evening
    {{60, 40, 120}, {100, 140, 240}, {40, 60, 60}},
};

}  // namespace

DemoPicture DrawStageBackground(int stage) {
    stage = std::clamp(stage, 0, 6);
    DemoPicture p = Blank(800, 600);
    const Colour* pal = kStages[stage];
    const int horizon = 430;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            Colour c;
            Colour sky = Mix(pal[0], pal[1], std::min(1.0, double(y) / horizon));
            // Rolling hills with a soft edge.
            double hill = horizon + 18 * std::sin(x / 90.0 + stage) + 10 * std::sin(x / 37.0);
            double t = std::clamp((y - hill) / 3.0, 0.0, 1.0);
            Colour ground = Mix(pal[2], {20, 30, 20}, std::clamp((y - horizon + 30) / 300.0, 0.0, 1.0));
            c = Mix(sky, ground, t);
            Put(p, x, y, c);
        }
    }
    // The sun (or moon) climbs with the stage.
    double sx = 120 + stage * 95.0, sy = 330 - stage * 35.0;
    for (int y = int(sy) - 50; y < int(sy) + 50; ++y)
        for (int x = int(sx) - 50; x < int(sx) + 50; ++x) {
            double cov = Coverage(x, y, [&](double fx, double fy) { return std::hypot(fx - sx, fy - sy) < 42; });
            if (cov > 0 && x >= 0 && y >= 0 && x < 800 && y < 600)
                Put(p, x, y, Mix(Get(p, x, y), {120, 230, 255}, cov));
        }
    // A large stage number, top left, for people to see which picture shows.
    for (int y = 40; y < 140; ++y)
        for (int x = 40; x < 100; ++x) {
            double cov = Coverage(x, y, [&](double fx, double fy) {
                return InSegmentDigit(stage, fx - 40, fy - 40, 60, 100);
            });
            if (cov > 0) Put(p, x, y, Mix(Get(p, x, y), {255, 255, 255}, cov * 0.85));
        }
    return p;
}

DemoPicture DrawProgressFrame() {
    // Covers the bar at (563, 553) and the digits at 706..751 when drawn at
    // (504, 520).
    DemoPicture p = Blank(280, 64);
    p.alpha.assign(static_cast<std::size_t>(p.width) * p.height, 0);
    const double radius = 12;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            auto inside = [&](double fx, double fy) {
                double cx = std::clamp(fx, radius, p.width - radius);
                double cy = std::clamp(fy, radius, p.height - radius);
                return std::hypot(fx - cx, fy - cy) <= radius;
            };
            double cov = Coverage(x, y, inside);
            bool border = x < 3 || y < 3 || x >= p.width - 3 || y >= p.height - 3;
            Colour c = Mix({70, 40, 30}, {40, 20, 15}, double(y) / p.height);
            if (border) c = {200, 170, 120};
            Put(p, x, y, c);
            p.alpha[static_cast<std::size_t>(y) * p.width + x] = Byte(cov * 235);
        }
    return p;
}

DemoPicture DrawBar(bool full) {
    DemoPicture p = Blank(136, 14);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            double t = double(y) / (p.height - 1);
            Colour c = full ? Mix({80, 220, 255}, {0, 140, 230}, t) : Mix({60, 50, 45}, {95, 85, 80}, t);
            if (y == 0 || y == p.height - 1 || x == 0 || x == p.width - 1) c = {30, 25, 20};
            Put(p, x, y, c);
        }
    return p;
}

DemoPicture DrawGlyph(int index) {
    DemoPicture p = Blank(15, 22);
    p.alpha.assign(static_cast<std::size_t>(p.width) * p.height, 0);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            double cov = Coverage(x, y, [&](double fx, double fy) {
                // Glyph box of 11 x 18 with a margin.
                double gx = fx - 2, gy = fy - 2;
                if (gx < 0 || gy < 0 || gx >= 11 || gy >= 18) return false;
                return index < 10 ? InSegmentDigit(index, gx, gy, 11, 18) : InPercent(gx, gy, 11, 18);
            });
            Put(p, x, y, Mix({255, 250, 240}, {200, 230, 255}, double(y) / p.height));
            p.alpha[static_cast<std::size_t>(y) * p.width + x] = Byte(cov * 255);
        }
    return p;
}

std::vector<std::uint8_t> EncodeBmp(const DemoPicture& picture) {
    const std::uint32_t stride = BmpRowStride(picture.width, 24);
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(picture.height);
    std::vector<std::uint8_t> out = BmpHeaders(picture.width, picture.height, 24, imageSize, 2835);
    out.resize(kBmpWriterHeaderBytes + imageSize, 0);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = &picture.rgb[static_cast<std::size_t>(y) * picture.width * 3];
        std::memcpy(&out[kBmpWriterHeaderBytes + static_cast<std::size_t>(picture.height - 1 - y) * stride], row,
                    static_cast<std::size_t>(picture.width) * 3);
    }
    return out;
}
