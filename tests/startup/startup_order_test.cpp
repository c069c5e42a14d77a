// The start-up's order, as far as it makes the first frame come sooner: the
// rendering thread starts once the start-up files are read (its first frame
// shows them), but before any dialog those files bring up; and the display's
// font, looked for while the window is made, reaches the display whatever
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

class StartupOrderTest : public ShellTest {
 protected:
  std::ptrdiff_t Position(const std::string& call) const {
    return std::find(log.begin(), log.end(), call) - log.begin();
  }
  std::ptrdiff_t Times(const std::string& call) const {
    return std::count(log.begin(), log.end(), call);
  }
};

TEST_F(StartupOrderTest, RenderingStartsOnceTheStartupFilesAreIn) {
  std::string left = WritePS1Card(dir, "left.mcr", 2);
  std::string right = WriteExpandedCard(dir, "right.xmc", 3);
  WriteSettings("[Setting]\nUseSlotPath=1\n[Directory]\nLSlotPath=" + left +
                "\nRSlotPath=" + right + "\n");
  options.commandLine = "";
  ASSERT_TRUE(shell.StartUp(options));
  ASSERT_EQ(Times("StartRenderThread"), 1);
  EXPECT_EQ(log.back(), "StartRenderThread");
  EXPECT_LT(Position("Prerender L 0"), Position("StartRenderThread"));
  EXPECT_LT(Position("Prerender R 0"), Position("StartRenderThread"));
  EXPECT_FALSE(backend.paused);
}

TEST_F(StartupOrderTest, AStartupFileWithAMessageStartsRenderingBeforeIt) {
  std::string path = dir.File("broken.mcr");
  WriteFileBytes(path, {1, 2, 3});
  options.commandLine = path;
  ASSERT_TRUE(shell.StartUp(options));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  const std::string message = "Message " + std::to_string(dialogs.shown[0]);
  ASSERT_EQ(Times("StartRenderThread"), 1);
  EXPECT_LT(Position("StartRenderThread"), Position(message));
}

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
  backend.BeginInitDisplay(false);  // the display on a thread of its own meanwhile
  ASSERT_TRUE(backend.InitDisplay(false));
  EXPECT_TRUE(backend.Engine().Device());
  EXPECT_TRUE(backend.FontError().empty()) << backend.FontError();
  EXPECT_TRUE(said.str().empty());
}

}  // namespace
}  // namespace slk::testing
