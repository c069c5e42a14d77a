// A flag waving on its pole (plain texture, written as type 0x06) and a toy
// rocket hovering on a flickering flame (plain texture after a size word,
// type 0x05): the two other ways a plain texture appears in real icons.

#include <cmath>
#include <numbers>

#include "tools/make_icons/icon_models.h"

namespace slk::tools {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kFloor = -1.0f;

// --- Flag ------------------------------------------------------------------

constexpr AtlasRect kCloth{0, 0, 128, 80};
constexpr AtlasRect kPole{0, 88, 8, 8};
constexpr AtlasRect kKnob{12, 88, 8, 8};
constexpr AtlasRect kStand{24, 88, 8, 8};

constexpr float kPoleX = -0.56f;
constexpr float kClothLeft = -0.52f;
constexpr float kClothLength = 1.56f;
constexpr float kClothTop = 0.92f;
constexpr float kClothHeight = 0.96f;

Mesh FlagCloth(float phase) {
  auto point = [phase](int i, int j) {
    float u = static_cast<float>(i) / 12.0f, w = static_cast<float>(j) / 6.0f;
    // The wave runs away from the pole and grows towards the free end.
    float wave = 0.24f * u * std::sin(2.0f * kPi * (1.3f * u - phase));
    float sag = 0.08f * u * u;
    SurfacePoint p;
    p.position = {kClothLeft + kClothLength * u * (1.0f - 0.04f * u),
                  kClothTop - kClothHeight * w - sag, wave};
    // Flat normals: the file keeps one normal for every shape, and a wave's
    // normals would stand still while the wave runs.
    p.normal = {0, 0, -1};
    p.s = u;
    p.t = w;
    return p;
  };
  return GridSurface(12, 6, point, Plain(kCloth, {}));
}

Mesh FlagPose(float phase) {
  Mesh flag = FlagCloth(phase);
  flag.Append(Lathe({kPoleX, kFloor, 0},
                    {{0, 0},
                     {0.2f, 0},
                     {0.2f, 0},
                     {0.2f, 0.06f},
                     {0.2f, 0.06f},
                     {0.1f, 0.1f},
                     {0.05f, 0.14f},
                     {0.05f, 1.96f},
                     {0, 1.96f}},
                    10, Plain(kPole, {})));
  flag.Append(
      Ellipsoid({kPoleX, kFloor + 2.01f, 0}, {0.08f, 0.08f, 0.08f}, 8, 6, Plain(kKnob, {})));
  return flag;
}

// Our own flag: a teal and navy field split on the diagonal, a white edge
// along the split and a golden star.
std::optional<Rgb> PaintCloth(float s, float t) {
  float x = s * 1.6f, y = t;  // the cloth is 1.6 times as long as high
  float split = (x - 0.2f) - (1.0f - y) * 1.3f;
  Rgb field = split < 0 ? Rgb{0, 150, 160} : Rgb{24, 44, 120};
  if (std::fabs(split) < 0.06f) field = {248, 248, 240};
  // A five-pointed star round (0.36, 0.32).
  float dx = x - 0.36f, dy = y - 0.32f;
  float r = std::hypot(dx, dy), a = std::atan2(dx, -dy);
  float sector = std::fmod(a + 2.0f * kPi, 2.0f * kPi / 5.0f) / (2.0f * kPi / 5.0f);
  if (r < 0.08f + 0.15f * std::fabs(1.0f - 2.0f * sector)) field = {255, 206, 40};
  // Soft folds of the cloth, which a plain texture can hold.
  return Shade(field, 0.9f + 0.1f * std::cos(s * 9.0f * kPi));
}

// --- Rocket ----------------------------------------------------------------

constexpr AtlasRect kHull{0, 0, 128, 80};
constexpr AtlasRect kFin{0, 84, 16, 16};
constexpr AtlasRect kFlame{20, 84, 8, 40};

constexpr float kRocketBase = -0.5f;

std::vector<ProfilePoint> HullProfile() {
  return {{0, 0},         {0.2f, 0},    {0.2f, 0},    {0.3f, 0.12f}, {0.34f, 0.3f},
          {0.34f, 0.92f}, {0.3f, 1.1f}, {0.2f, 1.3f}, {0.1f, 1.43f}, {0, 1.5f}};
}

Mesh Fin(float angle) {
  Vec3 out{std::sin(angle), 0, -std::cos(angle)};
  auto at = [&](float r, float h) { return Vec3{out.x * r, h, out.z * r}; };
  std::vector<Vec3> fin{at(0.3f, 0.06f), at(0.64f, -0.14f), at(0.62f, 0.14f), at(0.33f, 0.52f)};
  return FlatPolygon(fin, {std::cos(angle), 0, std::sin(angle)}, out, {0, -1, 0}, Plain(kFin, {}));
}

Mesh RocketPose(float phase) {
  bool flare = phase < 0.5f;
  float lift = flare ? 0.0f : 0.05f;
  // Built with the window at s = 0.5 and turned so that it faces the camera.
  Mesh rocket = Lathe({0, 0, 0}, HullProfile(), 16, Plain(kHull, {}));
  for (int k = 0; k < 3; ++k) rocket.Append(Fin(kPi / 3.0f + 2.0f * kPi * k / 3.0f));
  float length = flare ? 0.44f : 0.3f, width = flare ? 1.0f : 1.15f;
  rocket.Append(
      Lathe({0, 0, 0},
            {{0, -length}, {0.1f * width, -0.6f * length}, {0.17f * width, -0.12f}, {0.18f, 0}}, 12,
            Plain(kFlame, {})));
  // Leaning back shows the high list camera more of the hull and the flame.
  rocket.Transform(RotateX(0.38f) * RotateY(kPi), {0, 0.7f, 0}, {0, kRocketBase + lift, 0});
  return rocket;
}

std::optional<Rgb> PaintHull(float s, float t) {
  const Rgb red{220, 40, 44}, white{240, 240, 236};
  // The hull is about 2.1 units round and 1.7 long: scale s and t alike so
  // that the window comes out round.
  float dx = (s - 0.5f) * 2.1f, dy = (t - 0.42f) * 1.7f;
  float r = std::hypot(dx, dy);
  if (r < 0.13f) return Mix(Rgb{150, 216, 255}, Rgb{30, 90, 200}, r / 0.13f + dy * 2);
  if (r < 0.17f) return Rgb{190, 196, 206};
  if (t < 0.24f) return red;
  if (t > 0.6f && t < 0.68f) return red;
  if (t > 0.9f) return Rgb{120, 124, 134};
  return Shade(white, 0.92f + 0.08f * std::cos(s * 2.0f * kPi));
}

}  // namespace

IconModel WavingFlagIcon() {
  IconModel model = AnimatedModel("flag.ico", TextureType::kPlainSix, 8, 0, FlagPose);
  Canvas canvas({200, 200, 200});
  canvas.Paint(kCloth, PaintCloth);
  canvas.Fill(kPole, {206, 210, 218});
  canvas.Fill(kKnob, {250, 200, 60});
  canvas.Fill(kStand, {60, 64, 76});
  model.texture = canvas.Texels();
  return model;
}

IconModel HoveringRocketIcon() {
  IconModel model = AnimatedModel("rocket.ico", TextureType::kPlainSized, 2, 0, RocketPose);
  Canvas canvas({240, 240, 236});
  canvas.Paint(kHull, PaintHull);
  canvas.Fill(kFin, {220, 40, 44});
  canvas.Paint(kFlame, [](float, float t) -> std::optional<Rgb> {
    return t < 0.5f ? Mix(Rgb{255, 250, 200}, Rgb{255, 190, 40}, t * 2)
                    : Mix(Rgb{255, 190, 40}, Rgb{240, 70, 20}, t * 2 - 1);
  });
  model.texture = canvas.Texels();
  return model;
}

}  // namespace slk::tools
