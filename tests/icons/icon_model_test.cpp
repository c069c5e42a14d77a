// The PS2 icon model reader (conversions, blended meshes, both texture kinds,
// models that do not fit their bytes) and the PS1 decoder.

#include "icons/icon_model.h"

#include <gtest/gtest.h>

#include <cstring>

#include "icon_builders.h"
#include "icons/pack_color.h"
#include "icons/ps1_icon.h"
#include "icons/slab.h"

namespace slk::testing {
namespace {

Bytes Mesh(const IconModel& m, std::uint32_t k) {
  Bytes out(m.vertexCount * kMeshVertexSize);
  WriteMeshVertices(m, k, out);
  return out;
}

TEST(IconModel, PositionsNormalsAndTextureCoordinatesConvert) {
  ModelFile f = TexturedTriangle(1);
  f.vertices[0].positions[0] = {10240, 0, -5120};
  f.vertices[1].positions[0] = {0, -10240, 0};
  f.vertices[0].normal = {4096, -2048, 0};
  f.vertices[1].uv = {2048, 1024};
  IconImage image{};
  auto m = ParseIconModel(f.Build(), image);
  ASSERT_TRUE(m);
  Bytes v = Mesh(*m, 0);
  EXPECT_FLOAT_EQ(FloatAt(v, 0), 1.0f);
  EXPECT_EQ(FloatAt(v, 4), -1.0f);  // file y 0 lands at -1.0
  EXPECT_FLOAT_EQ(FloatAt(v, 8), -0.5f);
  EXPECT_FLOAT_EQ(FloatAt(v, 12), 1.0f);
  EXPECT_FLOAT_EQ(FloatAt(v, 16), 0.5f);         // y negated
  EXPECT_NEAR(FloatAt(v, 32 + 4), 0.0f, 1e-6f);  // file y -10240 lands at 0.0
  EXPECT_FLOAT_EQ(FloatAt(v, 32 + 24), 0.5f);
  EXPECT_FLOAT_EQ(FloatAt(v, 32 + 28), 0.25f);
  EXPECT_EQ(TexelAt(image, 127, 127), 0x7FFF);
  EXPECT_EQ(m->shapeCount, 1u);  // one shape gives four equal meshes
  for (std::uint32_t k = 1; k < 4; ++k) EXPECT_EQ(Mesh(*m, k), Mesh(*m, 0)) << k;
}

TEST(IconModel, TwoShapesBlendThereAndBackInAClosedLoop) {
  ModelFile f = TexturedTriangle(2, {0, 8192});
  f.vertices[0].normal = {100, 200, 300};
  IconImage image{};
  auto m = ParseIconModel(f.Build(), image);
  ASSERT_TRUE(m);
  const float x0 = -4000.0f / 10240.0f, x1 = (-4000.0f + 8192.0f) / 10240.0f;
  std::vector<float> xs;
  for (std::uint32_t k = 0; k < 8; ++k) xs.push_back(FloatAt(Mesh(*m, k), 0));
  EXPECT_FLOAT_EQ(xs[0], x0);
  EXPECT_FLOAT_EQ(xs[2], (x0 + x1) / 2);
  EXPECT_FLOAT_EQ(xs[4], x1);
  EXPECT_FLOAT_EQ(xs[6], (x0 + x1) / 2);
  EXPECT_LT(xs[0], xs[1]);
  EXPECT_GT(xs[4], xs[5]);
  EXPECT_GT(xs[7], xs[0]);
  // Normals are the file's in every mesh.
  EXPECT_FLOAT_EQ(FloatAt(Mesh(*m, 2), 12), 100.0f / 4096.0f);
  EXPECT_FLOAT_EQ(FloatAt(Mesh(*m, 6), 16), -200.0f / 4096.0f);
}

TEST(IconModel, UntexturedModelsCarryTheirVertexColours) {
  ModelFile f = TexturedTriangle(1);
  f.textureType = 0x03;
  f.texture.clear();
  IconImage image{};
  auto m = ParseIconModel(f.Build(), image);
  ASSERT_TRUE(m);
  EXPECT_FALSE(m->textured);
  Bytes v = Mesh(*m, 0);
  EXPECT_EQ(Get32(v, 24), 0x00808080u);  // diffuse
  EXPECT_EQ(Get32(v, 28), 0x00808080u);  // specular
}

TEST(IconModel, PlainTextureHasASizeWordOnlyWhenExactlyThatManyBytesRemain) {
  for (std::uint32_t type : {0x07u, 0x06u, 0x05u, 0x04u}) {
    ModelFile f = TexturedTriangle(1);
    f.textureType = type;
    f.texture = ModelFile::PlainTexture(0x1111);
    Put16(f.texture, 0, 0x2222);  // the first texel
    IconImage image{};
    ASSERT_TRUE(ParseIconModel(f.Build(), image)) << type;
    EXPECT_EQ(TexelAt(image, 0, 0), 0x2222) << type;

    Bytes withWord = {0x00, 0x80, 0x00, 0x00};
    withWord.insert(withWord.end(), f.texture.begin(), f.texture.end());
    f.texture = withWord;
    ASSERT_TRUE(ParseIconModel(f.Build(), image)) << type;
    EXPECT_EQ(TexelAt(image, 0, 0), 0x2222) << type;
    EXPECT_EQ(TexelAt(image, 127, 127), 0x1111) << type;
  }
  // Bytes after a plain texture without the word are ignored.
  ModelFile f = TexturedTriangle(1);
  Put16(f.texture, 0, 0x2222);
  f.texture.resize(f.texture.size() + 8, 0xEE);
  IconImage image{};
  ASSERT_TRUE(ParseIconModel(f.Build(), image));
  EXPECT_EQ(TexelAt(image, 0, 0), 0x2222);
}

// A negative count copies that many words as they are, a positive one
// repeats the next word, 0 consumes its word; decoding stops at the image's
// end (cutting the last run or copy) and at the end of the bytes.
TEST(IconModel, RunLengthCodesCopyAndRepeatWithinTheImageAndTheBytes) {
  auto words = [](std::initializer_list<std::uint16_t> list) {
    Bytes b;
    for (std::uint16_t w : list) Append16(b, w);
    return b;
  };
  const struct {
    Bytes stream;
    std::uint32_t written;
    std::vector<std::pair<std::size_t, std::uint16_t>> texels;
  } cases[] = {
      {words({0xFFFD, 1, 2, 3, 3, 0x7FFF, 0, 0x1234, 1, 0x4444}),
       7,
       {{0, 1}, {1, 2}, {2, 3}, {3, 0x7FFF}, {5, 0x7FFF}, {6, 0x4444}, {7, 0x5555}}},
      {words({16383, 0x0101, 5, 0x0202, 5, 0x0303}), 16384, {{16382, 0x0101}, {16383, 0x0202}}},
      {words({16383, 0x0101, 0xFFFE, 0x0A0A, 0x0B0B}), 16384, {{16383, 0x0A0A}}},
      {words({0xFFF0, 1, 2}), 2, {{1, 2}, {2, 0x5555}}},
      {Bytes{0x05}, 0, {{0, 0x5555}}},  // half a code
  };
  for (const auto& c : cases) {
    IconImage image{};
    image.fill(0x5555);
    EXPECT_EQ(DecodeRunLengthTexture(c.stream, image), c.written);
    for (auto [at, texel] : c.texels) EXPECT_EQ(image[at], texel) << c.written << " at " << at;
  }
}

TEST(IconModel, CompressedModelsSkipTheSizeWordThenDecode) {
  ModelFile f = TexturedTriangle(1);
  f.textureType = 0x0E;
  f.texture.clear();
  Append32(f.texture, 8);
  Append16(f.texture, 16384);
  Append16(f.texture, 0x03E0);
  Append16(f.texture, 16384);  // trailing codes after the image is full
  Append16(f.texture, 0x7C00);
  IconImage image{};
  ASSERT_TRUE(ParseIconModel(f.Build(), image));
  EXPECT_EQ(TexelAt(image, 0, 0), 0x03E0);
  EXPECT_EQ(TexelAt(image, 127, 127), 0x03E0);
}

TEST(IconModel, AnimationRecordCountComesFromTheAnimationHeader) {
  ModelFile f = TexturedTriangle(2, {0, 100});
  f.animationFrames = 1;  // fewer records than shapes
  f.keysPerFrame = 3;
  Put16(f.texture, 0, 0x2222);
  IconImage image{};
  auto m = ParseIconModel(f.Build(), image);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->shapeCount, 2u);
  EXPECT_EQ(TexelAt(image, 0, 0), 0x2222);
}

TEST(IconModel, ShapeCountsAboveFortyAreCut) {
  ModelFile f = TexturedTriangle(45);
  IconImage image{};
  auto m = ParseIconModel(f.Build(), image);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->fileShapeCount, 45u);
  EXPECT_EQ(m->shapeCount, 40u);
  // The normal after all 45 positions is still found.
  EXPECT_FLOAT_EQ(FloatAt(Mesh(*m, 159), 20), -1.0f);
}

TEST(IconModel, ModelsThatDoNotFitTheirBytesBuildNothing) {
  IconImage image{};
  for (std::uint32_t type : {0x07u, 0x0Eu, 0x03u}) {
    ModelFile f = TexturedTriangle(3, {0, 10, 20});
    f.textureType = type;
    if (type == 0x0E) f.texture = {4, 0, 0, 0};
    if (type == 0x03) f.texture.clear();
    const Bytes full = f.Build();
    ASSERT_TRUE(ParseIconModel(full, image)) << type;
    for (std::size_t n = 0; n < full.size(); ++n) {
      Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_FALSE(ParseIconModel(cut, image)) << type << " cut at " << n;
    }
  }
}

TEST(IconModel, AbsurdCountsBuildNothing) {
  const Bytes good = TexturedTriangle(1).Build();
  IconImage image{};
  auto with = [&](std::size_t at, std::uint32_t value) {
    Bytes b = good;
    Put32(b, at, value);
    return ParseIconModel(b, image);
  };
  EXPECT_FALSE(with(4, 0));   // no shape
  EXPECT_FALSE(with(16, 0));  // no vertex
  EXPECT_FALSE(with(4, 0xFFFFFFFF));
  EXPECT_FALSE(with(4, 0x20000000));
  EXPECT_FALSE(with(16, 0xFFFFFFFF));
  EXPECT_FALSE(with(16, 4));
  const std::size_t animation = 20 + 3 * 24;
  EXPECT_FALSE(with(animation + 16, 0xFFFFFFFF));  // frame records
  EXPECT_FALSE(with(animation + 24, 0xFFFFFFFF));  // key count
  EXPECT_FALSE(with(animation + 24, 0x20000000));
}

// The PS1 decoder, the slab it is shown on and the colour packing into the texture's format.
constexpr std::uint16_t kGrey = 0x18C6;

// Every texel of a 64 x 64 cell, one value when they all agree.
std::optional<std::uint16_t> CellColour(const IconImage& image, int cell) {
  const int x0 = (cell % 2) * 64, y0 = (cell / 2) * 64;
  std::uint16_t first = TexelAt(image, x0, y0);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if (TexelAt(image, x0 + x, y0 + y) != first) return std::nullopt;
    }
  }
  return first;
}

TEST(PS1Icon, FlagGivesFrameCountAndCellsOutsideTheFramesStayGrey) {
  PS1Icon icon;
  icon.palette = {0x001F, 0x03E0, 0x7C00, 0x7FFF};
  for (int f = 0; f < 4; ++f) icon.FillFrame(f, static_cast<std::uint8_t>(f));
  const struct {
    std::uint8_t flag;
    std::uint32_t frames;
    std::array<std::optional<std::uint16_t>, 4> cells;
  } cases[] = {{0x11, 1, {0x001F, kGrey, kGrey, kGrey}},
               {0x13, 3, {0x001F, 0x03E0, 0x7C00, kGrey}},
               {0x14, 4, {0x001F, 0x03E0, 0x7C00, 0x7FFF}}};
  IconImage image{};
  for (const auto& c : cases) {
    icon.flag = c.flag;
    ASSERT_EQ(DecodePS1Image(icon.Build(), image), c.frames);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(CellColour(image, k), c.cells[k]) << c.flag << " " << k;
  }
  // Counts outside one to four are limited.
  for (auto [flag, frames] : {std::pair{0x10, 1u}, {0x00, 1u}, {0x15, 4u}, {0x1F, 4u}})
    EXPECT_EQ(PS1FrameCount(static_cast<std::uint8_t>(flag)), frames) << flag;
}

TEST(PS1Icon, PaletteEntryZeroIsAnOrdinaryColourAndBit15IsKept) {
  PS1Icon icon;
  icon.palette[0] = 0x0000;  // black, not a hole
  icon.palette[1] = 0x8000 | 0x1234;
  icon.FillFrame(0, 0);
  icon.SetPixel(0, 5, 5, 1);
  IconImage image{};
  ASSERT_EQ(DecodePS1Image(icon.Build(), image), 1u);
  EXPECT_EQ(TexelAt(image, 0, 0), 0x0000);
  // The texel holds the word as it stands; the packing ignores bit 15.
  EXPECT_EQ(TexelAt(image, 20, 4 * (15 - 5)), 0x9234);
}

TEST(PS1Icon, TopRowIsStoredLastSoItShowsAtTheTopOfTheSlab) {
  PS1Icon icon;
  icon.palette = {0x0000, 0x001F, 0x03E0};
  icon.FillFrame(0, 0);
  for (int x = 0; x < 16; ++x) {
    icon.SetPixel(0, x, 0, 1);   // top row red
    icon.SetPixel(0, x, 15, 2);  // bottom row green
  }
  icon.SetPixel(0, 0, 7, 1);  // left pixel of a pair: the low nibble
  icon.SetPixel(0, 1, 7, 2);
  IconImage image{};
  ASSERT_TRUE(DecodePS1Image(icon.Build(), image));
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(TexelAt(image, 10, r), 0x03E0) << r;       // texture rows 0-3: icon row 15
    EXPECT_EQ(TexelAt(image, 10, 60 + r), 0x001F) << r;  // rows 60-63: icon row 0
  }
  EXPECT_EQ(TexelAt(image, 3, 4 * 8), 0x001F);  // icon row 7 at cell rows 32-35
  EXPECT_EQ(TexelAt(image, 4, 4 * 8 + 3), 0x03E0);

  CurrentIcon slab;
  BuildSlab(slab);
  SetSlabFrame(slab, 0);
  // The slab's bottom edge (y = -0.8) carries vT, the cell's first rows.
  EXPECT_FLOAT_EQ(slab.slab[0].y, -0.8f);
  EXPECT_FLOAT_EQ(slab.slab[0].v, 0.0f);
  EXPECT_FLOAT_EQ(slab.slab[5].y, 0.8f);
  EXPECT_FLOAT_EQ(slab.slab[5].v, 0.5f);
  SetSlabFrame(slab, 3);
  EXPECT_FLOAT_EQ(slab.slab[0].u, 0.5f);
  EXPECT_FLOAT_EQ(slab.slab[0].v, 0.5f);
  EXPECT_FLOAT_EQ(slab.slab[12].u, 0.75f) << "the edges show the grey cell";
}

TEST(PS1Icon, IconBytesShorterThanTheirFramesBuildNothing) {
  PS1Icon icon;
  icon.flag = 0x13;
  const Bytes full = icon.Build(0x80 + 3 * 128);
  IconImage image{};
  EXPECT_TRUE(DecodePS1Image(full, image));
  for (std::size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(DecodePS1Image(cut, image)) << n;
  }
}

PixelLayout LayoutOf(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  PixelLayout layout;
  layout.textureRed = ChannelMaskOf(red);
  layout.textureGreen = ChannelMaskOf(green);
  layout.textureBlue = ChannelMaskOf(blue);
  return layout;
}

TEST(PackColor15, FiveBitsLandAtTheTopOfEachChannel) {
  const PixelLayout rgb565 = LayoutOf(0xF800, 0x07E0, 0x001F);
  const PixelLayout rgb888 = LayoutOf(0xFF0000, 0x00FF00, 0x0000FF);
  const PixelLayout argb1555 = LayoutOf(0x7C00, 0x03E0, 0x001F);
  EXPECT_EQ(PackColor15(0x7FFF, rgb565), 0xFFDFu);  // green's lowest bit stays 0
  EXPECT_EQ(PackColor15(0x7FFF, rgb888), 0xF8F8F8u);
  EXPECT_EQ(PackColor15(0x001F, argb1555), 0x7C00u);  // console red into bits 10-14
  EXPECT_EQ(PackColor15(0x7C00, argb1555), 0x001Fu);
  EXPECT_EQ(PackColor15(0x8000 | 0x1234, rgb565), PackColor15(0x1234, rgb565));
  EXPECT_EQ(PackColor15(0x7FFF, LayoutOf(0xF00, 0xF0, 0xF)), 0xFFFu);  // 4-bit channels
}

}  // namespace
}  // namespace slk::testing
