// The rendering thread draws, presents and keeps only what changed since the
// frame before (Renderer::RunLoopFrame). Two identical displays go through
// the same list, transition, menu and detail frames, one drawing every frame
// whole (RunOneFrame), the other as the thread does: every frame must be the
// same on the screen, in the kept frame and in a window that copies only
// the changes.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "display/render_fixture.h"

namespace slk {
namespace {

// One display; the fixture's set-up run by hand, so that a test can have two.
class Display : public test::RenderTest {
 public:
  explicit Display(int bits) : RenderTest(bits) {}
  void TestBody() override {}

  void Prepare() {
    SetUp();
    FillSlot(kLeft, 12);
    FillSlot(kRight, 5, CardKind::PS2);
    FillIconCache(3);
    SolidBall();
    // Arrows that show: a square of one colour in the middle of each.
    gfx::Surface& arrows = *engine_.MoreArrows();
    arrows.Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill, 0);
    arrows.Blt(gfx::Rect{4, 4, 28, 12}, nullptr, std::nullopt, gfx::blt::kColorFill,
               Pack(0xFF00FF00));
    arrows.SetColorKey(gfx::ColorKey{0, 0});
    shell_.selectionSlot = kLeft;
    shell_.selectionPosition = 1;
    workspace_.CellFrameCount()[kRight][2] = 2;
  }

  // What changes before frame `f`; the changes the shell makes only while
  // rendering is paused are made inside a pause.
  void Change(int f) {
    if (f == 3) {
      renderer_->PauseRendering();
      shell_.scrollTop[kLeft] = 3;
      renderer_->ResumeRendering();
    }
    if (f == 6) shell_.scrollButtonState[3] = 1;
    if (f == 9) shell_.selectionPosition = 4;
    if (f == 12) shell_.modified[kRight] = 1;
    if (f == 36) shell_.displayMode = DisplayMode::Transition;
    if (f >= 36 && f < 42) {
      for (int k = 0; k < 4; ++k) {
        shell_.transitionMarkers[static_cast<std::size_t>(k)].x = 40 + 30 * k + 7 * f;
        shell_.transitionMarkers[static_cast<std::size_t>(k)].y = 30 + 11 * f;
      }
    }
    if (f == 42) shell_.displayMode = DisplayMode::List;
    if (f == 44) shell_.menuLoopActive = 1;
    if (f == 47) shell_.menuLoopActive = 0;
    if (f == 49) ShowDetail();
    if (f == 57) shell_.actionButtonState[1] = 1;
    if (f == 62) {
      renderer_->PauseRendering();
      workspace_.Lock().locked = true;
      renderer_->ResumeRendering();
    }
    if (f == 100) shell_.displayMode = DisplayMode::List;
  }

  gfx::Result Frame(bool whole) {
    return whole ? renderer_->RunOneFrame() : renderer_->RunLoopFrame();
  }

  // The window's place on the screen, row by row.
  std::vector<std::uint32_t> Screen() const {
    const gfx::Surface& primary = *engine_.PrimarySurface();
    gfx::Rect r = window_.ClientRectOnScreen();
    std::vector<std::uint32_t> out;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) out.push_back(primary.PixelAt(x, y));
    }
    return out;
  }
  std::vector<std::uint32_t> Kept() const {
    std::vector<std::uint32_t> out;
    renderer_->CopyPresentedFrame(out);
    return out;
  }
  Renderer& R() { return *renderer_; }

 private:
  // A detail screen whose model is a triangle in another place every frame,
  // reaching over the first action button in one of them.
  void ShowDetail() {
    renderer_->PauseRendering();
    workspace_.Icon().meshCount = 4;
    workspace_.Icon().vertexCount = 3;
    engine_.ComposeSurface()->Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill,
                                  Pack(0xFF203040));
    engine_.Device()->SetViewport(gfx::Viewport{16, 44, 400, 224, 0, 1});
    for (int m = 0; m < 4; ++m) {
      auto mesh = std::make_shared<gfx::VertexBuffer>(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse, 3);
      std::span<std::uint8_t> bytes;
      ASSERT_EQ(mesh->Lock(bytes), gfx::Result::Ok);
      const float corners[3][2] = {
          {10.0f + 50 * m, 30.0f}, {150.0f + 60 * m, 60.0f + 60 * m}, {40.0f, 250.0f - 10 * m}};
      for (int v = 0; v < 3; ++v) {
        const float vertex[4] = {corners[v][0], corners[v][1], 0.5f, 1.0f};
        const std::uint32_t colour = 0xFF102030u + 0x00302010u * static_cast<std::uint32_t>(v + m);
        std::memcpy(bytes.data() + 20 * v, vertex, sizeof vertex);
        std::memcpy(bytes.data() + 20 * v + 16, &colour, 4);
      }
      mesh->Unlock();
      engine_.ModelFrames()[static_cast<std::size_t>(m)] = mesh;
    }
    shell_.selectionSlot = kRight;
    shell_.selectionPosition = 0;
    shell_.displayMode = DisplayMode::Detail;
    renderer_->ResumeRendering();
  }
};

class FrameReuse : public ::testing::TestWithParam<int> {};

TEST_P(FrameReuse, EveryFrameEqualsTheWholeOne) {
  Display whole(GetParam()), reused(GetParam());
  whole.Prepare();
  reused.Prepare();
  const std::size_t pixels = static_cast<std::size_t>(kClientWidth) * kClientHeight;
  std::vector<std::uint32_t> window(pixels), expected(pixels);
  std::vector<gfx::Rect> changed;
  for (int f = 0; f < 108; ++f) {
    SCOPED_TRACE(f);
    whole.Change(f);
    reused.Change(f);
    ASSERT_EQ(whole.Frame(true), gfx::Result::Ok);
    ASSERT_EQ(reused.Frame(false), gfx::Result::Ok);
    ASSERT_EQ(whole.Screen(), reused.Screen());
    ASSERT_EQ(whole.Kept(), reused.Kept());
    ASSERT_EQ(whole.R().ChangedFrames(), reused.R().ChangedFrames());
    // A window that looks at every third frame only.
    if (f % 3 != 0) continue;
    ASSERT_TRUE(reused.R().CopyPresentedChangesRgb(window, changed));
    ASSERT_TRUE(reused.R().CopyPresentedFrameRgb(expected));
    ASSERT_EQ(window, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(DesktopBits, FrameReuse, ::testing::Values(32, 16));

// The window copies the changes while the thread draws (and, under TSan,
// without a race); once rendering is paused it holds the kept frame.
TEST(FrameReuseThread, AWindowCopyingChangesEndsWithTheKeptFrame) {
  Display display(32);
  display.Prepare();
  const std::size_t pixels = static_cast<std::size_t>(kClientWidth) * kClientHeight;
  std::vector<std::uint32_t> window(pixels), expected(pixels);
  std::vector<gfx::Rect> changed;
  display.R().Start();
  for (int i = 0; i < 40; ++i) {
    display.R().CopyPresentedChangesRgb(window, changed);
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
  }
  display.R().PauseRendering();
  ASSERT_TRUE(display.R().CopyPresentedChangesRgb(window, changed));
  ASSERT_TRUE(display.R().CopyPresentedFrameRgb(expected));
  EXPECT_EQ(window, expected);
  EXPECT_GT(display.R().ChangedFrames(), 1u);
  display.R().Stop();
}

}  // namespace
}  // namespace slk
