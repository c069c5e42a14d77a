#include "tools/make_icons/icon_file.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace slk::tools {
namespace {

constexpr std::uint32_t kFormatId = 0x00010000;
constexpr std::uint32_t kAnimationId = 1;
constexpr float kPositionScale = 10240.0f;
constexpr float kUnitScale = 4096.0f;
// The fourth word of each position and normal, which nothing reads; real
// icons mostly carry 1024 there.
constexpr std::int16_t kUnusedW = 1024;
constexpr std::uint8_t kUnusedAlpha = 0x80;
constexpr std::size_t kMinRun = 3;  // shorter runs cost more as runs than as copies
constexpr std::size_t kMaxCode = 32767;

class ByteWriter {
 public:
  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void S16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
  void Bytes(std::span<const std::uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::int16_t ToS16(float value) {
  return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

void WriteVertex(ByteWriter& out, const IconModel& model, std::size_t i) {
  for (const Mesh& shape : model.shapes) {
    Vec3 p = shape.Vertices()[i].position;
    out.S16(FileCoordinate(p.x));
    out.S16(FileCoordinate(-(p.y + 1.0f)));
    out.S16(FileCoordinate(p.z));
    out.S16(kUnusedW);
  }
  const MeshVertex& ref =
      model.shapes[static_cast<std::size_t>(model.referenceShape)].Vertices()[i];
  Vec3 n = Normalize(ref.normal);
  out.S16(ToS16(n.x * kUnitScale));
  out.S16(ToS16(-n.y * kUnitScale));
  out.S16(ToS16(n.z * kUnitScale));
  out.S16(kUnusedW);
  out.S16(ToS16(ref.u * kUnitScale));
  out.S16(ToS16(ref.v * kUnitScale));
  out.U8(ref.colour.r);
  out.U8(ref.colour.g);
  out.U8(ref.colour.b);
  out.U8(kUnusedAlpha);
}

// Shape s has full weight at its own key time and none at the others', with
// the loop's end repeating the start, so the weights always add up to 1.
void WriteAnimation(ByteWriter& out, const IconModel& model) {
  std::uint32_t shapes = static_cast<std::uint32_t>(model.shapes.size());
  out.U32(kAnimationId);
  out.U32(shapes * model.framesPerShape);
  out.F32(1.0f);
  out.U32(0);
  out.U32(shapes);
  for (std::uint32_t s = 0; s < shapes; ++s) {
    out.U32(s);
    if (shapes == 1) {
      out.U32(1);
      out.F32(0.0f);
      out.F32(1.0f);
      continue;
    }
    out.U32(shapes + 1);
    for (std::uint32_t k = 0; k <= shapes; ++k) {
      bool own = k == s || (s == 0 && k == shapes);
      out.F32(static_cast<float>(k * model.framesPerShape));
      out.F32(own ? 1.0f : 0.0f);
    }
  }
}

void WriteTexture(ByteWriter& out, const IconModel& model) {
  if (!model.Textured()) return;
  if (model.textureType & TextureType::kCompressed) {
    std::vector<std::uint8_t> codes = EncodeRunLength(model.texture);
    out.U32(static_cast<std::uint32_t>(codes.size()));
    out.Bytes(codes);
    return;
  }
  if (!(model.textureType & TextureType::kNoSizeWord))
    out.U32(static_cast<std::uint32_t>(model.texture.size() * 2));
  for (std::uint16_t texel : model.texture) out.U16(texel);
}

}  // namespace

std::int16_t FileCoordinate(float value) {
  return ToS16(value * kPositionScale);
}

Vec3 StoredPosition(Vec3 p) {
  return {FileCoordinate(p.x) / kPositionScale,
          -FileCoordinate(-(p.y + 1.0f)) / kPositionScale - 1.0f,
          FileCoordinate(p.z) / kPositionScale};
}

std::string CheckIconModel(const IconModel& model) {
  if (model.shapes.empty()) return "no shapes";
  if (model.shapes.size() > 8) return "more shapes than the list can animate";
  std::size_t count = model.shapes.front().Size();
  if (count == 0 || count % 3 != 0) return "vertex count is not a whole number of triangles";
  for (const Mesh& shape : model.shapes)
    if (shape.Size() != count) return "shapes differ in vertex count";
  if (model.referenceShape < 0 ||
      static_cast<std::size_t>(model.referenceShape) >= model.shapes.size())
    return "reference shape out of range";
  return {};
}

std::vector<std::uint8_t> WriteIconModel(const IconModel& model) {
  ByteWriter out;
  std::size_t vertices = model.shapes.front().Size();
  out.U32(kFormatId);
  out.U32(static_cast<std::uint32_t>(model.shapes.size()));
  out.U32(model.textureType);
  out.F32(1.0f);
  out.U32(static_cast<std::uint32_t>(vertices));
  for (std::size_t i = 0; i < vertices; ++i) WriteVertex(out, model, i);
  WriteAnimation(out, model);
  WriteTexture(out, model);
  return out.Take();
}

std::vector<std::uint8_t> EncodeRunLength(std::span<const std::uint16_t> texels) {
  ByteWriter out;
  std::size_t i = 0;
  auto runAt = [&](std::size_t at) {
    std::size_t n = 1;
    while (at + n < texels.size() && n < kMaxCode && texels[at + n] == texels[at]) ++n;
    return n;
  };
  while (i < texels.size()) {
    std::size_t run = runAt(i);
    if (run >= kMinRun) {
      out.S16(static_cast<std::int16_t>(run));
      out.U16(texels[i]);
      i += run;
      continue;
    }
    std::size_t end = i;
    while (end < texels.size() && end - i < kMaxCode && runAt(end) < kMinRun) ++end;
    out.S16(static_cast<std::int16_t>(-static_cast<int>(end - i)));
    for (std::size_t k = i; k < end; ++k) out.U16(texels[k]);
    i = end;
  }
  return out.Take();
}

}  // namespace slk::tools
