#include "tools/make_icons/preview.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace slk::tools {
namespace {

// The program's fixed camera: world = [turn about Y] x rotate about X x
// scale (4, 4, 0.707) x move 5 away; the view is the identity and the 90
// degree projection keeps depths from 4 to 6. Angles use 3.14 for pi, as the
// program does.
constexpr float kProgramPi = 3.14f;
constexpr float kDepthScale = 0.70710677f;
constexpr float kNear = 4.0f;
constexpr float kFar = 6.0f;
// Two point lights, one at the eye and one behind the model, each 1.2 strong
// with constant attenuation 3.4; material diffuse 1.5, emissive 0.5.
constexpr float kEmissive = 0.5f;
constexpr float kLightScale = 1.2f / 3.4f;
constexpr float kMaterialDiffuse = 1.5f;

struct CameraVertex {
  Vec3 position;
  std::array<float, 3> lit;  // colour factor per channel
  float u, v;
};

Vec3 ToCamera(Vec3 p, View view, int spinDegrees, bool normal) {
  float spin = static_cast<float>(spinDegrees) * kProgramPi / 180.0f;
  float tilt = (view == View::List ? -50.0f : -15.0f) * kProgramPi / 180.0f;
  Vec3 q{p.x * std::cos(spin) + p.z * std::sin(spin), p.y,
         -p.x * std::sin(spin) + p.z * std::cos(spin)};
  Vec3 r{q.x, q.y * std::cos(tilt) - q.z * std::sin(tilt),
         q.y * std::sin(tilt) + q.z * std::cos(tilt)};
  // Normals go through the inverse transpose, which divides by the scale,
  // and are not normalised again: that changes the lighting as it does in
  // the program.
  if (normal) return {r.x / 4.0f, r.y / 4.0f, r.z / kDepthScale};
  return {r.x * 4.0f, r.y * 4.0f, r.z * kDepthScale + 5.0f};
}

float Lit(float source, Vec3 position, Vec3 normal) {
  float total = kEmissive;
  for (Vec3 light : {Vec3{0, 0, 0}, Vec3{0, 0, 10}}) {
    Vec3 toLight = Normalize(light - position);
    total += kLightScale * source * std::max(0.0f, Dot(normal, toLight));
  }
  return std::min(total, 1.0f);
}

CameraVertex Prepare(const IconModel& model, int mesh, std::size_t i, View view, int spin) {
  std::size_t shapes = model.shapes.size();
  std::size_t s = static_cast<std::size_t>(mesh / 4) % shapes, next = (s + 1) % shapes;
  float k = static_cast<float>(mesh % 4) * 0.25f;
  Vec3 a = StoredPosition(model.shapes[s].Vertices()[i].position);
  Vec3 b = StoredPosition(model.shapes[next].Vertices()[i].position);
  const MeshVertex& ref =
      model.shapes[static_cast<std::size_t>(model.referenceShape)].Vertices()[i];
  CameraVertex out;
  out.position = ToCamera(a + (b - a) * k, view, spin, false);
  Vec3 normal = ToCamera(Normalize(ref.normal), view, spin, true);
  std::array<float, 3> source{kMaterialDiffuse, kMaterialDiffuse, kMaterialDiffuse};
  if (!model.Textured())
    source = {ref.colour.r / 255.0f, ref.colour.g / 255.0f, ref.colour.b / 255.0f};
  for (int c = 0; c < 3; ++c) out.lit[c] = Lit(source[c], out.position, normal);
  out.u = ref.u;
  out.v = ref.v;
  return out;
}

struct Raster {
  const IconModel& model;
  Image& target;
  Viewport viewport;
  std::vector<float> depth;
};

float Edge(float ax, float ay, float bx, float by, float px, float py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

Rgb Shade(const Raster& r, const std::array<CameraVertex, 3>& v, const std::array<float, 3>& w) {
  std::array<float, 3> lit{};
  float u = 0, tv = 0;
  for (int k = 0; k < 3; ++k) {
    for (int c = 0; c < 3; ++c) lit[c] += w[k] * v[k].lit[c];
    u += w[k] * v[k].u;
    tv += w[k] * v[k].v;
  }
  Rgb base{255, 255, 255};
  if (r.model.Textured()) {
    int tx = static_cast<int>(std::floor(u * kTextureSide)) & (kTextureSide - 1);
    int ty = static_cast<int>(std::floor(tv * kTextureSide)) & (kTextureSide - 1);
    base = FromConsole(r.model.texture[static_cast<std::size_t>(ty * kTextureSide + tx)]);
  }
  auto channel = [](std::uint8_t b, float k) {
    return static_cast<std::uint8_t>(std::lround(b * std::clamp(k, 0.0f, 1.0f)));
  };
  return {channel(base.r, lit[0]), channel(base.g, lit[1]), channel(base.b, lit[2])};
}

void DrawTriangle(Raster& r, const std::array<CameraVertex, 3>& v) {
  std::array<float, 3> sx{}, sy{}, inv{};
  float half = static_cast<float>(r.viewport.size) / 2.0f;
  for (int k = 0; k < 3; ++k) {
    inv[k] = 1.0f / v[k].position.z;
    sx[k] = static_cast<float>(r.viewport.x) + (1.0f + v[k].position.x * inv[k]) * half;
    sy[k] = static_cast<float>(r.viewport.y) + (1.0f - v[k].position.y * inv[k]) * half;
  }
  float area = Edge(sx[0], sy[0], sx[1], sy[1], sx[2], sy[2]);
  if (std::fabs(area) < 1e-6f) return;
  int x0 =
      std::max(r.viewport.x, static_cast<int>(std::floor(*std::min_element(sx.begin(), sx.end()))));
  int x1 = std::min(r.viewport.x + r.viewport.size - 1,
                    static_cast<int>(std::ceil(*std::max_element(sx.begin(), sx.end()))));
  int y0 =
      std::max(r.viewport.y, static_cast<int>(std::floor(*std::min_element(sy.begin(), sy.end()))));
  int y1 = std::min(r.viewport.y + r.viewport.size - 1,
                    static_cast<int>(std::ceil(*std::max_element(sy.begin(), sy.end()))));
  for (int py = y0; py <= y1; ++py)
    for (int px = x0; px <= x1; ++px) {
      float fx = static_cast<float>(px), fy = static_cast<float>(py);
      std::array<float, 3> b{Edge(sx[1], sy[1], sx[2], sy[2], fx, fy) / area,
                             Edge(sx[2], sy[2], sx[0], sy[0], fx, fy) / area,
                             Edge(sx[0], sy[0], sx[1], sy[1], fx, fy) / area};
      if (b[0] < 0 || b[1] < 0 || b[2] < 0) continue;
      float w = b[0] * inv[0] + b[1] * inv[1] + b[2] * inv[2];
      float z = 1.0f / w;
      float d = (3.0f * z - 12.0f) * w;
      std::size_t at =
          static_cast<std::size_t>((py - r.viewport.y) * r.viewport.size + px - r.viewport.x);
      if (d >= r.depth[at]) continue;
      r.depth[at] = d;
      std::array<float, 3> persp{b[0] * inv[0] * z, b[1] * inv[1] * z, b[2] * inv[2] * z};
      r.target.At(px, py) = Shade(r, v, persp);
    }
}

}  // namespace

int RenderMesh(const IconModel& model, int mesh, View view, int spinDegrees, Image& target,
               Viewport viewport) {
  Raster raster{model, target, viewport,
                std::vector<float>(static_cast<std::size_t>(viewport.size * viewport.size), 1.0f)};
  int cut = 0;
  std::size_t count = model.shapes.front().Size();
  for (std::size_t i = 0; i + 2 < count; i += 3) {
    std::array<CameraVertex, 3> v{Prepare(model, mesh, i, view, spinDegrees),
                                  Prepare(model, mesh, i + 1, view, spinDegrees),
                                  Prepare(model, mesh, i + 2, view, spinDegrees)};
    bool inside = std::all_of(v.begin(), v.end(), [](const CameraVertex& c) {
      return c.position.z >= kNear && c.position.z <= kFar &&
             std::fabs(c.position.x) <= c.position.z && std::fabs(c.position.y) <= c.position.z;
    });
    if (!inside) {
      ++cut;
      continue;
    }
    DrawTriangle(raster, v);
  }
  return cut;
}

bool WritePng(const std::string& path, const Image& image) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(image.width) * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      Rgb c = image.pixels[static_cast<std::size_t>(y * image.width + x)];
      row[static_cast<std::size_t>(3 * x)] = c.r;
      row[static_cast<std::size_t>(3 * x + 1)] = c.g;
      row[static_cast<std::size_t>(3 * x + 2)] = c.b;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

namespace {

constexpr int kCellScale = 3;
constexpr int kDetailSize = 224;
constexpr int kDetailTurns = 6;
constexpr Rgb kPanel{70, 78, 92};  // stands for the list panel behind a cell
constexpr Rgb kSheet{30, 30, 34};

void Enlarge(const Image& from, Image& to, int x0, int y0, int scale) {
  for (int y = 0; y < from.height * scale; ++y)
    for (int x = 0; x < from.width * scale; ++x)
      to.At(x0 + x, y0 + y) =
          from.pixels[static_cast<std::size_t>((y / scale) * from.width + x / scale)];
}

void DetailBackground(Image& sheet, int x0, int y0) {
  for (int y = 0; y < kDetailSize; ++y)
    for (int x = 0; x < kDetailSize; ++x)
      sheet.At(x0 + x, y0 + y) =
          Mix(Rgb{40, 96, 110}, Rgb{18, 28, 64}, static_cast<float>(y) / kDetailSize);
}

}  // namespace

int WritePreviewSheet(const IconModel& model, const std::string& path) {
  int shapes = static_cast<int>(model.shapes.size());
  int cell = 64 * kCellScale;
  int width = std::max(shapes * (cell + 8), kDetailTurns * (kDetailSize + 8)) + 8;
  int height = 8 + cell + 8 + kDetailSize + 8 + (model.Textured() ? 256 + 8 : 0);
  Image sheet(width, height, kSheet);
  int cut = 0;
  for (int s = 0; s < shapes; ++s) {
    Image cellImage(64, 64, kPanel);
    cut += RenderMesh(model, 4 * s, View::List, 0, cellImage, {0, 0, 64});
    Enlarge(cellImage, sheet, 8 + s * (cell + 8), 8, kCellScale);
  }
  int detailY = 8 + cell + 8;
  for (int k = 0; k < kDetailTurns; ++k) {
    int turn = k * 360 / kDetailTurns;
    int x0 = 8 + k * (kDetailSize + 8);
    DetailBackground(sheet, x0, detailY);
    // Each tile shows a later mesh of the loop, so the sheet shows the movement.
    cut += RenderMesh(model, k * 4 * shapes / kDetailTurns, View::Detail, turn, sheet,
                      {x0, detailY, kDetailSize});
  }
  if (model.Textured()) {
    Image texture(kTextureSide, kTextureSide, kSheet);
    for (int i = 0; i < kTexelCount; ++i)
      texture.pixels[static_cast<std::size_t>(i)] =
          FromConsole(model.texture[static_cast<std::size_t>(i)]);
    Enlarge(texture, sheet, 8, detailY + kDetailSize + 8, 2);
  }
  if (!WritePng(path, sheet)) return -1;
  return cut;
}

}  // namespace slk::tools
