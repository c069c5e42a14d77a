// make_bitmaps: draws the program's bitmaps 102 to 108 and its icon, and
// writes them into the resources folder.
//
//   make_bitmaps --out RESOURCES_DIR [--preview DIR] [--font-dir DIR]
//
// Writes RESOURCES_DIR/bitmaps/1NN_name.bmp and RESOURCES_DIR/icons/
// slotkeeper2-32.png and -64.png. With --preview, also PNG copies of each
// bitmap at 1:1 and enlarged 4 times, and mock-ups of the two screens.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/make_bitmaps/designs.h"
#include "tools/make_bitmaps/mockups.h"
#include "tools/make_bitmaps/writers.h"

namespace {

namespace fs = std::filesystem;
using slk::tools::Image;

struct Options {
  fs::path out;
  fs::path preview;
  fs::path fontDir = "/usr/share/fonts/truetype/dejavu";
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    if (arg == "--out") {
      options.out = argv[++i];
    } else if (arg == "--preview") {
      options.preview = argv[++i];
    } else if (arg == "--font-dir") {
      options.fontDir = argv[++i];
    } else {
      return false;
    }
  }
  return !options.out.empty();
}

// The icon over a mid grey, to judge its edges.
Image OnGrey(const slk::tools::RgbaImage& icon) {
  Image out(icon.width, icon.height, slk::tools::Rgb{150, 150, 150});
  for (int y = 0; y < icon.height; ++y) {
    for (int x = 0; x < icon.width; ++x) {
      const slk::tools::Rgba& p = icon.At(x, y);
      const slk::tools::Rgb c{static_cast<std::uint8_t>(p.r * 255.0f + 0.5f),
                              static_cast<std::uint8_t>(p.g * 255.0f + 0.5f),
                              static_cast<std::uint8_t>(p.b * 255.0f + 0.5f)};
      out.At(x, y) = slk::tools::Mix(out.At(x, y), c, p.a);
    }
  }
  return out;
}

struct Bitmap {
  const char* name;
  int bits;
  std::function<Image()> make;
};

void Run(const Options& options) {
  const slk::tools::Fonts fonts{(options.fontDir / "DejaVuSans-Bold.ttf").string(),
                                (options.fontDir / "DejaVuSans-BoldOblique.ttf").string()};
  const std::vector<Bitmap> bitmaps{
      {"102_backdrop", 24, slk::tools::MakeBackdrop},
      {"103_scroll_buttons", 4, slk::tools::MakeScrollButtonSheet},
      {"104_more_arrows", 4, slk::tools::MakeMoreArrows},
      {"105_action_buttons", 24, [&] { return slk::tools::MakeActionButtonSheet(fonts); }},
      {"106_marker_ball", 24, slk::tools::MakeMarkerBall},
      {"107_digit_font", 4, [&] { return slk::tools::MakeDigitFont(fonts); }},
      {"108_busy_banner", 1, [&] { return slk::tools::MakeBusyBanner(fonts); }},
  };
  fs::create_directories(options.out / "bitmaps");
  fs::create_directories(options.out / "icons");
  if (!options.preview.empty()) fs::create_directories(options.preview);
  std::vector<Image> made;
  for (const Bitmap& b : bitmaps) {
    const Image& image = made.emplace_back(b.make());
    slk::tools::WriteBmp((options.out / "bitmaps" / (std::string(b.name) + ".bmp")).string(), image,
                         b.bits);
    if (!options.preview.empty()) {
      slk::tools::WritePng((options.preview / (std::string(b.name) + ".png")).string(), image);
      slk::tools::WritePng((options.preview / (std::string(b.name) + "_x4.png")).string(), image,
                           4);
    }
  }
  if (!options.preview.empty()) {
    const slk::tools::Sheets sheets{made[0], made[1], made[2], made[3], made[4], made[5], made[6]};
    slk::tools::WritePng((options.preview / "mock_list.png").string(),
                         slk::tools::MockListScreen(sheets));
    slk::tools::WritePng((options.preview / "mock_detail.png").string(),
                         slk::tools::MockDetailScreen(sheets));
  }
  for (const int size : {32, 64}) {
    const std::string name = "slotkeeper2-" + std::to_string(size);
    const slk::tools::RgbaImage icon = slk::tools::MakeProgramIcon(size);
    slk::tools::WritePng((options.out / "icons" / (name + ".png")).string(), icon);
    if (!options.preview.empty()) {
      slk::tools::WritePng((options.preview / (name + "_x4.png")).string(), OnGrey(icon), 4);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: make_bitmaps --out RESOURCES_DIR [--preview DIR] [--font-dir DIR]\n");
    return 2;
  }
  try {
    Run(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_bitmaps: %s\n", e.what());
    return 1;
  }
  return 0;
}
