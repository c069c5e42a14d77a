// The program with its real display: the window, the shell, the display
// engine, the rendering thread and the icon pipeline, with the sample cards
// reopened through the settings as ./run.sh does. Frames are probed where
// the icons, the file names, the title box and the detail screen's caption
// are drawn.

#include "shell/display_backend.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "gfx/pixel_format.h"
#include "resources/strings.h"
#include "shell/main_window.h"
#include "shell/shown_frame.h"
#include "shell_fixture.h"

namespace slk::testing {
namespace {

using Frame = std::vector<std::uint32_t>;

constexpr std::uint32_t kCyan = 0x00FFFF;
constexpr std::uint32_t kYellow = 0xFFFF00;

std::string Sample(const char* name) {
  return std::string(SLOTKEEPER_SOURCE_DIR) + "/samples/" + name;
}

// Counts the paints of the widget it is installed on.
struct PaintCount : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

// The cells' frame count as the widget's first paint of a presented frame
// leaves it.
struct FirstFramePaint : QObject {
  std::function<bool()> presented;
  std::function<std::uint32_t()> cellFrames;
  std::optional<std::uint32_t> after;
  bool eventFilter(QObject* object, QEvent* event) override {
    if (after || event->type() != QEvent::Paint || !presented()) return false;
    object->event(event);
    after = cellFrames();
    return true;
  }
};

struct Area {
  int left, top, right, bottom;
};

Area CellArea(Slot s, int cell) {
  int x = 10 + 256 * s + 74 * (cell % 3);
  int y = 20 + 64 * (cell / 3);
  return {x, y, x + 64, y + 64};
}

// The file-name line under a slot's panel.
Area FileNameLine(Slot s) {
  return {256 * s, 276, 256 * s + 256, 293};
}

int CountOf(const Frame& frame, std::uint32_t colour, Area a) {
  int n = 0;
  for (int y = a.top; y < a.bottom; ++y) {
    for (int x = a.left; x < a.right; ++x) n += frame[y * kFrameWidth + x] == colour;
  }
  return n;
}

int CountDifferent(const Frame& frame, const Frame& other, Area a) {
  int n = 0;
  for (int y = a.top; y < a.bottom; ++y) {
    for (int x = a.left; x < a.right; ++x) {
      n += frame[y * kFrameWidth + x] != other[y * kFrameWidth + x];
    }
  }
  return n;
}

class DisplayBackendTest : public ::testing::Test {
 protected:
  DisplayBackendTest() : DisplayBackendTest(platform::TextRenderer::Create) {}
  explicit DisplayBackendTest(DisplayBackend::FontLoader loader)
      : backend(std::move(loader), &diagnostics) {
    // The real standard icon: the saves without a list icon show it.
    options.iconFolders = {SLOTKEEPER_SOURCE_DIR};
    options.settingsPath = dir.File("qovan2.ini");
    options.currentDirectory = dir.Path();
    window.SetShell(&shell);
  }
  ~DisplayBackendTest() override {
    shell.ShutDown();
    window.SetShell(nullptr);
  }

  // Both sample cards reopened as the slots' remembered files.
  void StartWithSamples(bool animationCut = true) {
    std::string ini =
        "[Setting]\nUseSlotPath=1\nAnimationCut=" + std::string(animationCut ? "1" : "0") +
        "\n[Directory]\nLSlotPath=" + Sample("slotkeeper-ps1.mcr") +
        "\nRSlotPath=" + Sample("slotkeeper-mixed.xmc") + "\n";
    WriteFileText(options.settingsPath, ini);
    firstPaint.presented = [this] { return backend.PresentedFrames() > 0; };
    firstPaint.cellFrames = [this] {
      return shell.Ws() != nullptr ? shell.Ws()->CellFrameCount()[kRight][0] : 0;
    };
    window.View().installEventFilter(&firstPaint);
    ASSERT_TRUE(shell.StartUp(options));
    framesAtStart = shell.Ws()->CellFrameCount()[kRight][0];
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(shell.Ws()->At(kLeft).RowCount(), 6u);
    ASSERT_EQ(shell.Ws()->At(kRight).RowCount(), 9u);
  }

  // A frame presented after everything done so far.
  Frame NextFrame() {
    std::uint64_t wanted = backend.PresentedFrames() + 2;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (backend.PresentedFrames() < wanted && std::chrono::steady_clock::now() < deadline) {
      QApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(backend.PresentedFrames(), wanted) << "no frame was presented";
    Frame frame(std::size_t{kFrameWidth} * kFrameHeight, 0xDEAD);
    EXPECT_TRUE(backend.CopyFrame(frame));
    return frame;
  }

  // The list's backdrop bitmap, as the frames show it where nothing covers it.
  Frame Backdrop() {
    shell.PauseRendering();
    const gfx::Surface& surface = *backend.Engine().Backdrop();
    gfx::FormatCodec codec(surface.Format());
    Frame out(std::size_t{kFrameWidth} * kFrameHeight, 0);
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) {
        out[y * kFrameWidth + x] = codec.Unpack(surface.PixelAt(x, y)) & 0xFFFFFF;
      }
    }
    shell.ResumeRendering();
    return out;
  }

  QPoint CellCentre(Slot s, int cell) const {
    Area a = CellArea(s, cell);
    return QPoint(a.left + 32, a.top + 32);
  }

  TempDir dir;
  CallLog log;
  ScriptedDialogs dialogs{log};
  StartupOptions options;
  FirstFramePaint firstPaint;
  std::ostringstream diagnostics;
  DisplayBackend backend;
  MainWindow window{backend};
  Shell shell{backend, window, dialogs};
  std::uint32_t framesAtStart = 0;  // of the right card's first cell, as StartUp left it
};

// Every cell's cached frames, as far as the counts reach, and their keys.
std::vector<std::uint8_t> CachedFrames(DisplayBackend& backend, const Workspace& ws) {
  std::vector<std::uint8_t> out;
  for (Slot s : {kLeft, kRight}) {
    for (int c = 0; c < 9; ++c) {
      for (std::uint32_t f = 0; f < ws.CellFrameCount()[s][c]; ++f) {
        const gfx::Surface& frame = *backend.Engine().IconFrameCache()[s][c][f];
        out.insert(out.end(), frame.Memory().begin(), frame.Memory().end());
        const std::uint32_t key = frame.SrcColorKey().value_or(gfx::ColorKey{}).low;
        for (int b = 0; b < 32; b += 8) out.push_back(static_cast<std::uint8_t>(key >> b));
      }
    }
  }
  return out;
}

TEST_F(DisplayBackendTest, ShowsBothCardsWithTheirIconsAndFileNames) {
  StartWithSamples();
  EXPECT_TRUE(backend.FontError().empty()) << backend.FontError();
  EXPECT_TRUE(dialogs.shown.empty());
  // The first frame waits only for the frames it shows, and so does the
  // window's paint of it; the rest follow and are what a whole pre-rendering
  // draws.
  EXPECT_EQ(framesAtStart, 1u);
  Frame frame = NextFrame();
  for (int i = 0; i < 1000 && shell.Ws()->CellFrameCount()[kRight][0] == 1; ++i)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(firstPaint.after, 1u);
  shell.PauseRendering();
  const auto counts = shell.Ws()->CellFrameCount();
  const std::vector<std::uint8_t> later = CachedFrames(backend, *shell.Ws());
  for (Slot s : {kLeft, kRight}) backend.PrerenderSlotIcons(*shell.Ws(), s, 0);
  EXPECT_EQ(shell.Ws()->CellFrameCount(), counts);
  EXPECT_GT(counts[kRight][0], 1u);
  EXPECT_TRUE(CachedFrames(backend, *shell.Ws()) == later);
  shell.ResumeRendering();
  Frame backdrop = Backdrop();
  // Every save's cell shows an icon over the backdrop: the PS1 card's six,
  // the expanded card's nine (the last one the standard icon).
  for (int cell = 0; cell < 6; ++cell) {
    EXPECT_GT(CountDifferent(frame, backdrop, CellArea(kLeft, cell)), 200) << "Left " << cell;
  }
  for (int cell = 0; cell < 9; ++cell) {
    EXPECT_GT(CountDifferent(frame, backdrop, CellArea(kRight, cell)), 200) << "Right " << cell;
  }
  // Cells without a save show nothing.
  for (int cell = 6; cell < 9; ++cell) {
    EXPECT_EQ(CountDifferent(frame, backdrop, CellArea(kLeft, cell)), 0) << "Left " << cell;
  }
  EXPECT_GT(CountOf(frame, kCyan, FileNameLine(kLeft)), 30);
  EXPECT_GT(CountOf(frame, kCyan, FileNameLine(kRight)), 30);
  // The window shows the frames as presented, 1:1.
  QImage shown = window.View().grab().toImage();
  EXPECT_EQ(shown.pixel(42, 52) & 0xFFFFFF, frame[52 * kFrameWidth + 42]);
}

TEST_F(DisplayBackendTest, HoverShowsTheTitleAndAClickTheDetailScreen) {
  StartWithSamples(false);
  Area titleBox{126, 232, 386, 276};
  EXPECT_EQ(CountOf(NextFrame(), kYellow, titleBox), 0);
  QTest::mouseMove(&window.View(), CellCentre(kRight, 0));
  ASSERT_EQ(shell.State().selectionSlot, kRight);
  EXPECT_GT(CountOf(NextFrame(), kYellow, titleBox), 50);

  // The transition plays on the window while the click is handled.
  QTest::mouseClick(&window.View(), Qt::LeftButton, Qt::NoModifier, CellCentre(kRight, 0));
  ASSERT_EQ(shell.State().viewState, ViewState::Detail);
  Frame detail = NextFrame();
  // The caption "- PS2 SaveData -" centred at the top, over the dimmed list.
  Area caption{160, 11, 352, 28};
  EXPECT_GT(CountOf(detail, kCyan, caption), 30);
  // The model spins on the left.
  Frame later = NextFrame();
  EXPECT_GT(CountDifferent(detail, later, Area{16, 44, 240, 268}), 50);
  // The window repaints as it is told of the frames, without looking.
  PaintCount count;
  window.View().installEventFilter(&count);
  NextFrame();
  EXPECT_GT(count.paints, 0);

  QTest::mouseClick(&window.View(), Qt::RightButton, Qt::NoModifier, QPoint(100, 250));
  ASSERT_EQ(shell.State().viewState, ViewState::List);
  Frame list = NextFrame();
  EXPECT_EQ(CountOf(list, kCyan, caption), 0);
  EXPECT_GT(CountOf(list, kCyan, FileNameLine(kRight)), 30);
}

class NoFontTest : public DisplayBackendTest {
 protected:
  NoFontTest()
      : DisplayBackendTest([](std::string* error) -> std::unique_ptr<platform::TextRenderer> {
          *error = "No Japanese font is installed.";
          return nullptr;
        }) {}
};

TEST_F(NoFontTest, RunsWithoutTextsAndSaysSoOnce) {
  StartWithSamples();
  EXPECT_EQ(diagnostics.str(),
            "slotkeeper2: No Japanese font is installed. The window shows no texts.\n");
  EXPECT_EQ(backend.FontError(), "No Japanese font is installed.");
  Frame frame = NextFrame();
  EXPECT_GT(CountDifferent(frame, Backdrop(), CellArea(kLeft, 0)), 200);
  EXPECT_EQ(CountOf(frame, kCyan, FileNameLine(kLeft)), 0);
  QTest::mouseMove(&window.View(), CellCentre(kLeft, 1));
  QTest::mouseClick(&window.View(), Qt::LeftButton, Qt::NoModifier, CellCentre(kLeft, 1));
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  NextFrame();
}

// The frame shown in the window: only what changed is repainted.
// A new frame differs from the one shown in a few pixels: the rectangles
// cover exactly the runs of changed rows, as wide as their changes, and the
// frame shown is the new one afterwards.
TEST(ShownFrameTest, RepaintsOnlyTheRowsAndColumnsThatChanged) {
  constexpr int kWidth = 16, kHeight = 10;
  struct Pixel {
    int x, y;
  };
  const struct {
    std::vector<Pixel> changed;
    std::vector<FrameRect> rects;
  } cases[] = {
      {{}, {}},
      {{{0, 0}}, {{0, 0, 1, 1}}},
      {{{15, 9}, {3, 9}}, {{3, 9, 16, 10}}},
      {{{5, 2}, {7, 3}, {2, 4}, {9, 7}}, {{2, 2, 8, 5}, {9, 7, 10, 8}}},
  };
  ShownFrame frame(kWidth, kHeight);
  std::vector<std::uint32_t> expected(kWidth * kHeight, 0);
  std::uint32_t colour = 1;
  for (const auto& c : cases) {
    std::copy(expected.begin(), expected.end(), frame.Incoming().begin());
    for (Pixel p : c.changed) {
      frame.Incoming()[p.y * kWidth + p.x] = colour;
      expected[p.y * kWidth + p.x] = colour++;
    }
    EXPECT_EQ(frame.TakeIncoming(), c.rects);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.Pixels().begin()));
  }
}

}  // namespace
}  // namespace slk::testing
