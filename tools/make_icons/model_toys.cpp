// Three toys: a beach ball bouncing (a plain texture), a spinning top wobbling
// round on its tip and a jelly sweet wobbling (both vertex colours only).

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/make_icons/icon_models.h"

namespace slk::tools {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kFloor = -1.0f;

// --- Bouncing ball ---------------------------------------------------------

constexpr float kBallRadius = 0.56f;
constexpr float kBounceHeight = 0.86f;
constexpr AtlasRect kBallSkin{0, 0, 128, 96};
constexpr AtlasRect kBallShadow{0, 104, 16, 16};

// Squash at the floor, stretch while it moves fast just above it.
Vec3 BallStretch(int step) {
  switch (step) {
    case 0:
      return {1.22f, 0.7f, 1.22f};
    case 1:
    case 7:
      return {0.92f, 1.14f, 0.92f};
    case 2:
    case 6:
      return {0.97f, 1.05f, 0.97f};
    default:
      return {1, 1, 1};
  }
}

Mesh BallPose(float phase) {
  int step = static_cast<int>(std::lround(phase * 8)) % 8;
  float height = 4.0f * phase * (1.0f - phase) * kBounceHeight;
  Vec3 stretch = BallStretch(step);
  Mesh ball =
      Ellipsoid({0, 0, 0}, {kBallRadius, kBallRadius, kBallRadius}, 16, 10, Plain(kBallSkin, {}));
  ball.Scale(stretch);
  ball.Transform(Mat3{}, {0, 0, 0}, {0, kFloor + kBallRadius * stretch.y + height, 0});
  // The shadow shrinks as the ball rises.
  float r = 0.6f * stretch.x * (1.0f - 0.4f * height / kBounceHeight);
  std::vector<Vec3> disc{{0, kFloor + 0.01f, 0}};
  for (int k = 0; k <= 16; ++k) {
    float a = 2.0f * kPi * static_cast<float>(k) / 16.0f;
    disc.push_back({r * std::sin(a), kFloor + 0.01f, -r * 0.8f * std::cos(a)});
  }
  ball.Append(FlatPolygon(disc, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, Plain(kBallShadow, {})));
  return ball;
}

std::optional<Rgb> PaintBall(float s, float t) {
  const Rgb white{246, 244, 236};
  if (t < 0.1f || t > 0.9f) return (t < 0.045f) ? Rgb{230, 60, 60} : white;
  static const Rgb panels[6] = {{232, 52, 48},  white, {40, 108, 228},
                                {250, 204, 40}, white, {52, 182, 92}};
  int panel = std::clamp(static_cast<int>(s * 6.0f), 0, 5);
  // A faint seam between panels keeps them apart when two whites meet.
  float edge = std::fabs(s * 6.0f - std::round(s * 6.0f));
  if (edge < 0.04f) return Rgb{200, 198, 190};
  return Mix(panels[panel], Shade(panels[panel], 0.86f), std::fabs(t - 0.5f) * 2.0f);
}

// --- Spinning top ----------------------------------------------------------

constexpr float kTopTilt = 0.21f;  // radians from upright

std::vector<ProfilePoint> TopProfile() {
  return {{0, 0},        {0.07f, 0.05f}, {0.5f, 0.5f},   {0.76f, 0.72f}, {0.76f, 0.72f},
          {0.8f, 0.8f},  {0.76f, 0.88f}, {0.76f, 0.88f}, {0.56f, 1.02f}, {0.22f, 1.12f},
          {0.1f, 1.13f}, {0.1f, 1.13f},  {0.1f, 1.52f},  {0.12f, 1.55f}, {0, 1.58f}};
}

Rgb TopColour(float s, float t) {
  // The lights add a fixed grey to every vertex colour, so only pure
  // colours keep some strength.
  if (t < 0.16f) return {255, 255, 255};  // the handle
  if (t < 0.34f) {                        // the crown: wedges round the handle
    int wedge = static_cast<int>(s * 8.0f) % 2;
    return wedge ? Rgb{255, 0, 0} : Rgb{255, 210, 0};
  }
  if (t < 0.42f) return {0, 60, 255};  // the rim
  if (t < 0.6f) return {255, 255, 255};
  if (t < 0.72f) return {0, 200, 40};
  return {0, 60, 255};  // towards the tip
}

Mesh TopPose(float phase) {
  float a = 2.0f * kPi * phase;
  Mesh top = Lathe({0, 0, 0}, TopProfile(), 16, Surface{{}, TopColour});
  top.Scale({1.12f, 1.12f, 1.12f});
  // Precession: the axis leans kTopTilt away from upright, and the direction
  // of the lean goes once round the circle.
  Mat3 lean = RotateY(a) * RotateX(kTopTilt) * RotateY(-a);
  top.Transform(lean, {0, 0, 0}, {0.18f * std::sin(a), kFloor, 0.1f * std::cos(a)});
  return top;
}

// --- Jelly -----------------------------------------------------------------

std::vector<ProfilePoint> JellyProfile() {
  std::vector<ProfilePoint> profile{{0, 0}};
  for (int k = 0; k <= 8; ++k) {
    float h = 0.9f * static_cast<float>(k) / 8.0f;
    profile.push_back({0.72f - 0.22f * h + ((k % 2) ? 0.06f : 0.0f), h});
  }
  profile.push_back({0.42f, 1.0f});
  profile.push_back({0.2f, 1.06f});
  profile.push_back({0, 1.08f});
  return profile;
}

Rgb JellyColour(float s, float t) {
  if (t < 0.14f) return (static_cast<int>(s * 10) % 2) ? Rgb{255, 255, 255} : Rgb{255, 0, 40};
  if (t < 0.45f) return {255, 0, 60};
  if (t < 0.6f) return {255, 240, 200};
  return {0, 230, 60};
}

Mesh JellyPose(float phase) {
  float a = 2.0f * kPi * phase;
  float squash = 1.0f + 0.22f * std::cos(a);
  float lean = 0.2f * std::sin(a);
  Mesh jelly = Lathe({0, 0, 0}, JellyProfile(), 20, Surface{{}, JellyColour});
  jelly.Deform([&](Vec3 p) {
    float k = p.y / 1.08f;  // the top moves most, the base stays on the plate
    return Vec3{p.x / std::sqrt(squash) + lean * k * 1.1f, kFloor + p.y * squash,
                p.z / std::sqrt(squash)};
  });
  return jelly;
}

}  // namespace

IconModel BouncingBallIcon() {
  IconModel model = AnimatedModel("ball.ico", TextureType::kPlain, 8, 4, BallPose);
  Canvas canvas({246, 244, 236});
  canvas.Paint(kBallSkin, PaintBall);
  canvas.Fill(kBallShadow, {40, 44, 56});
  model.texture = canvas.Texels();
  return model;
}

IconModel SpinningTopIcon() {
  return AnimatedModel("top.ico", TextureType::kUntextured, 6, 0, TopPose);
}

IconModel WobblingJellyIcon() {
  return AnimatedModel("jelly.ico", TextureType::kUntextured, 3, 0, JellyPose);
}

}  // namespace slk::tools
