#pragma once
// A stand-in for the display engine and the icon pipeline until they are
// wired in: a real rendering thread with the real pause handshake that draws
// a plain picture of the two panels (one coloured tile per save, the titles,
// the scroll buttons, the selection), the transition markers and a simple
// detail screen. It makes the program usable and its threading exercised;
// it draws no icons.

#include <QImage>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/event.h"
#include "platform/thread.h"
#include "shell/rendering_backend.h"

class QPainter;

namespace slk {

class PreviewBackend : public RenderingBackend {
 public:
  PreviewBackend();
  ~PreviewBackend() override;

  void SetStandardIconPath(const std::string& path) override;
  void CreateEvents() override;
  bool CheckDirectX7() override { return true; }
  bool InitDisplay(bool halPriority) override;
  void BuildSlab(Workspace&) override {}
  void StartRenderThread(ShellState& state, Workspace& ws) override;
  void StopRenderThread() override;
  void CloseEvents() override;
  void ReleaseDisplay() override {}
  void PauseRendering() override;
  void ResumeRendering() override;
  void PrerenderSlotIcons(Workspace&, Slot, std::uint32_t) override {}
  void DrawTitleBox(Workspace& ws, Slot slot, std::uint32_t entry) override;
  void BuildDetailScreen(Workspace& ws, Slot slot, std::uint32_t entry) override;
  void ComposePanels(ShellState&, Workspace&) override {}
  void PlayTransition(ShellState& state, int direction,
                      const std::function<void()>& afterStep) override;
  bool PrimaryLost() override { return false; }
  void RestoreSurfaces() override {}
  bool CopyFrame(std::span<std::uint32_t> pixels) override;

 private:
  struct ShownSave {
    int slot = -1;
    std::uint32_t entry = 0;
  };

  void Loop();
  void DrawFrame(QImage& target);
  void DrawPanels(QPainter& painter);
  void DrawSlot(QPainter& painter, Slot s);
  void DrawTitle(QPainter& painter);
  void DrawDetail(QPainter& painter);
  void DrawMarkers(QPainter& painter);

  std::unique_ptr<platform::ManualResetEvent> frameDone_;
  std::unique_ptr<platform::ManualResetEvent> renderEnable_;
  platform::Thread thread_;
  std::atomic<bool> stop_{false};

  // Set before the thread starts or while it is paused.
  ShellState* state_ = nullptr;
  Workspace* ws_ = nullptr;
  ShownSave title_;
  ShownSave detail_;
  std::uint32_t clock_ = 0;  // rendering thread only

  QImage back_;  // rendering thread only
  std::mutex frontMutex_;
  QImage front_;
};

}  // namespace slk
