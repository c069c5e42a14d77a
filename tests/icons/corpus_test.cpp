// Real icon model files made by others (the shared corpus, when present):
// they decode and give plausible models and pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <set>

#include "icons/icon_model.h"
#include "support/corpus.h"
#include "support/temp_dir.h"

namespace slk::testing {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusIcons() {
  std::vector<fs::path> out;
  const fs::path root = testing::CorpusDir();
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root, ec)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (e.is_regular_file() && (ext == ".ico" || ext == ".icn")) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(CorpusIcons, RealModelsDecodeIntoPlausibleShapesAndPictures) {
  const std::vector<fs::path> files = CorpusIcons();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << testing::CorpusDir();
  int decoded = 0;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path.string());
    IconImage image{};
    auto model = ParseIconModel(bytes, image);
    if (bytes.empty()) {
      EXPECT_FALSE(model);  // RE4's empty dummy.ico
      continue;
    }
    ASSERT_TRUE(model);
    ++decoded;
    EXPECT_GE(model->vertexCount, 3u);
    // Icons fit in a few units around the origin. (Normals are not always
    // unit long in real files: Siren's reach almost 3.)
    float extent = 0;
    for (float p : model->positions) extent = std::max(extent, std::fabs(p));
    EXPECT_LT(extent, 8.0f);
    // The two 12-vertex icons are a flat badge and an exploit's carrier.
    if (model->textured && model->vertexCount > 12) {
      std::set<std::uint16_t> colours(image.begin(), image.end());
      EXPECT_GT(colours.size(), 8u) << "a flat picture";
    }
  }
  EXPECT_GT(decoded, 20);
}

}  // namespace
}  // namespace slk::testing
