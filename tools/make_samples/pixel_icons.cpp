#include "pixel_icons.h"

#include <cmath>

namespace slk::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Pixel centres in [-1, 1] with y pointing up.
double U(int x) {
  return (x + 0.5) / 8.0 - 1.0;
}
double V(int y) {
  return 1.0 - (y + 0.5) / 8.0;
}

template <typename Shade>
Frame16 Paint(Shade shade) {
  Frame16 f{};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) f[y][x] = static_cast<std::uint8_t>(shade(U(x), V(y)));
  return f;
}

// Dark outline around every non-background pixel that touches the background.
Frame16 Outline(Frame16 f, std::uint8_t outline) {
  Frame16 out = f;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (f[y][x] == 0) continue;
      bool edge = x == 0 || y == 0 || x == 15 || y == 15 || f[y][x - 1] == 0 || f[y][x + 1] == 0 ||
                  f[y - 1][x] == 0 || f[y + 1][x] == 0;
      if (edge) out[y][x] = outline;
    }
  return out;
}

double StarRadius(double angle, double turn) {
  double a = std::fmod(angle - turn + 4 * kPi, 2 * kPi / 5) / (2 * kPi / 5);
  double t = std::abs(a - 0.5) * 2;  // 1 at a point, 0 between points
  return 0.42 + 0.52 * t * t;
}

}  // namespace

std::uint16_t Console(int r, int g, int b) {
  return static_cast<std::uint16_t>((r >> 3) | ((g >> 3) << 5) | ((b >> 3) << 10));
}

PixelIcon StarIcon() {
  PixelIcon icon;
  icon.palette = {Console(16, 16, 48),    Console(96, 48, 0),     Console(255, 200, 40),
                  Console(255, 240, 150), Console(255, 255, 255), Console(200, 140, 20)};
  for (int frame = 0; frame < 3; ++frame) {
    double turn = frame * (2 * kPi / 5) / 3;
    Frame16 f = Paint([&](double u, double v) {
      double r = std::hypot(u, v);
      double angle = std::atan2(v, u) + kPi / 2;
      if (r > StarRadius(angle, turn)) return 0;
      if (r < 0.18) return 4;
      return (u - v) < -0.2 ? 3 : (u + v < -0.5 ? 5 : 2);
    });
    icon.frames.push_back(Outline(f, 1));
  }
  return icon;
}

PixelIcon HeartIcon() {
  PixelIcon icon;
  icon.palette = {Console(40, 0, 24),     Console(90, 0, 20),     Console(230, 30, 60),
                  Console(255, 120, 140), Console(255, 230, 235), Console(170, 10, 40)};
  for (double scale : {0.95, 0.8}) {
    Frame16 f = Paint([&](double u, double v) {
      double x = u / scale * 1.25, y = (v + 0.1) / scale * 1.25;
      double h = std::pow(x * x + y * y - 1, 3) - x * x * y * y * y;
      if (h > 0) return 0;
      if (std::hypot(x + 0.45, y - 0.45) < 0.22) return 4;
      if (std::hypot(x + 0.4, y - 0.35) < 0.45) return 3;
      return y < -0.5 ? 5 : 2;
    });
    icon.frames.push_back(Outline(f, 1));
  }
  return icon;
}

PixelIcon CatIcon() {
  PixelIcon icon;
  icon.palette = {Console(30, 60, 40),    Console(40, 30, 20),  Console(240, 150, 60),
                  Console(255, 210, 150), Console(40, 160, 60), Console(250, 130, 150),
                  Console(20, 20, 20)};
  for (bool open : {true, false}) {
    Frame16 f = Paint([&](double u, double v) {
      bool head = std::hypot(u * 1.05, (v + 0.15) * 1.15) < 0.78;
      bool leftEar = v > 0.25 && v < 0.95 && u < -0.2 && u > -0.85 &&
                     (u + 0.85) > (v - 0.25) * 0.6 && (-0.2 - u) > (v - 0.25) * 0.55;
      bool rightEar = v > 0.25 && v < 0.95 && u > 0.2 && u < 0.85 &&
                      (0.85 - u) > (v - 0.25) * 0.6 && (u - 0.2) > (v - 0.25) * 0.55;
      if (!head && !leftEar && !rightEar) return 0;
      for (double ex : {-0.32, 0.32}) {
        if (open && std::hypot(u - ex, v + 0.05) < 0.16) return std::abs(u - ex) < 0.05 ? 6 : 4;
        if (!open && std::abs(v + 0.05) < 0.05 && std::abs(u - ex) < 0.18) return 6;
      }
      if (std::hypot(u, v + 0.38) < 0.09) return 5;
      if (std::hypot(u, v + 0.5) < 0.32 && v < -0.3) return 3;
      return 2;
    });
    icon.frames.push_back(Outline(f, 1));
  }
  return icon;
}

PixelIcon KeyIcon() {
  PixelIcon icon;
  icon.palette = {Console(50, 20, 60), Console(80, 50, 0), Console(230, 180, 30),
                  Console(255, 240, 140), Console(170, 120, 10)};
  Frame16 f = Paint([](double u, double v) {
    double x = (u + v) * 0.7071, y = (v - u) * 0.7071;  // along the key's diagonal
    double ring = std::hypot(x + 0.5, y);
    if (ring < 0.2) return 0;
    if (ring < 0.42) return x + y < -0.6 ? 3 : 2;
    if (x > -0.1 && x < 0.85 && std::abs(y) < 0.09) return 2;
    if (x > 0.45 && x < 0.85 && y < -0.08 && y > -0.32 && std::fmod(x + 10, 0.2) < 0.12) return 4;
    return 0;
  });
  icon.frames.push_back(Outline(f, 1));
  return icon;
}

PixelIcon CarIcon() {
  PixelIcon icon;
  icon.palette = {Console(60, 60, 70),    Console(20, 20, 30),    Console(30, 90, 220),
                  Console(130, 190, 255), Console(200, 200, 210), Console(255, 220, 60),
                  Console(90, 90, 100)};
  for (int frame = 0; frame < 2; ++frame) {
    Frame16 f = Paint([&](double u, double v) {
      for (double wx : {-0.55, 0.55}) {
        double r = std::hypot(u - wx, v + 0.45);
        if (r < 0.3) {
          double angle = std::atan2(v + 0.45, u - wx) + frame * kPi / 4;
          return r < 0.12 ? 4 : (std::fmod(angle + 4 * kPi, kPi / 2) < kPi / 4 ? 6 : 1);
        }
      }
      if (v > -0.45 && v < 0.05 && std::abs(u) < 0.95) return u > 0.8 && v > -0.2 ? 5 : 2;
      if (v >= 0.05 && v < 0.5 && u > -0.55 && u < 0.45 - (v - 0.05) * 0.4)
        return (u > -0.4 && u < 0.3 && v > 0.12) ? 3 : 2;
      return 0;
    });
    icon.frames.push_back(Outline(f, 1));
  }
  return icon;
}

PixelIcon FireworkIcon() {
  PixelIcon icon;
  icon.palette = {Console(8, 8, 32),      Console(255, 80, 60),   Console(255, 200, 60),
                  Console(120, 255, 120), Console(120, 180, 255), Console(255, 255, 255)};
  for (int frame = 0; frame < 3; ++frame) {
    double reach = 0.35 + 0.3 * frame;
    Frame16 f = Paint([&](double u, double v) {
      double r = std::hypot(u, v);
      if (r < 0.12) return frame == 0 ? 5 : 2;
      double angle = std::atan2(v, u);
      double spoke = std::fmod(angle + 4 * kPi, kPi / 6) / (kPi / 6);
      if (r < reach && r > reach - 0.35 && (spoke < 0.28 || spoke > 0.72))
        return 1 + static_cast<int>(std::fmod(angle + 4 * kPi, 2 * kPi) / (kPi / 2)) % 4;
      return 0;
    });
    icon.frames.push_back(f);
  }
  return icon;
}

}  // namespace slk::tools
