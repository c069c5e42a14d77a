// A bluebird flapping its wings, seen turned a little towards the right; a
// run-length texture with few colours, which suits that compression.

#include <cmath>
#include <numbers>

#include "tools/make_icons/icon_models.h"

namespace slk::tools {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kDegrees = kPi / 180.0f;

constexpr AtlasRect kBody{0, 0, 64, 48};
constexpr AtlasRect kHead{64, 0, 64, 48};
constexpr AtlasRect kWing{0, 52, 96, 40};
constexpr AtlasRect kBeak{100, 52, 12, 12};
constexpr AtlasRect kTail{100, 68, 24, 24};
constexpr AtlasRect kShadow{0, 100, 12, 12};

constexpr Rgb kBlue{44, 112, 222};
constexpr Rgb kDeepBlue{24, 58, 150};
constexpr Rgb kBelly{250, 246, 236};
constexpr Rgb kBreast{246, 150, 60};

// One wing beat: how far the inner and the outer half of the wing are raised
// (degrees), and how high the body rides, for each key shape.
struct WingBeat {
  float inner, outer, lift;
};
constexpr WingBeat kBeats[4] = {
    {52, 14, 0.0f}, {8, -6, 0.05f}, {-38, -14, 0.09f}, {10, -26, 0.03f}};

// The right wing from the shoulder out (left = mirror). Spanwise stations:
// distance from the shoulder, leading and trailing edge (z).
struct Station {
  float span, lead, trail;
};
constexpr Station kStations[5] = {{0.0f, -0.22f, 0.3f},
                                  {0.28f, -0.2f, 0.3f},
                                  {0.52f, -0.14f, 0.26f},
                                  {0.7f, -0.06f, 0.18f},
                                  {0.8f, 0.02f, 0.08f}};
constexpr int kElbow = 1;  // stations past this one belong to the outer half

Mesh Wing(const WingBeat& beat, float side, float bodyY) {
  auto point = [&](int i, int j) {
    const Station& st = kStations[i];
    float inner = std::min(st.span, kStations[kElbow].span);
    float outer = st.span - inner;
    float a = beat.inner * kDegrees, b = (beat.inner + beat.outer) * kDegrees;
    float x = 0.2f + inner * std::cos(a) + outer * std::cos(b);
    float y = bodyY + 0.08f + inner * std::sin(a) + outer * std::sin(b);
    float angle = i <= kElbow ? a : b;
    SurfacePoint p;
    p.position = {side * x, y, j == 0 ? st.lead : st.trail};
    p.normal = {-side * std::sin(angle), std::cos(angle), 0};
    p.s = st.span / kStations[4].span;
    p.t = static_cast<float>(j);
    return p;
  };
  return GridSurface(4, 1, point, Plain(kWing, {}));
}

Mesh Beak(float bodyY) {
  Mesh beak = Lathe({0, 0, 0}, {{0.09f, 0}, {0, 0.22f}}, 8, Plain(kBeak, {}));
  beak.Transform(RotateX(-kPi / 2), {0, 0, 0}, {0, bodyY + 0.24f, -0.6f});
  return beak;
}

Mesh Tail(float bodyY) {
  std::vector<Vec3> fan{{-0.07f, bodyY + 0.06f, 0.46f},
                        {0.07f, bodyY + 0.06f, 0.46f},
                        {0.24f, bodyY + 0.2f, 0.92f},
                        {0, bodyY + 0.22f, 0.98f},
                        {-0.24f, bodyY + 0.2f, 0.92f}};
  return FlatPolygon(fan, Normalize({0, 1, -0.3f}), {1, 0, 0}, {0, 0, 1}, Plain(kTail, {}));
}

Mesh Shadow() {
  std::vector<Vec3> disc{{0, -0.99f, 0}};
  for (int k = 0; k <= 12; ++k) {
    float a = 2.0f * kPi * static_cast<float>(k) / 12.0f;
    disc.push_back({0.42f * std::sin(a), -0.99f, -0.3f * std::cos(a)});
  }
  return FlatPolygon(disc, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, Plain(kShadow, {}));
}

Mesh BirdPose(float phase) {
  const WingBeat& beat = kBeats[static_cast<int>(std::lround(phase * 4)) % 4];
  float y = -0.05f + beat.lift;
  Mesh bird = Ellipsoid({0, y, 0.05f}, {0.3f, 0.28f, 0.52f}, 12, 8, Plain(kBody, {}));
  bird.Append(Ellipsoid({0, y + 0.26f, -0.42f}, {0.22f, 0.21f, 0.22f}, 12, 8, Plain(kHead, {})));
  bird.Append(Beak(y));
  bird.Append(Tail(y));
  bird.Append(Wing(beat, 1.0f, y));
  bird.Append(Wing(beat, -1.0f, y));
  bird.Transform(RotateY(-0.5f), {0, 0, 0}, {0, 0, 0});
  bird.Append(Shadow());
  return bird;
}

// s goes round from the front, t from the back (top) to the belly.
std::optional<Rgb> PaintBody(float s, float t) {
  float front = std::min(s, 1.0f - s);  // 0 at the chest, 0.5 at the tail
  if (t > 0.5f && front < 0.2f) return kBreast;
  if (t > 0.58f) return kBelly;
  return Mix(kBlue, kDeepBlue, t * 1.2f);
}

std::optional<Rgb> PaintHead(float s, float t) {
  for (float eye : {0.13f, 0.87f}) {
    float d = std::hypot((s - eye) * 2.4f, t - 0.42f);
    if (d < 0.05f) return Rgb{250, 250, 250};
    if (d < 0.1f) return Rgb{16, 16, 24};
    if (d < 0.13f) return kBelly;
  }
  float front = std::min(s, 1.0f - s);
  if (t > 0.55f && front < 0.2f) return kBreast;
  if (t > 0.55f) return kBelly;
  return kBlue;
}

// s from the shoulder to the tip, t from the leading to the trailing edge.
std::optional<Rgb> PaintWing(float s, float t) {
  if (t < 0.3f) return Mix(Rgb{120, 176, 250}, kBlue, t / 0.3f);
  float feather = std::fmod(s * 9.0f, 1.0f);
  if (feather < 0.1f && t > 0.45f) return Rgb{14, 30, 90};
  if (t > 0.62f || s > 0.8f) return kDeepBlue;
  return kBlue;
}

Texture BirdTexture() {
  Canvas canvas(kBlue);
  canvas.Paint(kBody, PaintBody);
  canvas.Paint(kHead, PaintHead);
  canvas.Paint(kWing, PaintWing);
  canvas.Fill(kBeak, {250, 176, 40});
  canvas.Paint(kTail, [](float s, float) -> std::optional<Rgb> {
    return std::fmod(s * 4.0f, 1.0f) < 0.15f ? Rgb{14, 30, 90} : kDeepBlue;
  });
  canvas.Fill(kShadow, {40, 44, 56});
  return canvas.Texels();
}

}  // namespace

IconModel FlappingBirdIcon() {
  IconModel model = AnimatedModel("bird.ico", TextureType::kRunLengthOdd, 4, 1, BirdPose);
  model.texture = BirdTexture();
  return model;
}

}  // namespace slk::tools
