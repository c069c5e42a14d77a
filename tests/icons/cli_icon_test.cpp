// slotkeeper-cli icon on the sample cards: the PNG files it writes.

#include <gtest/gtest.h>
#include <png.h>

#include <sstream>

#include "cli/cli_app.h"
#include "cli/cli_runner.h"
#include "support/temp_dir.h"

namespace slk::testing {
namespace {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
  std::uint8_t Alpha(int x, int y) const {
    return rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(x)) *
                    4 +
                3];
  }
};

std::optional<Picture> ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return std::nullopt;
  image.format = PNG_FORMAT_RGBA;
  Picture p;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  p.rgba.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr) == 0) return std::nullopt;
  return p;
}

class CliIconTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args,
          std::string standardIcon = std::string(SLOTKEEPER_SOURCE_DIR) + "/psicon/standard.ico") {
    args.insert(args.begin(), {"slotkeeper-cli", "icon"});
    args.push_back("--standard-icon");
    args.push_back(standardIcon);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    out.str("");
    err.str("");
    Console console{out, err, in, false};
    return RunCli(static_cast<int>(argv.size()), argv.data(), console);
  }
  static std::string Sample(const std::string& name) {
    return std::string(SLOTKEEPER_SOURCE_DIR) + "/samples/" + name;
  }

  TempDir dir;
  std::ostringstream out, err;
  std::istringstream in;
};

TEST_F(CliIconTest, ListFrameIsTransparentAroundTheIconAndTheDetailScreenIsTheWindow) {
  const std::string png = dir.File("ball.png");
  ASSERT_EQ(Run({Sample("slotkeeper-mixed.xmc"), "0", png, "--frame", "2"}), 0) << err.str();
  auto p = ReadPng(png);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->width, 64);
  EXPECT_EQ(p->height, 64);
  EXPECT_EQ(p->Alpha(0, 0), 0);
  int opaque = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) opaque += p->Alpha(x, y) == 255 ? 1 : 0;
  }
  EXPECT_GT(opaque, 200);

  const std::string detail = dir.File("detail.png");
  ASSERT_EQ(Run({Sample("slotkeeper-jelly.psu"), "0", detail, "--detail"}), 0) << err.str();
  p = ReadPng(detail);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->width, 512);
  EXPECT_EQ(p->height, 312);
  EXPECT_EQ(p->Alpha(0, 0), 255);
}

TEST_F(CliIconTest, FramesPastTheIconsOwnAreRefused) {
  const std::string png = dir.File("star.png");
  // A PS1 icon has four frames at most, a list cell eight.
  EXPECT_EQ(Run({Sample("slotkeeper-mixed.xmc"), "BASLUS-90001STARVOY", png, "--frame", "4"}), 1);
  EXPECT_NE(err.str().find("--frame must be below"), std::string::npos) << err.str();
  EXPECT_FALSE(ReadPng(png));
  EXPECT_EQ(Run({Sample("slotkeeper-mixed.xmc"), "99", png}), 1);
}

TEST_F(CliIconTest, WithoutTheStandardIconNothingIsWritten) {
  const std::string png = dir.File("none.png");
  const std::string missing = dir.File("psicon/standard.ico");
  EXPECT_EQ(Run({Sample("slotkeeper-mixed.xmc"), "0", png}, missing), 1);
  EXPECT_NE(err.str().find("\"Standard.ico\" is not found."), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(missing), std::string::npos) << err.str();
  EXPECT_FALSE(ReadPng(png));
}

// The built program finds the standard icon beside itself, whatever the
// working folder (the tests run in the build tree, far from the sources).
TEST_F(CliIconTest, TheBuiltProgramFindsTheStandardIconBesideItself) {
  const std::string png = dir.File("beside.png");
  CliResult result = CliRunner().Run({"icon", Sample("slotkeeper-mixed.xmc"), "0", png});
  EXPECT_EQ(result.exit, 0) << result.err;
  EXPECT_TRUE(ReadPng(png));
}

}  // namespace
}  // namespace slk::testing
