// Our generated icon models: each one is a well-formed file, the committed
// standard icon is what the generator makes today, the samples cover every
// kind of texture, and no model reaches outside what the program's cameras
// show.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "icon_model_reader.h"
#include "support/temp_dir.h"
#include "tools/make_icons/icon_models.h"

namespace slk {
namespace {

using testing::ReadIcon;

ReadIcon MustRead(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  std::string error;
  std::optional<ReadIcon> icon = testing::ReadIconModel(bytes, error);
  EXPECT_TRUE(icon.has_value()) << name << ": " << error;
  return icon.value_or(ReadIcon{});
}

TEST(IconModelFiles, EveryModelIsWellFormed) {
  for (const tools::IconModel& model : tools::AllIconModels()) {
    ASSERT_EQ(tools::CheckIconModel(model), "") << model.name;
    ReadIcon icon = MustRead(tools::WriteIconModel(model), model.name);
    EXPECT_EQ(icon.shapeCount, model.shapes.size()) << model.name;
    EXPECT_EQ(icon.vertexCount, model.shapes.front().Size()) << model.name;
    EXPECT_GE(icon.shapeCount, 2u) << model.name << " must animate";
  }
}

TEST(IconModelFiles, CommittedStandardIconMatchesTheGenerator) {
  std::vector<std::uint8_t> committed =
      testing::ReadFileBytes(SLOTKEEPER_SOURCE_DIR "/psicon/standard.ico");
  ASSERT_FALSE(committed.empty()) << "psicon/standard.ico is missing";
  ReadIcon file = MustRead(committed, "psicon/standard.ico");
  ReadIcon fresh = MustRead(tools::WriteIconModel(tools::StandardCardIcon()), "generator");
  EXPECT_EQ(file.textureType & 0x0C, 0x0Cu) << "a textured, run-length model";
  ASSERT_EQ(file.shapeCount, fresh.shapeCount) << "run the generate_standard_icon target";
  ASSERT_EQ(file.vertexCount, fresh.vertexCount) << "run the generate_standard_icon target";
  EXPECT_EQ(file.texture, fresh.texture) << "run the generate_standard_icon target";
  // Positions may differ in the last unit between compilers' sines.
  for (std::uint32_t s = 0; s < file.shapeCount; ++s)
    for (std::uint32_t i = 0; i < file.vertexCount; ++i) {
      EXPECT_NEAR(file.positions[s][i].x, fresh.positions[s][i].x, 3e-4f);
      EXPECT_NEAR(file.positions[s][i].y, fresh.positions[s][i].y, 3e-4f);
      EXPECT_NEAR(file.positions[s][i].z, fresh.positions[s][i].z, 3e-4f);
    }
}

TEST(IconModelFiles, SamplesShowEveryKindOfModel) {
  std::set<std::uint32_t> types;
  std::set<std::size_t> shapeCounts;
  for (const tools::IconModel& model : tools::AllIconModels()) {
    ReadIcon icon = MustRead(tools::WriteIconModel(model), model.name);
    types.insert(icon.textureType);
    shapeCounts.insert(icon.shapeCount);
  }
  EXPECT_TRUE(types.count(0x03)) << "untextured, vertex colours";
  EXPECT_TRUE(types.count(0x0E) && types.count(0x0F)) << "run-length textures";
  EXPECT_TRUE(types.count(0x07) && types.count(0x06)) << "plain textures without a size word";
  EXPECT_TRUE(types.count(0x05)) << "a plain texture after its size word";
  EXPECT_TRUE(shapeCounts.count(2) && shapeCounts.count(3) && shapeCounts.count(8));
}

TEST(IconModelFiles, NormalsAreUnitVectors) {
  for (const tools::IconModel& model : tools::AllIconModels()) {
    ReadIcon icon = MustRead(tools::WriteIconModel(model), model.name);
    for (const auto& n : icon.normals) {
      float length =
          std::hypot(static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2]));
      ASSERT_NEAR(length, 4096.0f, 8.0f) << model.name;
    }
  }
}

// Camera space of the program's views: turn about Y by `spin` degrees (pi
// taken as 3.14), tilt about X, scale (4, 4, 0.707), 5 away; a point is shown
// when its depth lies between 4 and 6 and it is inside the 90-degree frustum.
bool Visible(testing::ModelPoint p, float tiltDegrees, int spin) {
  float a = static_cast<float>(spin) * 3.14f / 180.0f, t = tiltDegrees * 3.14f / 180.0f;
  float x = p.x * std::cos(a) + p.z * std::sin(a), z = -p.x * std::sin(a) + p.z * std::cos(a);
  float y2 = p.y * std::cos(t) - z * std::sin(t), z2 = p.y * std::sin(t) + z * std::cos(t);
  float cx = 4 * x, cy = 4 * y2, cz = 0.70710677f * z2 + 5;
  return cz >= 4 && cz <= 6 && std::fabs(cx) <= cz && std::fabs(cy) <= cz;
}

// Blended meshes lie between key shapes and the visible volume is convex, so
// checking the key shapes covers every mesh the program draws.
TEST(IconModelFiles, ModelsStayInsideTheListCellAndTheDetailView) {
  for (const tools::IconModel& model : tools::AllIconModels()) {
    ReadIcon icon = MustRead(tools::WriteIconModel(model), model.name);
    int outside = 0;
    for (const auto& shape : icon.positions)
      for (const testing::ModelPoint& p : shape) {
        if (!Visible(p, -50, 0)) ++outside;
        for (int spin = 0; spin < 360; spin += 3)
          if (!Visible(p, -15, spin)) ++outside;
      }
    EXPECT_EQ(outside, 0) << model.name;
  }
}

TEST(RunLength, EncodingRoundTrips) {
  std::vector<std::vector<std::uint16_t>> cases;
  cases.emplace_back(16384, 0x8000);  // one long run
  std::vector<std::uint16_t> mixed(16384);
  std::uint32_t state = 1;
  for (std::size_t i = 0; i < mixed.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    // Stretches of noise, pairs and long runs, so that every kind of code meets
    // every other at a boundary.
    std::size_t band = (i / 300) % 3;
    mixed[i] = band == 0   ? static_cast<std::uint16_t>(state >> 16)
               : band == 1 ? static_cast<std::uint16_t>(i / 2)
                           : static_cast<std::uint16_t>(0x7FFF);
  }
  cases.push_back(mixed);
  for (const auto& texels : cases) {
    auto decoded = testing::DecodeRunLength(tools::EncodeRunLength(texels));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, texels);
  }
}

}  // namespace
}  // namespace slk
