#include "gfx/pipeline.h"

#include <array>
#include <cmath>
#include <cstring>

namespace slk::gfx::detail {

namespace {

float LoadFloat(const std::uint8_t* p) {
  std::uint32_t bits = LoadPixel(p, 4);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

Vector3 LoadVector(const std::uint8_t* p) {
  return Vector3{LoadFloat(p), LoadFloat(p + 4), LoadFloat(p + 8)};
}

ColorValue FromColor(Color c) {
  return ColorValue{static_cast<float>((c >> 16) & 0xFF) / 255.0f,
                    static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                    static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

float Dot(const Vector3& a, const Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Row vector times the upper 4x3 of m, with w = 1 (point) or 0 (direction).
Vector3 TransformPoint(const Vector3& p, const Matrix& m, float w) {
  return Vector3{p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + w * m.m[3][0],
                 p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + w * m.m[3][1],
                 p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + w * m.m[3][2]};
}

float Clamp01(float v) {
  return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float Attenuation(float a0, float a1, float a2, float d) {
  float denominator = a0 + a1 * d + a2 * d * d;
  return denominator > 0.0f ? 1.0f / denominator : 1.0f;
}

// Each co-ordinate divided by d, in one vector division where the compiler
// has one; the quotients are the same.
Vector3 DivideBy(const Vector3& v, float d) {
#if defined(__GNUC__)
  using Float4 = float __attribute__((vector_size(16)));
  const Float4 q = Float4{v.x, v.y, v.z, 1.0f} / Float4{d, d, d, d};
  return Vector3{q[0], q[1], q[2]};
#else
  return Vector3{v.x / d, v.y / d, v.z / d};
#endif
}

}  // namespace

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix q;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      q.m[i][j] = sum;
    }
  }
  return q;
}

std::optional<FvfLayout> FvfLayout::Of(std::uint32_t fvf) {
  std::uint32_t size = VertexSize(fvf);
  if (size == 0) return std::nullopt;
  FvfLayout l;
  l.stride = size;
  l.pretransformed = (fvf & fvf::kPositionMask) == fvf::kXyzRhw;
  int offset = l.pretransformed ? 16 : 12;
  if ((fvf & fvf::kNormal) != 0) l.normal = offset, offset += 12;
  if ((fvf & fvf::kDiffuse) != 0) l.diffuse = offset, offset += 4;
  if ((fvf & fvf::kSpecular) != 0) l.specular = offset, offset += 4;
  if ((fvf & fvf::kTexCountMask) != 0) l.tex = offset;
  return l;
}

VertexTransformer::VertexTransformer(const Matrix& world, const Matrix& view,
                                     const Matrix& projection, const LightingSetup& lighting)
    : worldView_(Multiply(world, view)),
      worldViewProjection_(Multiply(worldView_, projection)),
      lighting_(lighting) {
  // Normals go through the inverse transpose of the upper 3x3 of world x
  // view. With row vectors that is n x inverse(M)^T; a singular matrix gives
  // zero normals.
  const auto& m = worldView_.m;
  float cof[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      cof[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
    }
  }
  float det = m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2];
  // inverse = adjugate / det, adjugate = cofactor^T; so inverse^T = cof / det.
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) normalMatrix_[i][j] = det != 0.0f ? cof[i][j] / det : 0.0f;
  }

  for (const gfx::Light& l : lighting_.lights) {
    CameraLight c{};
    c.type = l.type;
    c.position = TransformPoint(l.position, view, 1.0f);
    Vector3 d = TransformPoint(l.direction, view, 0.0f);
    float len = std::sqrt(Dot(d, d));
    if (len > 0.0f) d = Vector3{-d.x / len, -d.y / len, -d.z / len};
    c.direction = d;
    c.ambient = l.ambient;
    c.diffuse = l.diffuse;
    const Material& mat = lighting_.material;
    c.materialAmbient = ColorValue{mat.ambient.r * l.ambient.r, mat.ambient.g * l.ambient.g,
                                   mat.ambient.b * l.ambient.b, 0.0f};
    c.range = l.range;
    c.a0 = l.attenuation0;
    c.a1 = l.attenuation1;
    c.a2 = l.attenuation2;
    // a1 * d and a2 * d * d are zeros of the signs of a1 and a2 for any
    // finite d >= 0, as they are for d = 1.
    c.constantAttenuation = c.a1 == 0.0f && c.a2 == 0.0f;
    c.attenuation = Attenuation(c.a0, c.a1, c.a2, 1.0f);
    lights_.push_back(c);
  }
}

ColorValue VertexTransformer::Shade(const Vector3& position, const Vector3& normal,
                                    const ColorValue& diffuse) const {
  const Material& mat = lighting_.material;
  ColorValue out{mat.emissive.r + lighting_.globalAmbient.r * mat.ambient.r,
                 mat.emissive.g + lighting_.globalAmbient.g * mat.ambient.g,
                 mat.emissive.b + lighting_.globalAmbient.b * mat.ambient.b, diffuse.a};
  for (const CameraLight& l : lights_) {
    Vector3 toLight = l.direction;
    float attenuation = 1.0f;
    if (l.type != LightType::Directional) {
      // Spot lights are lit as point lights: no cone is used by the program.
      toLight =
          Vector3{l.position.x - position.x, l.position.y - position.y, l.position.z - position.z};
      float d = std::sqrt(Dot(toLight, toLight));
      if (d > l.range) continue;
      if (d > 0.0f) toLight = DivideBy(toLight, d);
      attenuation = l.constantAttenuation && std::isfinite(d) ? l.attenuation
                                                              : Attenuation(l.a0, l.a1, l.a2, d);
    }
    float nDotL = std::max(0.0f, Dot(normal, toLight));
    out.r += attenuation * (l.materialAmbient.r + diffuse.r * l.diffuse.r * nDotL);
    out.g += attenuation * (l.materialAmbient.g + diffuse.g * l.diffuse.g * nDotL);
    out.b += attenuation * (l.materialAmbient.b + diffuse.b * l.diffuse.b * nDotL);
  }
  return ColorValue{Clamp01(out.r), Clamp01(out.g), Clamp01(out.b), Clamp01(out.a)};
}

ClipVertex VertexTransformer::Process(const std::uint8_t* vertex, const FvfLayout& layout) const {
  Vector3 p = LoadVector(vertex);
  const auto& m = worldViewProjection_.m;
  ClipVertex out;
  out.x = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
  out.y = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
  out.z = p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2];
  out.w = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
  if (layout.tex >= 0) {
    out.u = LoadFloat(vertex + layout.tex);
    out.v = LoadFloat(vertex + layout.tex + 4);
  }

  bool hasDiffuse = layout.diffuse >= 0;
  ColorValue color = hasDiffuse ? FromColor(LoadPixel(vertex + layout.diffuse, 4))
                                : ColorValue{1.0f, 1.0f, 1.0f, 1.0f};
  if (lighting_.enabled) {
    // Material colours are used as they are (above 1 too); only the lit
    // result is clamped.
    ColorValue diffuse = hasDiffuse && lighting_.vertexDiffuse ? color : lighting_.material.diffuse;
    Vector3 n{};
    if (layout.normal >= 0) {
      Vector3 raw = LoadVector(vertex + layout.normal);
      const auto& nm = normalMatrix_;
      n = Vector3{raw.x * nm[0][0] + raw.y * nm[1][0] + raw.z * nm[2][0],
                  raw.x * nm[0][1] + raw.y * nm[1][1] + raw.z * nm[2][1],
                  raw.x * nm[0][2] + raw.y * nm[1][2] + raw.z * nm[2][2]};
      if (lighting_.normalizeNormals) {
        float len = std::sqrt(Dot(n, n));
        if (len > 0.0f) n = Vector3{n.x / len, n.y / len, n.z / len};
      }
    }
    color = Shade(TransformPoint(p, worldView_, 1.0f), n, diffuse);
  }
  out.r = color.r, out.g = color.g, out.b = color.b, out.a = color.a;
  return out;
}

RasterVertex PretransformedVertex(const std::uint8_t* vertex, const FvfLayout& layout) {
  RasterVertex v;
  v.x = LoadFloat(vertex);
  v.y = LoadFloat(vertex + 4);
  v.z = LoadFloat(vertex + 8);
  v.rhw = LoadFloat(vertex + 12);
  ColorValue c = layout.diffuse >= 0 ? FromColor(LoadPixel(vertex + layout.diffuse, 4))
                                     : ColorValue{1.0f, 1.0f, 1.0f, 1.0f};
  v.r = c.r, v.g = c.g, v.b = c.b, v.a = c.a;
  if (layout.tex >= 0) {
    v.u = LoadFloat(vertex + layout.tex);
    v.v = LoadFloat(vertex + layout.tex + 4);
  }
  return v;
}

}  // namespace slk::gfx::detail
