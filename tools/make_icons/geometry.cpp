#include "tools/make_icons/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace slk::tools {

float Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Normalize(Vec3 a) {
  float length = std::sqrt(Dot(a, a));
  return length > 0 ? a * (1.0f / length) : Vec3{0, 1, 0};
}

Mat3 RotateX(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
}

Mat3 RotateY(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
}

Mat3 RotateZ(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

Mat3 operator*(const Mat3& a, const Mat3& b) {
  Mat3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}

Vec3 Apply(const Mat3& m, Vec3 v) {
  return {m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z,
          m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
          m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z};
}

Surface Plain(AtlasRect area, Rgb colour) {
  return Surface{area, [colour](float, float) { return colour; }};
}

void Mesh::Triangle(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
  vertices_.push_back(a);
  vertices_.push_back(b);
  vertices_.push_back(c);
}

void Mesh::Append(const Mesh& other) {
  vertices_.insert(vertices_.end(), other.vertices_.begin(), other.vertices_.end());
}

void Mesh::Transform(const Mat3& m, Vec3 pivot, Vec3 offset) {
  for (MeshVertex& v : vertices_) {
    v.position = Apply(m, v.position - pivot) + pivot + offset;
    v.normal = Normalize(Apply(m, v.normal));
  }
}

void Mesh::Deform(const std::function<Vec3(Vec3)>& move) {
  for (MeshVertex& v : vertices_) v.position = move(v.position);
}

void Mesh::Scale(Vec3 k) {
  for (MeshVertex& v : vertices_) {
    v.position = {v.position.x * k.x, v.position.y * k.y, v.position.z * k.z};
    v.normal = Normalize({v.normal.x / k.x, v.normal.y / k.y, v.normal.z / k.z});
  }
}

MeshVertex SurfaceVertex(const SurfacePoint& p, const Surface& surface, Rgb faceColour) {
  const AtlasRect& a = surface.area;
  float s = std::clamp(p.s, 0.0f, 1.0f), t = std::clamp(p.t, 0.0f, 1.0f);
  MeshVertex v;
  v.position = p.position;
  v.normal = Normalize(p.normal);
  v.u = (static_cast<float>(a.x) + 0.5f + s * static_cast<float>(a.w - 1)) / 128.0f;
  v.v = (static_cast<float>(a.y) + 0.5f + t * static_cast<float>(a.h - 1)) / 128.0f;
  v.colour = faceColour;
  return v;
}

namespace {

Rgb FaceColour(const Surface& surface, float s, float t) {
  return surface.colour ? surface.colour(s, t) : Rgb{128, 128, 128};
}

// Emits the quad p00-p10-p11-p01 (or the triangle left when one edge has
// collapsed to a point) with one colour from its centre.
void EmitQuad(Mesh& mesh, const SurfacePoint& p00, const SurfacePoint& p10, const SurfacePoint& p11,
              const SurfacePoint& p01, const Surface& surface, bool bottomClosed, bool topClosed) {
  Rgb c = FaceColour(surface, (p00.s + p11.s) / 2, (p00.t + p11.t) / 2);
  MeshVertex a = SurfaceVertex(p00, surface, c), b = SurfaceVertex(p10, surface, c);
  MeshVertex d = SurfaceVertex(p11, surface, c), e = SurfaceVertex(p01, surface, c);
  if (!bottomClosed) mesh.Triangle(a, b, d);
  if (!topClosed) mesh.Triangle(a, d, e);
}

}  // namespace

Mesh GridSurface(int columns, int rows, const std::function<SurfacePoint(int i, int j)>& point,
                 const Surface& surface) {
  Mesh mesh;
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i)
      EmitQuad(mesh, point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1), surface,
               false, false);
  return mesh;
}

namespace {

// Outward normal of each profile point in the (radius, height) plane, smooth
// across a point unless a repeated point marks an edge there.
std::vector<ProfilePoint> ProfileNormals(const std::vector<ProfilePoint>& profile) {
  auto segmentNormal = [&](std::size_t k) -> ProfilePoint {
    float dr = profile[k + 1].radius - profile[k].radius;
    float dh = profile[k + 1].height - profile[k].height;
    float length = std::hypot(dr, dh);
    if (length < 1e-6f) return {0, 0};
    return {dh / length, -dr / length};
  };
  std::vector<ProfilePoint> normals(profile.size());
  for (std::size_t k = 0; k < profile.size(); ++k) {
    // A collapsed segment contributes nothing, so a repeated point keeps the
    // two sides of an edge apart.
    ProfilePoint sum{0, 0};
    if (k > 0) sum = segmentNormal(k - 1);
    if (k + 1 < profile.size()) {
      ProfilePoint next = segmentNormal(k);
      sum = {sum.radius + next.radius, sum.height + next.height};
    }
    float length = std::hypot(sum.radius, sum.height);
    normals[k] =
        length > 0 ? ProfilePoint{sum.radius / length, sum.height / length} : ProfilePoint{0, 1};
  }
  return normals;
}

std::vector<float> ProfileT(const std::vector<ProfilePoint>& profile) {
  std::vector<float> t(profile.size(), 0.0f);
  float total = 0;
  for (std::size_t k = 1; k < profile.size(); ++k) {
    total += std::hypot(profile[k].radius - profile[k - 1].radius,
                        profile[k].height - profile[k - 1].height);
    t[k] = total;
  }
  for (float& value : t) value = total > 0 ? 1.0f - value / total : 0.0f;
  return t;
}

}  // namespace

Mesh Lathe(Vec3 base, const std::vector<ProfilePoint>& profile, int slices,
           const Surface& surface) {
  std::vector<ProfilePoint> normals = ProfileNormals(profile);
  std::vector<float> ts = ProfileT(profile);
  auto at = [&](std::size_t k, int slice) {
    float s = static_cast<float>(slice) / static_cast<float>(slices);
    float angle = 2.0f * std::numbers::pi_v<float> * s;
    float sn = std::sin(angle), cs = -std::cos(angle);
    SurfacePoint p;
    p.position = base + Vec3{profile[k].radius * sn, profile[k].height, profile[k].radius * cs};
    p.normal = {normals[k].radius * sn, normals[k].height, normals[k].radius * cs};
    p.s = s;
    p.t = ts[k];
    return p;
  };
  Mesh mesh;
  for (std::size_t k = 0; k + 1 < profile.size(); ++k) {
    const ProfilePoint& lo = profile[k];
    const ProfilePoint& hi = profile[k + 1];
    if (std::hypot(hi.radius - lo.radius, hi.height - lo.height) < 1e-6f) continue;
    for (int i = 0; i < slices; ++i)
      EmitQuad(mesh, at(k, i), at(k, i + 1), at(k + 1, i + 1), at(k + 1, i), surface,
               lo.radius == 0, hi.radius == 0);
  }
  return mesh;
}

Mesh Ellipsoid(Vec3 centre, Vec3 radii, int slices, int stacks, const Surface& surface) {
  std::vector<ProfilePoint> profile;
  for (int k = 0; k <= stacks; ++k) {
    float phi = std::numbers::pi_v<float> * static_cast<float>(k) / static_cast<float>(stacks);
    profile.push_back({k == 0 || k == stacks ? 0.0f : std::sin(phi), -std::cos(phi)});
  }
  Mesh mesh = Lathe({0, 0, 0}, profile, slices, surface);
  mesh.Scale(radii);
  mesh.Transform(Mat3{}, {0, 0, 0}, centre);
  return mesh;
}

Mesh LoopStrip(const std::vector<Vec3>& a, const std::vector<Vec3>& aNormals,
               const std::vector<Vec3>& b, const std::vector<Vec3>& bNormals,
               const Surface& surface) {
  std::size_t n = a.size();
  auto point = [&](bool onB, std::size_t k) {
    std::size_t i = k % n;
    return SurfacePoint{onB ? b[i] : a[i], onB ? bNormals[i] : aNormals[i],
                        static_cast<float>(k) / static_cast<float>(n), onB ? 1.0f : 0.0f};
  };
  Mesh mesh;
  for (std::size_t k = 0; k < n; ++k)
    EmitQuad(mesh, point(false, k), point(false, k + 1), point(true, k + 1), point(true, k),
             surface, false, false);
  return mesh;
}

Mesh FlatPolygon(const std::vector<Vec3>& points, Vec3 normal, Vec3 sAxis, Vec3 tAxis,
                 const Surface& surface) {
  float sMin = 1e9f, sMax = -1e9f, tMin = 1e9f, tMax = -1e9f;
  for (Vec3 p : points) {
    sMin = std::min(sMin, Dot(p, sAxis));
    sMax = std::max(sMax, Dot(p, sAxis));
    tMin = std::min(tMin, Dot(p, tAxis));
    tMax = std::max(tMax, Dot(p, tAxis));
  }
  auto point = [&](Vec3 p) {
    return SurfacePoint{p, normal, (Dot(p, sAxis) - sMin) / std::max(sMax - sMin, 1e-6f),
                        (Dot(p, tAxis) - tMin) / std::max(tMax - tMin, 1e-6f)};
  };
  Mesh mesh;
  for (std::size_t k = 1; k + 1 < points.size(); ++k) {
    SurfacePoint a = point(points[0]), b = point(points[k]), c = point(points[k + 1]);
    Rgb colour = FaceColour(surface, (a.s + b.s + c.s) / 3, (a.t + b.t + c.t) / 3);
    mesh.Triangle(SurfaceVertex(a, surface, colour), SurfaceVertex(b, surface, colour),
                  SurfaceVertex(c, surface, colour));
  }
  return mesh;
}

}  // namespace slk::tools
