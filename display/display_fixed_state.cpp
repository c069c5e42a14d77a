// The device state and the matrices that the set-up fixes once: render
// states, the two lights, the material, the projection, the view and the
// precomputed world matrices of the icons.

#include <cmath>

#include "display/display_engine.h"

namespace slk {

namespace {

gfx::Vector3 Sub(const gfx::Vector3& a, const gfx::Vector3& b) {
  return gfx::Vector3{a.x - b.x, a.y - b.y, a.z - b.z};
}

float Dot(const gfx::Vector3& a, const gfx::Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

gfx::Vector3 Normalized(const gfx::Vector3& v) {
  float length = std::sqrt(Dot(v, v));
  return gfx::Vector3{v.x / length, v.y / length, v.z / length};
}

gfx::Vector3 Cross(const gfx::Vector3& a, const gfx::Vector3& b) {
  return gfx::Vector3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// World matrix of an icon: tilted about x, flattened in depth, 5 units away.
Matrix IconWorld(float tilt) {
  Matrix rotation, scale, translation;
  MatrixRotateX(rotation, tilt);
  MatrixScale(scale, 4.0f, 4.0f, 0.70710677f);
  MatrixTranslate(translation, 0.0f, 0.0f, 5.0f);
  Matrix world;
  MatrixMultiply(world, rotation, scale);
  MatrixMultiply(world, world, translation);
  return world;
}

}  // namespace

void DisplayEngine::SetProjection(float nearPlane, float farPlane) {
  float q = farPlane / (farPlane - nearPlane);
  Matrix m;
  m.m[0][0] = 1.0f;
  m.m[1][1] = 1.0f;
  m.m[2][2] = q;
  m.m[2][3] = 1.0f;
  m.m[3][2] = -q * nearPlane;
  device_->SetTransform(gfx::TransformState::Projection, m);
}

void DisplayEngine::SetViewLookAt(const gfx::Vector3& from, const gfx::Vector3& at) {
  gfx::Vector3 view = Normalized(Sub(at, from));
  gfx::Vector3 up =
      Normalized(Sub(gfx::Vector3{0.0f, 1.0f, 0.0f},
                     gfx::Vector3{view.x * view.y, view.y * view.y, view.z * view.y}));
  gfx::Vector3 right = Cross(up, view);
  Matrix m;
  m.m[0] = {right.x, up.x, view.x, 0.0f};
  m.m[1] = {right.y, up.y, view.y, 0.0f};
  m.m[2] = {right.z, up.z, view.z, 0.0f};
  // 0 - x rather than -x: a zero stays +0, so the set-up's view is exactly the identity.
  m.m[3] = {0.0f - Dot(from, right), 0.0f - Dot(from, up), 0.0f - Dot(from, view), 1.0f};
  device_->SetTransform(gfx::TransformState::View, m);
}

void DisplayEngine::SetRenderStates() {
  using gfx::RenderState;
  device_->SetRenderState(RenderState::Antialias, 0);
  device_->SetRenderState(RenderState::DitherEnable, 1);
  device_->SetRenderState(RenderState::CullMode, gfx::cull::kNone);
  device_->SetRenderState(RenderState::Lighting, 1);
  device_->SetRenderState(RenderState::SrcBlend, gfx::blend::kSrcAlpha);
  device_->SetRenderState(RenderState::DestBlend, gfx::blend::kInvSrcAlpha);
  device_->SetRenderState(RenderState::SpecularEnable, 0);
  device_->SetRenderState(RenderState::ZWriteEnable, 1);
  device_->SetRenderState(RenderState::ZFunc, gfx::cmp::kLess);
}

void DisplayEngine::SetLights() {
  // Two white point lights, one at the eye and one behind the icons; their
  // strength over 1 is taken back by the constant attenuation of 3.4.
  gfx::Light light;
  light.type = gfx::LightType::Point;
  light.diffuse = gfx::ColorValue{1.2f, 1.2f, 1.2f, 0.0f};
  light.specular = gfx::ColorValue{};
  light.ambient = gfx::ColorValue{1.2f, 1.2f, 1.2f, 0.0f};
  light.position = gfx::Vector3{0.0f, 0.0f, 0.0f};
  light.direction = gfx::Vector3{0.0f, 0.0f, 0.0f};
  light.range = gfx::kLightRangeMax;
  light.falloff = light.theta = light.phi = 0.0f;
  light.attenuation0 = 3.4f;
  light.attenuation1 = light.attenuation2 = 0.0f;
  device_->SetLight(0, light);
  device_->LightEnable(0, true);
  light.position.z = 10.0f;
  device_->SetLight(1, light);
  device_->LightEnable(1, true);
  device_->SetRenderState(gfx::RenderState::Lighting, 1);
}

void DisplayEngine::SetMaterial() {
  gfx::Material material;
  material.diffuse = gfx::ColorValue{1.5f, 1.5f, 1.5f, 0.0f};
  material.ambient = gfx::ColorValue{};
  material.specular = gfx::ColorValue{};
  material.emissive = gfx::ColorValue{0.5f, 0.5f, 0.5f, 0.0f};
  material.power = 1.0f;
  device_->SetMaterial(material);
}

void DisplayEngine::FillMatrices() {
  for (int i = 0; i < kSpinSteps; ++i) {
    MatrixRotateY(spinTable_[static_cast<std::size_t>(i)], static_cast<float>(i) * kDegree);
  }
  listIconWorld_ = IconWorld(-0.87222224f);    // -50 degrees
  detailIconWorld_ = IconWorld(-0.26166669f);  // -15 degrees
}

}  // namespace slk
