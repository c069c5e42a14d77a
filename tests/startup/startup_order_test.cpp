// The start-up's order, as far as it makes the first frame come sooner: the
// rendering thread starts once the start-up files are read (its first frame
// shows them), but before any dialog those files bring up; and the display's
// font, looked for while the window is made, reaches InitDisplay whatever
// the loader did.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>

#include "shell/display_backend.h"
#include "shell/shell_fixture.h"

namespace slk::testing {
namespace {

TEST(DisplayFontTest, ALoaderThatThrowsLeavesTheDisplayWithoutTexts) {
  std::ostringstream said;
  DisplayBackend backend(
      [](std::string*) -> std::unique_ptr<platform::TextRenderer> {
        throw std::runtime_error("no fonts here");
      },
      &said);
  ASSERT_TRUE(backend.InitDisplay(false));
  EXPECT_EQ(backend.FontError(), "The font could not be loaded: no fonts here");
  EXPECT_EQ(said.str(),
            "slotkeeper2: The font could not be loaded: no fonts here The window shows no "
            "texts.\n");
}

TEST(DisplayFontTest, TheFontFoundMeanwhileIsTheOneInUse) {
  std::ostringstream said;
  DisplayBackend backend(platform::TextRenderer::Create, &said);
  ASSERT_TRUE(backend.InitDisplay(false));
  EXPECT_TRUE(backend.FontError().empty()) << backend.FontError();
  EXPECT_TRUE(said.str().empty());
}

}  // namespace
}  // namespace slk::testing
