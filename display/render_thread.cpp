// The frame loop, the pause handshake and the presentation of a frame.

#include "display/render_thread.h"

#include <cstring>
#include <thread>

namespace slk {

Renderer::Renderer(DisplayEngine& engine, const gfx::Window& window, ShellState& shell,
                   const Workspace& workspace, const platform::TextRenderer* text)
    : engine_(&engine),
      window_(&window),
      shell_(&shell),
      workspace_(&workspace),
      text_(engine, text),
      panels_(engine, shell, workspace, text_) {}

Renderer::~Renderer() {
  Stop();
}

void Renderer::Start() {
  if (thread_.Joinable()) return;
  stopRequested_.store(false);
  thread_ = platform::Thread([this] { ThreadBody(); });
}

void Renderer::Stop() {
  if (!thread_.Joinable()) return;
  // Paused first, so that the thread leaves between frames and never halfway
  // through one; resumed so that it wakes up to see the flag.
  PauseRendering();
  stopRequested_.store(true);
  ResumeRendering();
  thread_.Join();
}

void Renderer::PauseRendering() {
  renderEnable_.Reset();
  frameDone_.Wait();
}

void Renderer::ResumeRendering() {
  renderEnable_.Set();
}

void Renderer::ThreadBody() {
  for (;;) {
    platform::BeginFrame(renderEnable_, frameDone_);
    if (stopRequested_.load()) {
      frameDone_.Set();
      return;
    }
    RunOneFrame();
    frameDone_.Set();
    std::this_thread::sleep_for(kFrameSleep);
  }
}

gfx::Result Renderer::RunOneFrame() {
  // While a menu is open the last frame is presented again, unchanged, and
  // the animation holds still.
  if (shell_->menuLoopActive.load(std::memory_order_relaxed) == 0) {
    int mode = shell_->displayMode.load(std::memory_order_relaxed);
    if (mode == DisplayMode::List || mode == DisplayMode::Transition) {
      panels_.ComposePanels(counters_);
      AdvanceListCounters();
    } else if (mode == DisplayMode::Detail) {
      DrawDetailFrame();
    }
  }
  gfx::Result result = Present();
  // After a display change nothing can be presented until the shell has
  // restored the surfaces; it resumes us then.
  if (result == gfx::Result::SurfaceLost) renderEnable_.Reset();
  if (presentObserver_) presentObserver_();
  return result;
}

void Renderer::AdvanceListCounters() {
  if (++counters_.blinkPhase == 16) counters_.blinkPhase = 0;
  if (++counters_.frameDivider == 4) {
    counters_.frameDivider = 0;
    if (++counters_.pulseStep == 4) counters_.pulseStep = 0;
    if (++counters_.iconClock == kIconClockWrap) counters_.iconClock = 0;
  }
}

gfx::Result Renderer::Present() {
  const gfx::SurfacePtr& primary = engine_->PrimarySurface();
  const gfx::SurfacePtr& frame = engine_->RenderTarget();
  if (!primary || !frame) return gfx::Result::NoDevice;
  gfx::Point origin = window_->ClientToScreen(gfx::Point{0, 0});
  gfx::Rect destination{origin.x, origin.y, origin.x + kClientWidth, origin.y + kClientHeight};
  gfx::Result result = primary->Blt(destination, frame.get(), std::nullopt, gfx::blt::kWait);
  if (result == gfx::Result::Ok) KeepPresentedFrame(*frame);
  return result;
}

void Renderer::KeepPresentedFrame(const gfx::Surface& frame) {
  // Raw rows only: converting them is left to the reader, who may want far
  // fewer frames than are presented. Most frames of the list equal the one
  // before (the animations step every fourth frame); those are not copied.
  std::size_t rowBytes = static_cast<std::size_t>(frame.Width()) * frame.Format().BytesPerPixel();
  {
    std::lock_guard lock(presentedMutex_);
    int rows = std::min(frame.Height(), kClientHeight);
    bool same = presentedFormat_ == frame.Format() &&
                presentedPixels_.size() == rowBytes * static_cast<std::size_t>(kClientHeight);
    presentedFormat_ = frame.Format();
    presentedPixels_.resize(rowBytes * static_cast<std::size_t>(kClientHeight));
    for (int y = 0; y < rows; ++y) {
      std::uint8_t* kept = presentedPixels_.data() + rowBytes * static_cast<std::size_t>(y);
      if (same && std::memcmp(kept, frame.Row(y), rowBytes) == 0) continue;
      same = false;
      std::memcpy(kept, frame.Row(y), rowBytes);
    }
    if (!same) changedFrames_.fetch_add(1);
  }
  presentedFrames_.fetch_add(1);
}

bool Renderer::CopyPresentedFrame(std::vector<std::uint32_t>& out) const {
  std::lock_guard lock(presentedMutex_);
  if (presentedPixels_.empty()) return false;
  gfx::FormatCodec codec(presentedFormat_);
  std::size_t bytes = codec.BytesPerPixel();
  std::size_t count = presentedPixels_.size() / bytes;
  out.resize(count);
  const std::uint8_t* p = presentedPixels_.data();
  if (presentedFormat_ == gfx::PixelFormat::Xrgb8888()) {
    // The usual desktop: the pixels are already 0x00RRGGBB.
    for (std::size_t i = 0; i < count; ++i, p += 4) out[i] = 0xFF000000u | gfx::LoadPixel(p, 4);
    return true;
  }
  for (std::size_t i = 0; i < count; ++i, p += bytes) {
    out[i] = 0xFF000000u | codec.Unpack(gfx::LoadPixel(p, static_cast<std::uint32_t>(bytes)));
  }
  return true;
}

bool Renderer::CopyPresentedFrameRgb(std::span<std::uint32_t> out) const {
  std::lock_guard lock(presentedMutex_);
  gfx::FormatCodec codec(presentedFormat_);
  std::size_t bytes = codec.BytesPerPixel();
  std::size_t count = presentedPixels_.empty() ? 0 : presentedPixels_.size() / bytes;
  if (count == 0 || out.size() < count) return false;
  const std::uint8_t* p = presentedPixels_.data();
  if (presentedFormat_ == gfx::PixelFormat::Xrgb8888()) {
    for (std::size_t i = 0; i < count; ++i, p += 4) out[i] = gfx::LoadPixel(p, 4) & 0x00FFFFFFu;
    return true;
  }
  for (std::size_t i = 0; i < count; ++i, p += bytes) {
    out[i] = codec.Unpack(gfx::LoadPixel(p, static_cast<std::uint32_t>(bytes))) & 0x00FFFFFFu;
  }
  return true;
}

}  // namespace slk
