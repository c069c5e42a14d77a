#pragma once
// Everything the window asks of the display engine and the icon pipeline, in
// one place. The operations are those of the display set-up, the rendering
// thread and the icon pipeline, called at the moments the window's own code
// decides (start-up, shut-down, hover, scroll, the detail view, surface
// recovery); the window never touches a surface itself.
//
// Threading: every call comes from the user-interface thread. The rendering
// thread started by StartRenderThread reads `ShellState` and the `Workspace`
// while it draws; the window changes them only between PauseRendering and
// ResumeRendering, except the fields that ShellState keeps as atomics.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "card/workspace.h"
#include "display/shell_state.h"
#include "shell/shown_frame.h"

namespace slk {

// The client area, in pixels. Frames are exactly this size and shown 1:1.
constexpr int kFrameWidth = 512;
constexpr int kFrameHeight = 312;

class RenderingBackend {
 public:
  virtual ~RenderingBackend() = default;

  // Start-up, in the order the window calls them.
  // The full path of "psicon/standard.ico", read for saves without an icon.
  virtual void SetStandardIconPath(const std::string& path) = 0;
  // Makes the two manual-reset events FrameDone and RenderEnable, both set.
  virtual void CreateEvents() = 0;
  // False when the display library cannot be used at all.
  virtual bool CheckDirectX7() = 0;
  // May start setting up the device beside the caller, who then does other
  // work before InitDisplay, with the same `halPriority`, finishes it.
  virtual void BeginInitDisplay(bool halPriority) { (void)halPriority; }
  // Sets up the device for the 512 x 312 client area; `halPriority` prefers
  // the hardware device. False on failure.
  virtual bool InitDisplay(bool halPriority) = 0;
  // The PS1 icon slab of the new workspace.
  virtual void BuildSlab(Workspace& ws) = 0;
  // Starts the frame loop; it reads `state` and `ws` until StopRenderThread.
  virtual void StartRenderThread(ShellState& state, Workspace& ws) = 0;

  // Shut-down, in this order; each skips what was never made.
  // Called with rendering paused: ends the thread with no frame in progress.
  virtual void StopRenderThread() = 0;
  virtual void CloseEvents() = 0;
  virtual void ReleaseDisplay() = 0;

  // The pause handshake. After PauseRendering returns no frame is in
  // progress and none starts until ResumeRendering. Pausing before the thread
  // runs returns at once; resuming twice is harmless.
  virtual void PauseRendering() = 0;
  virtual void ResumeRendering() = 0;

  // Icon pipeline and panel drawing; rendering is paused around each.
  // Renders the icon frames of rows first .. first + 8 of the slot.
  virtual void PrerenderSlotIcons(Workspace& ws, Slot slot, std::uint32_t first) = 0;
  // Before the rendering thread starts, only each cell's first frame is
  // rendered, the one its first frame shows. FramesLeftToPrerender: the
  // others are left, and the window has painted a presented frame since
  // (FramePainted); then FinishPrerendering draws them, with rendering
  // paused.
  virtual bool FramesLeftToPrerender() const { return false; }
  virtual void FinishPrerendering() {}
  // The window has painted what it last copied.
  virtual void FramePainted() {}
  // The selected save's title below the panels; `entry` = rows[position].
  virtual void DrawTitleBox(Workspace& ws, Slot slot, std::uint32_t entry) = 0;
  // The static part of the detail screen for one save; `entry` as above.
  virtual void BuildDetailScreen(Workspace& ws, Slot slot, std::uint32_t entry) = 0;
  // Composes the list panels once (only used in surface recovery).
  virtual void ComposePanels(ShellState& state, Workspace& ws) = 0;

  // The 17 x 3 step animation between list and detail view (0 opens, 1
  // closes), run on the calling thread while the rendering thread draws the
  // markers it moves in `state`. `afterStep` is called after every step; the
  // window uses it to show the frames presented meanwhile.
  virtual void PlayTransition(ShellState& state, int direction,
                              const std::function<void()>& afterStep) = 0;

  // Surface loss: the rendering thread stops itself when presenting finds
  // the primary surface lost; the window's paint handling then restores.
  virtual bool PrimaryLost() = 0;
  virtual void RestoreSurfaces() = 0;

  // Copies the frame presented last into `pixels` (kFrameWidth x
  // kFrameHeight, 0x00RRGGBB, top row first). Safe while the rendering thread
  // runs. False when nothing has been presented yet (pixels untouched).
  virtual bool CopyFrame(std::span<std::uint32_t> pixels) = 0;
  // For the one view that follows the frames: `pixels` holds the frame of
  // its last call, and only the rectangles that changed since then are
  // copied into it and listed in `changed` (all of it at the first call).
  virtual bool CopyFrameChanges(std::span<std::uint32_t> pixels, std::vector<FrameRect>& changed) {
    if (!CopyFrame(pixels)) return false;
    changed.assign(1, FrameRect{0, 0, kFrameWidth, kFrameHeight});
    return true;
  }
  // Grows whenever a frame unlike the one before is presented, so that the
  // window copies only those. 0: not known (copy every time).
  virtual std::uint64_t ChangedFrames() const { return 0; }
  // Has `changed` called, on the rendering thread, after every frame unlike
  // the one before and after every frame that could not be presented (a lost
  // surface waits for the window), so that the window need not look for
  // frames in between; empty stops the calls, and on return none is under
  // way. False: not told, the window looks every 26 ms.
  virtual bool WatchFrames(std::function<void()> changed) {
    (void)changed;
    return false;
  }
};

}  // namespace slk
