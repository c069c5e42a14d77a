// The frame loop driven one frame at a time (counters, modes, presenting,
// surface loss, the detail frame and the transition's marker path), then the
// rendering thread against the user-interface thread.

#include "display/render_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "render_fixture.h"

namespace slk {
namespace {

using gfx::Point;
using gfx::Rect;

class RenderLoopTest : public test::RenderTest {
 protected:
  FrameCounters& Counters() { return renderer_->Counters(); }
  std::vector<std::uint32_t> Snapshot(const gfx::Surface& s) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s.Height(); ++y) {
      for (int x = 0; x < s.Width(); ++x) out.push_back(s.PixelAt(x, y));
    }
    return out;
  }
  // A detail screen: a plain snapshot and the selected save's model counts.
  void ShowDetail(bool ps1, std::uint32_t meshCount) {
    FillSlot(kLeft, 1, ps1 ? CardKind::PS1 : CardKind::PS2);
    shell_.selectionSlot = kLeft;
    shell_.selectionPosition = 0;
    shell_.displayMode = DisplayMode::Detail;
    engine_.ComposeSurface()->Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill,
                                  Pack(0xFF203040));
    workspace_.Icon().meshCount = meshCount;
    workspace_.Icon().vertexCount = 0;
  }
  bool BannerShown() {
    const gfx::Surface& snapshot = *engine_.ComposeSurface();
    for (int y = 282; y < 312; ++y) {
      for (int x = 130; x < 380; ++x) {
        if (Target().PixelAt(x, y) != snapshot.PixelAt(x, y)) return true;
      }
    }
    return false;
  }
};

TEST_F(RenderLoopTest, ListFramesAdvanceTheListCounters) {
  for (int frame = 1; frame <= 16; ++frame) {
    renderer_->RunOneFrame();
    EXPECT_EQ(Counters().blinkPhase, frame % 16);
    EXPECT_EQ(Counters().frameDivider, frame % 4);
    EXPECT_EQ(Counters().pulseStep, (frame / 4) % 4);
    EXPECT_EQ(Counters().iconClock, frame / 4);
  }
  // The icon clock wraps at a multiple of every frame count.
  Counters().iconClock = kIconClockWrap - 1;
  Counters().frameDivider = 3;
  renderer_->RunOneFrame();
  EXPECT_EQ(Counters().iconClock, 0);
  EXPECT_EQ(Counters().spinAngle, 0u);  // the detail counters stay
  EXPECT_EQ(Counters().bannerPhase, 0);
}

TEST_F(RenderLoopTest, PresentPutsTheFrameAtTheWindowsClientOrigin) {
  int observed = 0;
  renderer_->SetPresentObserver([&] { ++observed; });
  std::vector<std::uint32_t> copy;
  EXPECT_FALSE(renderer_->CopyPresentedFrame(copy));
  EXPECT_EQ(renderer_->RunOneFrame(), gfx::Result::Ok);
  EXPECT_EQ(observed, 1);
  EXPECT_EQ(renderer_->PresentedFrames(), 1u);

  const gfx::Surface& screen = *desktop_.Screen();
  for (Point p : {Point{0, 0}, Point{511, 311}, Point{256, 280}, Point{10, 300}}) {
    EXPECT_EQ(screen.PixelAt(40 + p.x, 30 + p.y), Target().PixelAt(p.x, p.y));
  }
  ASSERT_TRUE(renderer_->CopyPresentedFrame(copy));
  ASSERT_EQ(copy.size(), 512u * 312u);
  for (Point p : {Point{0, 0}, Point{511, 311}, Point{300, 100}}) {
    EXPECT_EQ(copy[static_cast<std::size_t>(p.y) * 512 + p.x], Colour(Target(), p.x, p.y));
  }

  window_.MoveTo(Point{100, 80});
  renderer_->RunOneFrame();
  EXPECT_EQ(screen.PixelAt(100 + 511, 80 + 311), Target().PixelAt(511, 311));
}

class SixteenBitRenderLoopTest : public test::RenderTest {
 protected:
  SixteenBitRenderLoopTest() : test::RenderTest(16) {}
};

TEST_F(SixteenBitRenderLoopTest, PresentedFrameIsConvertedFromTheDesktopFormat) {
  FillSlot(kLeft, 3);
  FillIconCache(1);
  ASSERT_EQ(renderer_->RunOneFrame(), gfx::Result::Ok);
  std::vector<std::uint32_t> copy;
  ASSERT_TRUE(renderer_->CopyPresentedFrame(copy));
  ASSERT_EQ(copy.size(), 512u * 312u);
  for (Point p : {Point{0, 0}, Point{42, 52}, Point{511, 311}, Point{128, 284}}) {
    EXPECT_EQ(copy[static_cast<std::size_t>(p.y) * 512 + p.x], Colour(Target(), p.x, p.y));
  }
}

// A window looks only at frames that changed: a frame presented again
// unchanged (a menu is open) does not count, an animation step does.
TEST_F(RenderLoopTest, OnlyFramesUnlikeTheOneBeforeCountAsChanged) {
  FillSlot(kLeft, 12);           // more than a page: the arrows blink
  shell_.selectionSlot = kLeft;  // and the selection pulses
  renderer_->RunOneFrame();
  shell_.menuLoopActive = 1;
  for (int i = 0; i < 4; ++i) renderer_->RunOneFrame();
  EXPECT_EQ(renderer_->ChangedFrames(), 1u);
  shell_.menuLoopActive = 0;
  for (int i = 0; i < 16; ++i) renderer_->RunOneFrame();
  EXPECT_GT(renderer_->ChangedFrames(), 1u);
  EXPECT_LT(renderer_->ChangedFrames(), 17u) << "most list frames equal the one before";
  EXPECT_EQ(renderer_->PresentedFrames(), 21u);
}

TEST_F(RenderLoopTest, MenuOpenAndUnknownModeFramesArePresentedButNotDrawn) {
  FillSlot(kLeft, 9);
  renderer_->RunOneFrame();
  std::vector<std::uint32_t> before = Snapshot(Target());
  FrameCounters counters = Counters();

  shell_.menuLoopActive = 1;
  shell_.modified[kLeft] = 1;
  shell_.scrollButtonState[0] = 1;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(renderer_->RunOneFrame(), gfx::Result::Ok);
  EXPECT_EQ(Snapshot(Target()), before);
  EXPECT_EQ(Counters().blinkPhase, counters.blinkPhase);
  EXPECT_EQ(Counters().iconClock, counters.iconClock);
  EXPECT_EQ(renderer_->PresentedFrames(), 6u);

  // When the menu closes the animation goes on where it stood.
  shell_.menuLoopActive = 0;
  renderer_->RunOneFrame();
  EXPECT_NE(Snapshot(Target()), before);
  EXPECT_EQ(Counters().blinkPhase, counters.blinkPhase + 1);

  // Unknown display modes draw nothing either, but present.
  before = Snapshot(Target());
  for (int mode : {-1, 3}) {
    shell_.displayMode = mode;
    shell_.scrollButtonState[3] = 1;
    EXPECT_EQ(renderer_->RunOneFrame(), gfx::Result::Ok);
    EXPECT_EQ(Snapshot(Target()), before);
  }
  EXPECT_EQ(Counters().blinkPhase, counters.blinkPhase + 1);
}

TEST_F(RenderLoopTest, LostSurfaceStopsTheLoopUntilTheShellResumesIt) {
  int observed = 0;
  renderer_->SetPresentObserver([&] { ++observed; });
  engine_.DirectDraw()->LoseAllSurfaces();
  EXPECT_TRUE(engine_.PrimaryLost());
  EXPECT_EQ(renderer_->RunOneFrame(), gfx::Result::SurfaceLost);
  EXPECT_FALSE(renderer_->RenderEnable().IsSet());
  EXPECT_EQ(observed, 1);  // the window is told, so that it repaints and restores
  EXPECT_EQ(renderer_->PresentedFrames(), 0u);
  FrameCounters counters = Counters();

  engine_.RestoreSurfaces();
  renderer_->ResumeRendering();
  EXPECT_TRUE(renderer_->RenderEnable().IsSet());
  EXPECT_EQ(renderer_->RunOneFrame(), gfx::Result::Ok);
  EXPECT_EQ(Counters().blinkPhase, counters.blinkPhase + 1);
}

TEST_F(RenderLoopTest, LockBannerBlinksFourteenOfTwentyTwoFramesOnlyWhileLocked) {
  ShowDetail(false, 1);
  std::vector<bool> shown;
  for (int i = 0; i < 44; ++i) {
    renderer_->RunOneFrame();
    shown.push_back(BannerShown());
  }
  EXPECT_EQ(std::count(shown.begin(), shown.end(), true), 0);
  EXPECT_EQ(Counters().bannerPhase, 0);  // it ran all the same: 44 = 2 x 22

  workspace_.Lock().locked = true;
  shown.clear();
  for (int i = 0; i < 44; ++i) {
    renderer_->RunOneFrame();
    shown.push_back(BannerShown());
  }
  for (int i = 0; i < 44; ++i) EXPECT_EQ(shown[i], i % 22 < 14) << i;
  workspace_.Lock().locked = false;
}

TEST_F(RenderLoopTest, DetailFramesSpinOneStepAndPS2ModelsEveryFramePS1EveryFourth) {
  ShowDetail(false, 1);
  Counters().spinAngle = 358;
  renderer_->RunOneFrame();
  EXPECT_EQ(Counters().spinAngle, 359u);
  renderer_->RunOneFrame();
  EXPECT_EQ(Counters().spinAngle, 0u);
  EXPECT_EQ(Counters().modelFrame, 0);  // one mesh: the model frame stays
  EXPECT_EQ(Counters().blinkPhase, 0);  // the list counters stand still

  ShowDetail(false, 3);
  std::vector<int> frames;
  for (int i = 0; i < 4; ++i) {
    renderer_->RunOneFrame();
    frames.push_back(Counters().modelFrame);
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 0, 1}));

  ShowDetail(true, 2);
  Counters().modelFrame = 0;
  Counters().frameDivider = 0;
  frames.clear();
  for (int i = 0; i < 9; ++i) {
    renderer_->RunOneFrame();
    frames.push_back(Counters().modelFrame);
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 0, 0}));
}

TEST_F(RenderLoopTest, ActionButtonsShowTheirPressedState) {
  ShowDetail(false, 1);
  shell_.actionButtonState[3] = 1;
  renderer_->RunOneFrame();
  const gfx::Surface& sheet = *engine_.ActionButtonSheet();
  const Point origins[4] = {{274, 194}, {390, 194}, {274, 246}, {390, 246}};
  for (int i = 0; i < 4; ++i) {
    int state = i == 3;
    for (int y = 0; y < 32; y += 3) {
      for (int x = 0; x < 96; x += 7) {
        ASSERT_EQ(Target().PixelAt(origins[i].x + x, origins[i].y + y),
                  sheet.PixelAt(96 * state + x, 32 * i + y))
            << i;
      }
    }
  }
}

std::vector<std::array<Point, 4>> RecordTransition(ShellState& shell, int direction) {
  std::vector<std::array<Point, 4>> steps;
  PlayTransition(
      shell, direction,
      [&] {
        std::array<Point, 4> now;
        for (int i = 0; i < 4; ++i) {
          now[i] = Point{shell.transitionMarkers[i].x, shell.transitionMarkers[i].y};
        }
        steps.push_back(now);
      },
      std::chrono::milliseconds(0));
  return steps;
}

TEST(PlayTransition, OpeningRunsFromTheCellsCornersToTheWindowsCorners) {
  ShellState shell;
  shell.selectionSlot = kRight;
  shell.selectionPosition = 7;
  shell.scrollTop[kRight] = 3;  // visible cell 4, the middle one, at (340, 84)
  std::vector<std::array<Point, 4>> steps = RecordTransition(shell, 0);
  ASSERT_EQ(steps.size(), 51u);
  using M = std::array<Point, 4>;
  EXPECT_EQ(steps[0], (M{Point{340, 84}, Point{404, 84}, Point{340, 148}, Point{404, 148}}));
  EXPECT_EQ(steps[1][0], (Point{342, 86}));
  EXPECT_EQ(steps[16], (M{Point{372, 116}, Point{372, 116}, Point{372, 116}, Point{372, 116}}));
  EXPECT_EQ(steps[17], steps[16]);  // the next phase starts where the markers are
  EXPECT_EQ(steps[18][0], (Point{372 - 7, 116 + 2}));  // -116 / 16 = -7.25, 40 / 16 = 2.5
  EXPECT_EQ(steps[33], (M{Point{256, 156}, Point{256, 156}, Point{256, 156}, Point{256, 156}}));
  EXPECT_EQ(steps[50], (M{Point{8, 8}, Point{504, 8}, Point{8, 304}, Point{504, 304}}));
}

TEST(PlayTransition, ClosingRunsTheSameWayBack) {
  ShellState shell;
  shell.selectionSlot = kLeft;
  shell.selectionPosition = 0;
  std::vector<std::array<Point, 4>> steps = RecordTransition(shell, 1);
  ASSERT_EQ(steps.size(), 51u);
  using M = std::array<Point, 4>;
  EXPECT_EQ(steps[0], (M{Point{8, 8}, Point{504, 8}, Point{8, 304}, Point{504, 304}}));
  EXPECT_EQ(steps[1][1], (Point{504 - 15, 8 + 9}));  // -248 / 16 = -15.5, 148 / 16 = 9.25
  EXPECT_EQ(steps[16][3], (Point{256, 156}));
  EXPECT_EQ(steps[33][2], (Point{42, 52}));
  EXPECT_EQ(steps[50], (M{Point{10, 20}, Point{74, 20}, Point{10, 84}, Point{74, 84}}));
}

// The rendering thread against the user-interface thread: the pause handshake under load, surface
// loss and the orderly stop. Run under TSan.
using namespace std::chrono_literals;

class RenderThreadTest : public test::RenderTest {
 protected:
  void SetUp() override {
    test::RenderTest::SetUp();
    // The observer runs inside the frame, after Present and before FrameDone:
    // a pause that returned while it runs would show as entered != left.
    renderer_->SetPresentObserver([this] {
      entered_.fetch_add(1);
      std::this_thread::sleep_for(200us);
      left_.fetch_add(1);
    });
  }

  // Waits until `more` further frames have passed through Present.
  bool WaitForFrames(int more) {
    int target = entered_.load() + more;
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (entered_.load() < target) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }

  // A one-triangle model, so that detail frames use the device too.
  void GiveModel() {
    gfx::VertexBufferDesc desc;
    desc.fvf = gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1;
    desc.numVertices = 3;
    gfx::VertexBufferPtr mesh;
    ASSERT_EQ(engine_.Direct3D()->CreateVertexBuffer(desc, mesh, 0), gfx::Result::Ok);
    std::span<std::uint8_t> bytes;
    ASSERT_EQ(mesh->Lock(bytes), gfx::Result::Ok);
    const float vertices[3][8] = {
        {-1, -1, 0, 0, 0, -1, 0, 0}, {1, -1, 0, 0, 0, -1, 1, 0}, {0, 1, 0, 0, 0, -1, 0, 1}};
    std::memcpy(bytes.data(), vertices, sizeof vertices);
    mesh->Unlock();
    engine_.ModelFrames()[0] = mesh;
    workspace_.Icon().meshCount = 1;
    workspace_.Icon().vertexCount = 3;
  }

  std::atomic<int> entered_{0};
  std::atomic<int> left_{0};
};

TEST_F(RenderThreadTest, PauseReturnsOnlyBetweenFramesUnderManyCycles) {
  FillIconCache(2);
  GiveModel();
  renderer_->Start();
  ASSERT_TRUE(WaitForFrames(1));
  std::mt19937 random(6);
  for (int cycle = 0; cycle < 400; ++cycle) {
    renderer_->PauseRendering();
    ASSERT_EQ(entered_.load(), left_.load()) << cycle;
    int framesAtPause = entered_.load();

    // Everything the thread reads as a whole changes only now.
    Slot s = static_cast<Slot>(random() % 2);
    FillSlot(s, random() % 20, random() % 2 ? CardKind::PS1 : CardKind::PS2);
    shell_.scrollTop[s] = 3 * (random() % 4);
    shell_.slotTitle[s] = std::string(random() % 60, 'n') + ".mcr";
    workspace_.CellFrameCount()[s][random() % 9] = random() % 9;
    workspace_.Lock().locked = random() % 2 != 0;
    engine_.IconFrameCache()[s][random() % 9][random() % 8]->SetPixel(32, 32, random());
    if (workspace_.At(s).RowCount() != 0) renderer_->DrawTitleBox(s, 0);
    shell_.displayMode = cycle % 5 == 0 ? DisplayMode::Detail : DisplayMode::List;
    if (cycle % 100 == 0) {
      std::this_thread::sleep_for(40ms);  // longer than a frame's sleep
      ASSERT_EQ(entered_.load(), framesAtPause) << "a frame started during a pause";
    }
    renderer_->ResumeRendering();
    if (cycle % 7 == 0) renderer_->ResumeRendering();  // twice is harmless

    // What the thread only samples changes while it runs.
    shell_.selectionSlot = static_cast<int>(random() % 3) - 1;
    shell_.selectionPosition = random() % 12;
    shell_.scrollButtonState[cycle % 12] = cycle & 1;
    shell_.actionButtonState[cycle % 4] = cycle & 1;
    shell_.modified[s] = cycle & 1;
    shell_.menuLoopActive = cycle % 11 == 0;
    shell_.transitionMarkers[cycle % 4].x = cycle;
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    if (cycle % 40 == 0) {
      ASSERT_TRUE(WaitForFrames(1));
    }
  }
  renderer_->Stop();
  workspace_.Lock().locked = false;
  EXPECT_EQ(entered_.load(), left_.load());
  EXPECT_GE(entered_.load(), 10);
}

TEST_F(RenderThreadTest, StopsInAnOrderlyWayWithNoFrameInProgress) {
  renderer_->Start();
  ASSERT_TRUE(WaitForFrames(2));
  renderer_->Stop();
  EXPECT_FALSE(renderer_->Running());
  int frames = entered_.load();
  EXPECT_EQ(frames, left_.load());
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(entered_.load(), frames);
  renderer_->Stop();  // harmless again

  // It can be started again, and stopped while the shell holds it paused.
  renderer_->Start();
  ASSERT_TRUE(WaitForFrames(1));
  renderer_->PauseRendering();
  renderer_->Stop();
  EXPECT_FALSE(renderer_->Running());
  EXPECT_EQ(entered_.load(), left_.load());
}

TEST_F(RenderThreadTest, SurfaceLossStopsTheThreadAndARestoreRestartsIt) {
  renderer_->Start();
  ASSERT_TRUE(WaitForFrames(1));
  engine_.DirectDraw()->LoseAllSurfaces();
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (renderer_->RenderEnable().IsSet()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(1ms);
  }
  // The pause the shell's repaint starts still completes.
  renderer_->PauseRendering();
  int frames = entered_.load();
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(entered_.load(), frames);
  std::uint64_t presented = renderer_->PresentedFrames();

  engine_.RestoreSurfaces();
  renderer_->ComposePanels();
  renderer_->ResumeRendering();
  ASSERT_TRUE(WaitForFrames(2));
  EXPECT_GT(renderer_->PresentedFrames(), presented);

  // A stop while the thread has stopped itself is orderly too.
  engine_.DirectDraw()->LoseAllSurfaces();
  while (renderer_->RenderEnable().IsSet()) std::this_thread::sleep_for(1ms);
  renderer_->Stop();
  EXPECT_EQ(entered_.load(), left_.load());
}

TEST_F(RenderThreadTest, PresentedFrameCanBeCopiedWhileTheThreadDraws) {
  FillSlot(kLeft, 12);
  FillIconCache(4);
  renderer_->Start();
  std::vector<std::uint32_t> frame;
  int copies = 0;
  // Copy while frames come, a few times over; a slow machine (sanitizers,
  // other builds) only makes the first frame arrive later.
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (copies < 5 && std::chrono::steady_clock::now() < deadline) {
    copies += renderer_->CopyPresentedFrame(frame);
    std::this_thread::sleep_for(1ms);
  }
  renderer_->Stop();
  EXPECT_GT(copies, 0);
  ASSERT_EQ(frame.size(), 512u * 312u);
  // The first cell of the left slot, from the presented copy.
  gfx::Point cell = GridCellOrigin(kLeft, 0);
  gfx::Color shown = frame[static_cast<std::size_t>(cell.y + 32) * 512 + cell.x + 32];
  bool isAFrameOfTheCell = false;
  for (int f = 0; f < 4; ++f) isAFrameOfTheCell |= shown == FrameColour(0, 0, f);
  EXPECT_TRUE(isAFrameOfTheCell);
}

}  // namespace
}  // namespace slk
