#pragma once
// The rendering thread: composes a frame, presents it to the window, sleeps
// 26 ms and starts again, for as long as the program runs. The user-interface
// thread stops it around every change of what it draws from with
// PauseRendering / ResumeRendering; two manual-reset events are the whole
// hand-over, no lock guards the drawing.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "card/workspace.h"
#include "display/display_engine.h"
#include "display/frame_counters.h"
#include "display/panels.h"
#include "display/shell_state.h"
#include "display/text_drawing.h"
#include "gfx/desktop.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace slk::platform {
class TextRenderer;
}

namespace slk {

// Sleep after every frame: keeps the frame rate below 39 frames a second.
inline constexpr std::chrono::milliseconds kFrameSleep{26};
// Sleep after every step of the transition animation.
inline constexpr std::chrono::milliseconds kTransitionStepSleep{15};

class Renderer {
 public:
  // Everything given must outlive the renderer. Without a text renderer (no
  // usable font) frames are drawn without their texts.
  Renderer(DisplayEngine& engine, const gfx::Window& window, ShellState& shell,
           const Workspace& workspace, const platform::TextRenderer* text);
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;
  // Stops the thread.
  ~Renderer();

  // Starts the thread; it runs frames at once unless rendering is paused.
  void Start();
  // Orderly end: pauses, tells the thread to leave and joins it. On return no
  // frame is in progress and none will start. Harmless when not running.
  void Stop();
  bool Running() const { return thread_.Joinable(); }

  // On return no frame is in progress and none starts until ResumeRendering;
  // the caller may then change surfaces, the device, the Workspace and the
  // shell's state. Not for two threads at once.
  void PauseRendering();
  // Setting it when it is already set is harmless.
  void ResumeRendering();

  // One pass of the frame loop without its wait and sleep: draws what the
  // DisplayMode asks for (nothing while a menu is open), advances the
  // counters, presents, and on a lost surface stops the loop until the shell
  // resumes it. Only with the thread paused or not started. Returns Present's
  // result.
  gfx::Result RunOneFrame();
  // The same pass as the thread runs it: the same pixels, but only what
  // changed since the frame before is drawn, presented and kept, as long as
  // nothing but the counters and ShellState's atomics changed since. Most
  // list frames equal the one before (the animations step every fourth
  // frame) and cost nothing; a detail frame redraws the model's viewport.
  // PauseRendering, RunOneFrame or a failed Present make the next one whole.
  gfx::Result RunLoopFrame();

  // Blits the whole RenderTarget onto the window's place on the primary
  // surface; returns the blit's result.
  gfx::Result Present();
  // Restores the detail screen snapshot and draws the spinning model over it,
  // with the action buttons and the lock banner.
  void DrawDetailFrame();
  void ComposePanels() { panels_.ComposePanels(counters_); }
  void DrawTitleBox(Slot slot, std::uint32_t entryIndex) { panels_.DrawTitleBox(slot, entryIndex); }

  // Moves the four TransitionMarkers from the selected cell to the window's
  // corners (direction 0) or back (direction 1), in 3 x 17 steps with a
  // 15 ms sleep after each. `betweenSteps` (may be empty) runs during every
  // sleep, so that a window can paint meanwhile. Runs on the calling thread;
  // the rendering thread must be running in DisplayMode::Transition for the
  // markers to be seen.
  void PlayTransition(int direction, const std::function<void()>& betweenSteps);

  // Called on the rendering thread after every Present, e.g. to have the
  // window repaint. Set it before Start or while rendering is paused.
  void SetPresentObserver(std::function<void()> observer) {
    presentObserver_ = std::move(observer);
  }
  // The last frame that was presented, as 512 x 312 pixels 0xFFRRGGBB, row by
  // row. Any thread; false (and `out` untouched) before the first frame.
  bool CopyPresentedFrame(std::vector<std::uint32_t>& out) const;
  // The same as 0x00RRGGBB into `out`, which holds a whole frame, in one pass
  // (a window copies every frame that changed). False, `out` untouched,
  // before the first frame or when `out` is too small.
  bool CopyPresentedFrameRgb(std::span<std::uint32_t> out) const;
  // For the one window that follows the frames: converts into `out` only
  // the rectangles of the kept frame that changed since its last call
  // (the whole frame at the first call), and lists them in `changed`. `out`
  // must hold the frame of that last call. False, both untouched, before
  // the first frame or when `out` is too small.
  bool CopyPresentedChangesRgb(std::span<std::uint32_t> out, std::vector<gfx::Rect>& changed);
  // How many frames were presented successfully so far. Any thread.
  std::uint64_t PresentedFrames() const { return presentedFrames_.load(); }
  // How many of them differed from the frame presented before; a window
  // need not look at the others. Any thread.
  std::uint64_t ChangedFrames() const { return changedFrames_.load(); }

  // SpinAngle and ModelFrame are set back by the detail screen build, with
  // the thread paused; tests read the others the same way.
  FrameCounters& Counters() { return counters_; }
  const TextDrawing& Text() const { return text_; }
  Panels& PanelDrawing() { return panels_; }
  platform::ManualResetEvent& RenderEnable() { return renderEnable_; }
  platform::ManualResetEvent& FrameDone() { return frameDone_; }

 private:
  // What the list picture is drawn from, beside the surfaces and the
  // Workspace (which change only while rendering is paused).
  struct ListInputs {
    int mode = -1;
    std::uint16_t iconClock = 0;
    bool arrows = false;
    int pulseStep = 0;
    int selectionSlot = -1;
    std::uint32_t selectionPosition = 0;
    std::array<int, 2> modified{};
    std::array<int, 12> scrollButtons{};
    std::array<int, 8> markers{};
    friend bool operator==(const ListInputs&, const ListInputs&) = default;
    // Equal but for the animation's counters.
    bool SameScene(const ListInputs& o) const {
      return mode == o.mode && selectionSlot == o.selectionSlot &&
             selectionPosition == o.selectionPosition && modified == o.modified &&
             scrollButtons == o.scrollButtons && markers == o.markers;
    }
  };
  // The frame drawn last and where it was presented: what a frame drawn
  // since then may build on.
  struct LastFrame {
    bool valid = false;
    int mode = -1;
    ListInputs list;
    FrameCounters counters;  // those the list frame was drawn with
    gfx::Viewport viewport;
    gfx::Rect modelArea;  // where the detail model was drawn
    bool bannerShown = false;
    std::array<int, 4> actionButtons{};  // -1: not drawn
    const gfx::Surface* buttonSheet = nullptr;
    std::uint64_t buttonSheetVersion = 0;
    std::uint64_t targetVersion = 0;
    std::uint64_t composeVersion = 0;
    bool presented = false;
    const gfx::Surface* primary = nullptr;
    std::uint64_t primaryVersion = 0;
    gfx::Rect destination;
    gfx::Rect clip;
  };

  void ThreadBody();
  gfx::Result RunFrame(bool sinceLast);
  ListInputs CurrentListInputs(int mode) const;
  void DrawDetail(bool sinceLast);
  gfx::Result PresentFrame();
  void AdvanceListCounters();
  void AdvanceModelFrame();
  void KeepPresentedFrame(const gfx::Surface& frame);
  bool KeepRect(const gfx::Surface& frame, const gfx::Rect& area, std::size_t bytes);
  void AddWindowChange(const gfx::Rect& r);

  DisplayEngine* engine_;
  const gfx::Window* window_;
  ShellState* shell_;
  const Workspace* workspace_;
  TextDrawing text_;
  Panels panels_;
  FrameCounters counters_;

  // Both manual-reset and initially set: rendering is enabled and no frame is
  // in progress.
  platform::ManualResetEvent frameDone_{true};
  platform::ManualResetEvent renderEnable_{true};
  std::atomic<bool> stopRequested_{false};
  std::function<void()> presentObserver_;
  // Set by PauseRendering: the shell may have changed anything.
  std::atomic<bool> redrawWhole_{true};
  LastFrame last_;
  // What the frame being made changed on the RenderTarget: all of it, or
  // these rectangles. Kept between frames, so that it allocates nothing.
  bool damageAll_ = true;
  std::vector<gfx::Rect> damage_;

  mutable std::mutex presentedMutex_;
  std::vector<std::uint8_t> presentedPixels_;  // raw rows of the RenderTarget's format
  gfx::PixelFormat presentedFormat_;
  std::atomic<std::uint64_t> presentedFrames_{0};
  std::atomic<std::uint64_t> changedFrames_{0};
  // Where the kept frame changed since the window last copied it.
  bool windowTakesAll_ = true;
  std::vector<gfx::Rect> windowChanges_;

  platform::Thread thread_;  // last: joined before the members it uses go
};

// The markers' positions at step t (0..16) of one phase of the transition:
// start + (end - start) x t / 16 with truncating division.
std::array<gfx::Point, 4> TransitionStep(const std::array<gfx::Point, 4>& start,
                                         const std::array<gfx::Point, 4>& end, int t);

// PlayTransition without the renderer, with the pause after each step given.
void PlayTransition(ShellState& shell, int direction, const std::function<void()>& betweenSteps,
                    std::chrono::milliseconds stepSleep = kTransitionStepSleep);

}  // namespace slk
