#include "app/Pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string_view>

namespace quillet::app {

namespace {

constexpr std::uint32_t kTransparent = 0xFF00FF;

struct Color {
    double r, g, b;
};

Color FromHex(std::uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

std::uint32_t ToHex(Color c) {
    const auto channel = [](double v) {
        return static_cast<std::uint32_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5);
    };
    return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

Color Mix(Color a, Color b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Coverage of a disc at a pixel, softened over one pixel for smooth edges.
double DiscCoverage(double x, double y, double cx, double cy, double radius) {
    const double distance = std::hypot(x - cx, y - cy);
    return std::clamp(radius - distance + 0.5, 0.0, 1.0);
}

double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

// The four face buttons of the pad, in the Super Famicom's colours: A red, B yellow, X blue,
// Y green.
constexpr std::array<std::uint32_t, 4> kPadColors = {0xD8262E, 0xF2C12E, 0x2E5FD8, 0x2EA84F};

// A shaded ball: lighter towards its upper left, as if lit from there.
Color Ball(Color base, double x, double y, double cx, double cy, double radius) {
    const double lx = (x - (cx - radius * 0.35)) / radius;
    const double ly = (y - (cy - radius * 0.35)) / radius;
    const double highlight = std::clamp(1.0 - std::hypot(lx, ly), 0.0, 1.0);
    return Mix(Mix(base, {0, 0, 0}, 0.25), {1, 1, 1}, highlight * highlight * 0.8);
}

// Five by seven letters, one row a byte, for the name beside the logo.
struct Letter {
    char ch;
    std::array<std::uint8_t, 7> rows;
};
constexpr std::array<Letter, 6> kLetters = {{
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
}};

bool LetterPixel(char ch, int x, int y) {
    for (const Letter& letter : kLetters) {
        if (letter.ch == ch)
            return x >= 0 && x < 5 && y >= 0 && y < 7 &&
                   (letter.rows[static_cast<std::size_t>(y)] >> (4 - x) & 1);
    }
    return false;
}

Color Hue(double h) {
    h -= std::floor(h);
    const double r = std::clamp(std::fabs(h * 6 - 3) - 1, 0.0, 1.0);
    const double g = std::clamp(2 - std::fabs(h * 6 - 2), 0.0, 1.0);
    const double b = std::clamp(2 - std::fabs(h * 6 - 4), 0.0, 1.0);
    return {r, g, b};
}

// A 256-colour palette holds these exactly: six levels per channel.
std::uint32_t ToWebSafe(std::uint32_t rgb) {
    const auto level = [](std::uint32_t v) { return (v + 25) / 51 * 51; };
    return level(rgb >> 16 & 0xFF) << 16 | level(rgb >> 8 & 0xFF) << 8 | level(rgb & 0xFF);
}

} // namespace

void RgbImage::Set(int x, int y, std::uint32_t color) {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    const auto at = static_cast<std::size_t>((y * width + x) * 3);
    rgb[at] = static_cast<std::uint8_t>(color >> 16);
    rgb[at + 1] = static_cast<std::uint8_t>(color >> 8);
    rgb[at + 2] = static_cast<std::uint8_t>(color);
}

std::uint32_t RgbImage::Get(int x, int y) const {
    const auto at = static_cast<std::size_t>((y * width + x) * 3);
    return static_cast<std::uint32_t>(rgb[at]) << 16 |
           static_cast<std::uint32_t>(rgb[at + 1]) << 8 | rgb[at + 2];
}

RgbImage AnimationFrame(int index) {
    RgbImage frame(kFrameWidth, kFrameHeight);
    const double phase = static_cast<double>(index % kFrameCount) / kFrameCount;
    const double angle = phase * 2 * std::numbers::pi;
    const Color top = FromHex(0x1B2350);
    const Color bottom = FromHex(0x06081A);
    const std::string_view name = "QUILLET";

    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            Color c = Mix(top, bottom, py / kFrameHeight);

            // The four face buttons turn once around their centre in 32 frames.
            for (int i = 0; i < 4; ++i) {
                const double a = angle + i * std::numbers::pi / 2;
                const double cx = 17.5 + std::cos(a) * 9.5;
                const double cy = 17.5 + std::sin(a) * 9.5;
                const double cover = DiscCoverage(px, py, cx, cy, 6.0);
                if (cover > 0)
                    c = Mix(
                        c,
                        Ball(FromHex(kPadColors[static_cast<std::size_t>(i)]), px, py, cx, cy, 6.0),
                        cover);
            }

            // The name, in colours that run along it.
            const int lx = x - 33;
            const int ly = y - 14;
            if (lx >= 0 && ly >= 0 && ly < 7) {
                const int letter = lx / 6;
                if (letter < static_cast<int>(name.size()) &&
                    LetterPixel(name[static_cast<std::size_t>(letter)], lx % 6, ly))
                    c = Mix(Hue(phase + letter / 7.0 * 0.5), {1, 1, 1}, 0.35);
            }
            if (lx >= 0 && ly == 8 && lx < 41)
                c = Mix(c, {1, 1, 1}, 0.15); // a thin underline

            // A band of light sweeps across, left to right.
            const double sweep = (phase * 1.6 - 0.3) * (kFrameWidth + 35) - py;
            const double glow = std::exp(-std::pow((px - sweep) / 4.0, 2));
            c = Mix(c, {1, 1, 1}, glow * 0.35);
            frame.Set(x, y, ToHex(c));
        }
    }
    return frame;
}

RgbImage WindowIcon() {
    RgbImage icon(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            // A rounded dark tile with the four face buttons on it.
            const double corner = std::hypot(std::max(std::fabs(px - 16) - 11, 0.0),
                                             std::max(std::fabs(py - 16) - 11, 0.0));
            Color c = corner < 4.5 ? Mix(FromHex(0x2A3470), FromHex(0x0A0E2A), py / 32)
                                   : FromHex(kTransparent);
            for (int i = 0; i < 4; ++i) {
                const double a = std::numbers::pi / 4 + i * std::numbers::pi / 2;
                const double cx = 16 + std::cos(a) * 7.5;
                const double cy = 16 + std::sin(a) * 7.5;
                if (DiscCoverage(px, py, cx, cy, 5.0) > 0.5)
                    c = Ball(FromHex(kPadColors[static_cast<std::size_t>(i)]), px, py, cx, cy, 5.0);
            }
            const std::uint32_t hex = ToHex(c);
            icon.Set(x, y, hex == kTransparent ? hex : ToWebSafe(hex));
        }
    }
    return icon;
}

namespace {

// Draws a status or button symbol at scale `size` into `image` at (ox, oy), greyed if disabled.
void DrawSymbol(RgbImage& image, Glyph glyph, int ox, int oy, int size, bool disabled) {
    const double s = size / 16.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = (x + 0.5) / s;
            const double py = (y + 0.5) / s;
            std::uint32_t color = kTransparent;
            switch (glyph) {
            case Glyph::Open:
                // A folder: back, tab and a front flap.
                if (px > 1.5 && px < 14.5 && py > 4 && py < 13.5)
                    color = py < 6.5 && px > 7 ? kTransparent : 0xC89B2C;
                if (px > 1.5 && px < 7 && py > 3 && py < 5)
                    color = 0xC89B2C;
                if (py > 7 && py < 13.5 && px > 3 + (13.5 - py) * 0.2 &&
                    px < 15.5 - (13.5 - py) * 0.2)
                    color = 0xF2CF5B;
                break;
            case Glyph::Close:
                // A door left ajar.
                if (px > 4 && px < 12 && py > 1.5 && py < 14.5)
                    color = 0x6B4A2A;
                if (px > 5 && px < 11 && py > 2.5 && py < 14.5)
                    color = 0x1E1E1E;
                if (py > 2.5 && py < 14.5 && px > 5 && px < 5 + 5 * (1 - std::fabs(py - 8.5) / 12))
                    color = 0xA8773F;
                break;
            case Glyph::Ok:
                if (SegmentDistance(px, py, 3, 8.5, 6.5, 12) < 1.4 ||
                    SegmentDistance(px, py, 6.5, 12, 13, 4) < 1.4)
                    color = 0x1E9E3A;
                break;
            default: {
                const std::uint32_t disc = glyph == Glyph::StatusNone    ? 0x808080
                                           : glyph == Glyph::StatusValid ? 0x008000
                                           : glyph == Glyph::StatusMinor ? 0xFFFF00
                                                                         : 0xFF0000;
                if (std::hypot(px - 8, py - 8) < 7)
                    color = disc;
                bool mark = false;
                if (glyph == Glyph::StatusNone)
                    mark = (std::fabs(std::hypot(px - 8, py - 6.2) - 2.3) < 0.9 &&
                            !(py > 6.2 && px < 8)) ||
                           (std::fabs(px - 8) < 0.9 && py > 8.3 && py < 10) ||
                           std::hypot(px - 8, py - 12) < 1;
                if (glyph == Glyph::StatusValid)
                    mark = SegmentDistance(px, py, 4.5, 8.5, 7, 11) < 1.1 ||
                           SegmentDistance(px, py, 7, 11, 11.5, 5) < 1.1;
                if (glyph == Glyph::StatusMinor)
                    mark = (std::fabs(px - 8) < 1 && py > 3.5 && py < 9.5) ||
                           std::hypot(px - 8, py - 12) < 1.1;
                if (glyph == Glyph::StatusUnusable)
                    mark = SegmentDistance(px, py, 5, 5, 11, 11) < 1.1 ||
                           SegmentDistance(px, py, 11, 5, 5, 11) < 1.1;
                if (mark)
                    color = glyph == Glyph::StatusMinor ? 0x000000 : 0xFFFFFF;
                break;
            }
            }
            if (disabled && color != kTransparent) {
                const std::uint32_t grey =
                    ((color >> 16 & 0xFF) + (color >> 8 & 0xFF) + (color & 0xFF)) / 3 / 2 + 96;
                color = grey << 16 | grey << 8 | grey;
            }
            image.Set(ox + x, oy + y, color);
        }
    }
}

} // namespace

RgbImage GlyphImage(Glyph glyph) {
    switch (glyph) {
    case Glyph::Open:
    case Glyph::Close:
    case Glyph::Ok: {
        RgbImage image(32, 16);
        DrawSymbol(image, glyph, 0, 0, 16, false);
        DrawSymbol(image, glyph, 16, 0, 16, true);
        return image;
    }
    default: {
        RgbImage image(32, 32);
        DrawSymbol(image, glyph, 0, 0, 32, false);
        return image;
    }
    }
}

} // namespace quillet::app
