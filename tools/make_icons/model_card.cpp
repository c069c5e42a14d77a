// The standard icon: a memory card of our own design, a flat rounded box with
// a bevelled edge, grip ridges, a label with a coloured band and an insert
// arrow, and a connector strip at the bottom. It leans back so that the list's
// high camera sees its face, and bobs and sways gently.

#include <cmath>
#include <numbers>

#include "tools/make_icons/icon_models.h"

namespace slk::tools {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kHalfWidth = 0.74f;
constexpr float kBottom = -0.99f;
constexpr float kTop = 0.99f;
constexpr float kHalfThickness = 0.11f;
constexpr float kBevel = 0.04f;
constexpr float kTopRadius = 0.2f;
constexpr float kBottomRadius = 0.06f;
constexpr float kLean = 25.0f * kPi / 180.0f;

constexpr AtlasRect kFront{0, 0, 72, 96};  // the face keeps the card's 3:4 proportions
constexpr AtlasRect kBack{72, 0, 56, 75};
constexpr AtlasRect kBody{76, 84, 8, 8};

constexpr Rgb kBodyColour{44, 48, 58};
constexpr Rgb kEdgeColour{62, 67, 80};

struct Loop {
  std::vector<Vec3> points;
  std::vector<Vec3> outward;  // in the card's plane
};

// The card's outline at depth z, shrunk by `inset`: four rounded corners, the
// top ones wider, going round counter-clockwise as seen from the front.
Loop Outline(float inset, float z) {
  struct Corner {
    float cx, cy, radius, startDegrees;
    int segments;
  };
  float hw = kHalfWidth - inset, bottom = kBottom + inset, top = kTop - inset;
  float rt = kTopRadius - inset, rb = kBottomRadius - inset;
  const Corner corners[] = {{hw - rb, bottom + rb, rb, -90, 2},
                            {hw - rt, top - rt, rt, 0, 6},
                            {-hw + rt, top - rt, rt, 90, 6},
                            {-hw + rb, bottom + rb, rb, 180, 2}};
  Loop loop;
  for (const Corner& c : corners)
    for (int k = 0; k <= c.segments; ++k) {
      float a = (c.startDegrees + 90.0f * static_cast<float>(k) / c.segments) * kPi / 180.0f;
      loop.points.push_back({c.cx + c.radius * std::cos(a), c.cy + c.radius * std::sin(a), z});
      loop.outward.push_back({std::cos(a), std::sin(a), 0});
    }
  return loop;
}

std::vector<Vec3> Tilted(const std::vector<Vec3>& outward, float towardsZ) {
  std::vector<Vec3> normals;
  for (Vec3 n : outward) normals.push_back(Normalize(n + Vec3{0, 0, towardsZ}));
  return normals;
}

Mesh Face(const Loop& loop, float z, Vec3 sAxis, AtlasRect area) {
  std::vector<Vec3> fan{{0, 0, z}};
  fan.insert(fan.end(), loop.points.begin(), loop.points.end());
  fan.push_back(loop.points.front());
  return FlatPolygon(fan, {0, 0, z < 0 ? -1.0f : 1.0f}, sAxis, {0, -1, 0},
                     Plain(area, kBodyColour));
}

Mesh CardMesh() {
  Loop front = Outline(kBevel, -kHalfThickness);
  Loop frontEdge = Outline(0, -kHalfThickness + kBevel);
  Loop backEdge = Outline(0, kHalfThickness - kBevel);
  Loop back = Outline(kBevel, kHalfThickness);
  Surface body = Plain(kBody, kEdgeColour);
  Mesh mesh = Face(front, -kHalfThickness, {1, 0, 0}, kFront);
  mesh.Append(LoopStrip(front.points, Tilted(front.outward, -2.0f), frontEdge.points,
                        Tilted(frontEdge.outward, -0.4f), body));
  mesh.Append(
      LoopStrip(frontEdge.points, frontEdge.outward, backEdge.points, backEdge.outward, body));
  mesh.Append(LoopStrip(backEdge.points, Tilted(backEdge.outward, 0.4f), back.points,
                        Tilted(back.outward, 2.0f), body));
  mesh.Append(Face(back, kHalfThickness, {-1, 0, 0}, kBack));
  return mesh;
}

Mesh CardPose(float phase) {
  float a = 2.0f * kPi * phase;
  Mesh mesh = CardMesh();
  mesh.Transform(RotateY(0.16f * std::sin(a)) * RotateZ(0.05f * std::cos(a)) * RotateX(kLean),
                 {0, 0, 0}, {0, 0.0f + 0.05f * std::sin(a), 0});
  return mesh;
}

// Texel coordinates inside an area, for painting in whole texels.
struct Texel {
  float x, y;
};
Texel At(AtlasRect area, float s, float t) {
  return {s * static_cast<float>(area.w - 1), t * static_cast<float>(area.h - 1)};
}

std::optional<Rgb> PaintLabel(Texel p) {
  const Rgb label{222, 226, 232};
  if (!InsideRoundedRect(p.x, p.y, 7, 27, 64, 83, 4)) return std::nullopt;
  if (p.y >= 30 && p.y <= 44 && p.x >= 10 && p.x <= 61) {
    // Our band: teal into blue, crossed by three slanted white bars.
    float k = (p.x - 10) / 51;
    Rgb band = Mix(Rgb{0, 168, 170}, Rgb{34, 78, 190}, k);
    float slant = p.x + (p.y - 30) * 0.6f;
    if (p.x < 36 && std::fmod(slant, 10.0f) < 4.0f && slant > 14) return Rgb{240, 248, 255};
    return band;
  }
  const Rgb ink{118, 124, 138};
  if ((p.y >= 50 && p.y <= 52 && p.x >= 12 && p.x <= 52) ||
      (p.y >= 56 && p.y <= 58 && p.x >= 12 && p.x <= 40))
    return ink;
  // The insert arrow, pointing at the connector.
  float dy = p.y - 65, half = 7.0f - dy * 0.6f;
  if (dy >= 0 && dy <= 11 && std::fabs(p.x - 35.5f) <= half) return Rgb{72, 78, 94};
  return Mix(label, Rgb{196, 202, 212}, (p.y - 27) / 56);
}

std::optional<Rgb> PaintFront(float s, float t) {
  Texel p = At(kFront, s, t);
  if (std::optional<Rgb> label = PaintLabel(p)) return label;
  int row = static_cast<int>(p.y);
  // Grip ridges, wide enough to survive the list's small cells.
  if (row >= 6 && row <= 23 && p.x >= 9 && p.x <= 62) {
    if (row % 6 < 2) return Rgb{84, 90, 106};
    if (row % 6 < 4) return Rgb{26, 28, 34};
  }
  if (row >= 88) {
    int column = static_cast<int>(p.x);
    if (row >= 90 && row <= 93 && column % 6 == 3 && column > 4 && column < 68)
      return Rgb{70, 74, 86};
    return Rgb{22, 24, 29};
  }
  return Mix(Rgb{60, 65, 79}, kBodyColour, t * 1.4f);
}

std::optional<Rgb> PaintBack(float s, float t) {
  Texel p = At(kBack, s, t);
  if (InsideRoundedRect(p.x, p.y, 6, 8, 49, 64, 3)) {
    if (p.y < 9) return Rgb{84, 90, 106};
    // A small echo of the front's band, so the back reads as ours too.
    if (p.y >= 14 && p.y <= 19 && p.x >= 11 && p.x <= 31)
      return Mix(Rgb{0, 150, 154}, Rgb{30, 70, 170}, (p.x - 11) / 20);
    int row = static_cast<int>(p.y);
    if ((row == 50 || row == 54 || row == 58) && p.x > 11 && p.x < 44 - (row - 50) * 2)
      return Rgb{92, 98, 112};
    return Rgb{54, 58, 70};
  }
  if (p.y >= 68) return Rgb{22, 24, 29};
  return kBodyColour;
}

Texture CardTexture() {
  Canvas canvas(kBodyColour);
  canvas.Paint(kFront, PaintFront);
  canvas.Paint(kBack, PaintBack);
  canvas.Fill(kBody, kEdgeColour);
  return canvas.Texels();
}

}  // namespace

IconModel StandardCardIcon() {
  IconModel model = AnimatedModel("standard.ico", TextureType::kRunLength, 6, 0, CardPose);
  model.texture = CardTexture();
  return model;
}

}  // namespace slk::tools
