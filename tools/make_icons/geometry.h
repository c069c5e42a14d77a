#pragma once
// Small 3D helpers for building icon models: vectors, rotations, and a
// triangle-list mesh with the shapes our models are made of. Every primitive
// maps its surface parameters (s, t) in [0, 1] into an area of the 128 x 128
// texture and, for untextured models, asks a colouring function per face.
//
// Model space is the one the program draws in: X right, Y up (the floor is
// Y = -1), Z away from the camera (the front of a model faces -Z).

#include <cstdint>
#include <functional>
#include <vector>

namespace slk::tools {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, float k) {
  return {a.x * k, a.y * k, a.z * k};
}
float Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
Vec3 Normalize(Vec3 a);

// Row-major 3x3 matrix applied to column vectors: Apply(m, v) = m v.
struct Mat3 {
  float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};
Mat3 RotateX(float radians);  // turns +Y towards +Z
Mat3 RotateY(float radians);  // turns +Z towards +X
Mat3 RotateZ(float radians);  // turns +X towards +Y
Mat3 operator*(const Mat3& a, const Mat3& b);
Vec3 Apply(const Mat3& m, Vec3 v);

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// A texture area in texels. (s, t) = (0, 0) lands on the centre of its top-left
// texel and (1, 1) on the centre of its bottom-right one, so that sampling
// never strays into a neighbouring area or wraps round the texture's edge.
struct AtlasRect {
  int x = 0, y = 0, w = 1, h = 1;
};

// How a primitive colours itself: its texture area, and for untextured models
// the vertex colour of the face around (s, t).
struct Surface {
  AtlasRect area;
  std::function<Rgb(float s, float t)> colour;
};
Surface Plain(AtlasRect area, Rgb colour);

struct MeshVertex {
  Vec3 position;
  Vec3 normal;
  float u = 0, v = 0;
  Rgb colour{128, 128, 128};
};

class Mesh {
 public:
  const std::vector<MeshVertex>& Vertices() const { return vertices_; }
  std::size_t Size() const { return vertices_.size(); }

  void Triangle(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c);
  void Append(const Mesh& other);
  // Rotates positions and normals by m about `pivot`, then moves by `offset`.
  void Transform(const Mat3& m, Vec3 pivot, Vec3 offset);
  // Per-vertex position change; normals stay (used for squash and bend).
  void Deform(const std::function<Vec3(Vec3)>& move);
  // Scales positions by k about the origin; normals follow the surface.
  void Scale(Vec3 k);

 private:
  std::vector<MeshVertex> vertices_;
};

// A point of a surface before it becomes a vertex.
struct SurfacePoint {
  Vec3 position;
  Vec3 normal;
  float s = 0, t = 0;
};

// A grid of (columns + 1) x (rows + 1) points made into quads. Each quad takes
// one colour, from its centre, so colour bands stay crisp.
Mesh GridSurface(int columns, int rows, const std::function<SurfacePoint(int i, int j)>& point,
                 const Surface& surface);

// The texture coordinate and face colour of (s, t) on a surface.
MeshVertex SurfaceVertex(const SurfacePoint& p, const Surface& surface, Rgb faceColour);

// A surface of revolution about the Y axis through `base`. The profile runs
// from bottom to top as (radius, height) pairs; s goes round from the front
// (-Z) through +X, t runs from the top (0) to the bottom (1) by arc length.
// Repeat a profile point to get a sharp edge; a radius of 0 closes the end.
struct ProfilePoint {
  float radius = 0, height = 0;
};
Mesh Lathe(Vec3 base, const std::vector<ProfilePoint>& profile, int slices, const Surface& surface);

// An ellipsoid; s round from the front as for Lathe, t from top to bottom.
Mesh Ellipsoid(Vec3 centre, Vec3 radii, int slices, int stacks, const Surface& surface);

// A band between two closed loops of equally many points, each point with its
// own normal: s goes along the loops, t from loop a (0) to loop b (1).
Mesh LoopStrip(const std::vector<Vec3>& a, const std::vector<Vec3>& aNormals,
               const std::vector<Vec3>& b, const std::vector<Vec3>& bNormals,
               const Surface& surface);

// A flat convex polygon, fanned from its first point, all of it facing
// `normal`. (s, t) span the points' extent along sAxis and tAxis.
Mesh FlatPolygon(const std::vector<Vec3>& points, Vec3 normal, Vec3 sAxis, Vec3 tAxis,
                 const Surface& surface);

}  // namespace slk::tools
