// The rendering thread against the user-interface thread: the pause
// handshake under load, surface loss and the orderly stop. Run under TSan.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "display/render_thread.h"
#include "render_fixture.h"

namespace slk {
namespace {

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
