#pragma once
// The program's display: the display engine, the rendering thread and the
// icon pipeline behind RenderingBackend. Free of Qt.
//
// The device draws onto a desktop of our own, a 32-bit screen in memory the
// size of the client area, with the window's client area fixed at its
// origin. The Qt window never moves that window (it shows the presented
// frames through CopyFrame instead), so the rendering thread's view of the
// window's place never changes under it.

#include <array>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "display/display_engine.h"
#include "display/render_thread.h"
#include "gfx/desktop.h"
#include "icons/icon_pipeline.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "shell/rendering_backend.h"

namespace slk {

class DisplayBackend : public RenderingBackend {
 public:
  // Finds the font for the frames' texts; by default
  // platform::TextRenderer::CreateSharingFontconfig, through the fontconfig
  // configuration that Qt's font database reads too. Tests give their own.
  using FontLoader = std::function<std::unique_ptr<platform::TextRenderer>(std::string* error)>;

  // `diagnostics` (standard error when null) gets the one line said when no
  // font can be loaded: the program then runs on and draws its frames
  // without texts. The font is looked for from here on, on a thread of its
  // own, while the caller sets up the window, the display and reads the
  // cards; StartRenderThread takes it. Made after the QApplication, whose
  // start sets the locale that fontconfig reads by.
  explicit DisplayBackend(FontLoader loadFont = platform::TextRenderer::CreateSharingFontconfig,
                          std::ostream* diagnostics = nullptr);
  DisplayBackend(const DisplayBackend&) = delete;
  DisplayBackend& operator=(const DisplayBackend&) = delete;
  ~DisplayBackend() override;

  void SetStandardIconPath(const std::string& path) override;
  // The rendering thread's two events are made with it and go with it.
  void CreateEvents() override {}
  bool CheckDirectX7() override;
  void BeginInitDisplay(bool halPriority) override;
  bool InitDisplay(bool halPriority) override;
  void BuildSlab(Workspace& ws) override;
  void StartRenderThread(ShellState& state, Workspace& ws) override;

  void StopRenderThread() override;
  void CloseEvents() override {}
  void ReleaseDisplay() override;

  void PauseRendering() override;
  void ResumeRendering() override;

  void PrerenderSlotIcons(Workspace& ws, Slot slot, std::uint32_t first) override;
  void FinishPrerendering() override;
  bool FramesLeftToPrerender() const override {
    return (restFrom_[0] || restFrom_[1]) && windowHasFrame_;
  }
  void FramePainted() override { windowHasFrame_ = windowCopiedFrame_; }
  void DrawTitleBox(Workspace& ws, Slot slot, std::uint32_t entry) override;
  void BuildDetailScreen(Workspace& ws, Slot slot, std::uint32_t entry) override;
  void ComposePanels(ShellState& state, Workspace& ws) override;
  void PlayTransition(ShellState& state, int direction,
                      const std::function<void()>& afterStep) override;

  bool PrimaryLost() override;
  void RestoreSurfaces() override;
  bool CopyFrame(std::span<std::uint32_t> pixels) override;
  bool CopyFrameChanges(std::span<std::uint32_t> pixels, std::vector<FrameRect>& changed) override;
  std::uint64_t ChangedFrames() const override;
  bool WatchFrames(std::function<void()> changed) override;

  // Why the texts are missing; empty while a font is in use. Waits for the
  // font's thread.
  const std::string& FontError();
  // Frames presented since the rendering thread started (0 without one).
  std::uint64_t PresentedFrames() const;
  // The running renderer and icon pipeline, for tests; null outside their
  // lifetimes (StartRenderThread .. StopRenderThread, BuildSlab ..
  // ReleaseDisplay).
  Renderer* CurrentRenderer() { return renderer_.get(); }
  IconPipeline* Pipeline() { return pipeline_.get(); }
  DisplayEngine& Engine() { return engine_; }

 private:
  // Joins the font's thread, once, and takes what it found.
  void TakeFont();

  FontLoader loadFont_;
  std::ostream* diagnostics_;
  // What the font thread found; read once it has been joined.
  std::unique_ptr<platform::TextRenderer> loadedFont_;
  std::string loadError_;
  platform::Thread fontThread_;
  gfx::Desktop desktop_;
  gfx::Window window_;
  DisplayEngine engine_;
  std::unique_ptr<platform::TextRenderer> text_;
  std::string fontError_;
  std::string standardIconPath_;
  std::unique_ptr<IconPipeline> pipeline_;
  // Sets up the display (BeginInitDisplay to InitDisplay).
  platform::Thread displayThread_;
  bool displayReady_ = false;
  // Makes the surfaces the first frame draws whole resident (InitDisplay to
  // StartRenderThread).
  platform::Thread populateThread_;
  // The first row of each slot whose cells still lack their frames after the
  // first (rendered before the rendering thread started).
  std::array<std::optional<std::uint32_t>, 2> restFrom_;
  bool windowCopiedFrame_ = false;       // a presented frame has been copied for the window
  bool windowHasFrame_ = false;          // ... and painted
  std::vector<gfx::Rect> changedRects_;  // kept from frame to frame: no allocation each
  // Called by the rendering thread; the window sets it while the thread runs.
  std::mutex watcherMutex_;
  std::function<void()> frameWatcher_;
  // Declared after everything it draws from, so that it goes (and its thread
  // ends) first.
  std::unique_ptr<Renderer> renderer_;
};

}  // namespace slk
