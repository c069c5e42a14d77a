// Homogeneous clipping and the viewport mapping.

#include <array>
#include <cstddef>

#include "gfx/pipeline.h"

namespace slk::gfx::detail {

namespace {

// Triangles are clipped exactly against the near and far planes. Left, right,
// top and bottom are clipped against a band four times the viewport's size
// instead, which keeps screen co-ordinates small; the rasteriser then cuts
// the rest at the viewport's edges, pixel for pixel.
constexpr float kGuardBand = 4.0f;
// Keeps 1/w finite for a vertex that sits on the eye.
constexpr float kMinW = 1.0e-6f;
constexpr int kPlanes = 7;
constexpr std::size_t kMaxPolygon = 3 + kPlanes;

float PlaneDistance(const ClipVertex& v, int plane) {
  switch (plane) {
    case 0:
      return v.z;  // near: 0 <= z
    case 1:
      return v.w - v.z;  // far: z <= w
    case 2:
      return kGuardBand * v.w + v.x;
    case 3:
      return kGuardBand * v.w - v.x;
    case 4:
      return kGuardBand * v.w + v.y;
    case 5:
      return kGuardBand * v.w - v.y;
    default:
      return v.w - kMinW;
  }
}

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t) {
  auto mix = [t](float x, float y) { return x + (y - x) * t; };
  return ClipVertex{mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z), mix(a.w, b.w), mix(a.u, b.u),
                    mix(a.v, b.v), mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)};
}

struct Polygon {
  std::array<ClipVertex, kMaxPolygon> v;
  std::size_t n = 0;
};

// Sutherland-Hodgman against one plane.
void ClipPolygon(const Polygon& in, int plane, Polygon& out) {
  out.n = 0;
  for (std::size_t i = 0; i < in.n; ++i) {
    const ClipVertex& a = in.v[i];
    const ClipVertex& b = in.v[(i + 1) % in.n];
    float da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
    if (da >= 0.0f) out.v[out.n++] = a;
    if ((da >= 0.0f) != (db >= 0.0f) && out.n < kMaxPolygon) {
      out.v[out.n++] = Lerp(a, b, da / (da - db));
    }
  }
}

}  // namespace

unsigned OutCode(const ClipVertex& v) {
  unsigned code = 0;
  for (int p = 0; p < kPlanes; ++p) {
    if (!(PlaneDistance(v, p) >= 0.0f)) code |= 1u << p;
  }
  return code;
}

RasterVertex ToScreen(const ClipVertex& c, const Viewport& vp) {
  float rhw = 1.0f / c.w;
  RasterVertex v;
  v.x = static_cast<float>(vp.x) + (1.0f + c.x * rhw) * static_cast<float>(vp.width) * 0.5f;
  v.y = static_cast<float>(vp.y) + (1.0f - c.y * rhw) * static_cast<float>(vp.height) * 0.5f;
  v.z = vp.minZ + c.z * rhw * (vp.maxZ - vp.minZ);
  v.rhw = rhw;
  v.u = c.u, v.v = c.v;
  v.r = c.r, v.g = c.g, v.b = c.b, v.a = c.a;
  return v;
}

void ClipAndDraw(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                 const Viewport& viewport, Rasterizer& rasterizer) {
  unsigned ca = OutCode(a), cb = OutCode(b), cc = OutCode(c);
  if ((ca & cb & cc) != 0) return;  // wholly outside one plane
  if ((ca | cb | cc) == 0) {
    rasterizer.Triangle(ToScreen(a, viewport), ToScreen(b, viewport), ToScreen(c, viewport));
    return;
  }
  Polygon buffers[2];
  buffers[0].v[0] = a, buffers[0].v[1] = b, buffers[0].v[2] = c;
  buffers[0].n = 3;
  int current = 0;
  unsigned crossed = ca | cb | cc;
  for (int plane = 0; plane < kPlanes; ++plane) {
    if ((crossed & (1u << plane)) == 0) continue;
    ClipPolygon(buffers[current], plane, buffers[1 - current]);
    current = 1 - current;
    if (buffers[current].n < 3) return;
  }
  const Polygon& poly = buffers[current];
  RasterVertex first = ToScreen(poly.v[0], viewport);
  RasterVertex previous = ToScreen(poly.v[1], viewport);
  for (std::size_t i = 2; i < poly.n; ++i) {
    RasterVertex next = ToScreen(poly.v[i], viewport);
    rasterizer.Triangle(first, previous, next);
    previous = next;
  }
}

}  // namespace slk::gfx::detail
