// The stand-in display's rendering thread and its pause handshake.

#include "shell/preview_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/recording_sink.h"

namespace slk::testing {
namespace {

class PreviewBackendTest : public ::testing::Test {
 protected:
  PreviewBackendTest() {
    backend.CreateEvents();
    backend.InitDisplay(false);
  }

  std::vector<std::uint32_t> WaitForFrame() {
    std::vector<std::uint32_t> pixels(kFrameWidth * kFrameHeight, 0);
    for (int tries = 0; tries < 200 && !backend.CopyFrame(pixels); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pixels;
  }

  RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
  ShellState state;
  PreviewBackend backend;
};

TEST_F(PreviewBackendTest, PausingBeforeTheThreadRunsReturnsAtOnce) {
  backend.PauseRendering();
  backend.ResumeRendering();
  backend.ResumeRendering();
  std::vector<std::uint32_t> pixels(kFrameWidth * kFrameHeight, 7);
  EXPECT_FALSE(backend.CopyFrame(pixels));
  EXPECT_EQ(pixels[0], 7u);
}

TEST_F(PreviewBackendTest, PresentsFramesAndHoldsStillWhilePaused) {
  state.slotTitle = {"<No File>", "<No File>"};
  backend.StartRenderThread(state, ws);
  std::vector<std::uint32_t> first = WaitForFrame();
  EXPECT_NE(first[0], 0u);  // the backdrop
  for (int i = 0; i < 20; ++i) {
    backend.PauseRendering();
    // The thread is stopped: the workspace may change under it.
    ws.CloseSlot(kLeft);
    ws.CreateSlotStore(kLeft, 0);
    state.scrollTop[kLeft] = 0;
    backend.ResumeRendering();
  }
  backend.PauseRendering();
  backend.StopRenderThread();
  backend.CloseEvents();
}

TEST_F(PreviewBackendTest, TransitionMovesTheMarkersToTheWindowCorners) {
  state.selectionSlot = 1;
  state.selectionPosition = 4;
  int steps = 0;
  backend.PlayTransition(state, 0, [&] { ++steps; });
  EXPECT_EQ(steps, 51);
  EXPECT_EQ(state.transitionMarkers[3].x, 504);
  EXPECT_EQ(state.transitionMarkers[3].y, 304);
  backend.PlayTransition(state, 1, [] {});
  // Cell 4 of Right: top-left (10 + 256 + 74, 20 + 64).
  EXPECT_EQ(state.transitionMarkers[0].x, 340);
  EXPECT_EQ(state.transitionMarkers[0].y, 84);
}

}  // namespace
}  // namespace slk::testing
