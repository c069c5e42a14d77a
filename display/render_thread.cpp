// The frame loop, the pause handshake and the presentation of a frame.

#include "display/render_thread.h"

#include <bit>
#include <cstring>
#include <thread>

namespace slk {

namespace {

// Bytes equal at the start of two spans known to differ, eight at a time.
std::size_t FirstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  std::size_t i = 0;
  for (std::uint64_t x, y; i + 8 <= n; i += 8) {
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (a[i] == b[i]) ++i;
  return i;
}

// Bytes equal at the end of the same.
std::size_t FirstDifferenceFromEnd(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  std::size_t i = 0;
  for (std::uint64_t x, y; i + 8 <= n; i += 8) {
    std::memcpy(&x, a + n - i - 8, 8);
    std::memcpy(&y, b + n - i - 8, 8);
    if (x != y) break;
  }
  while (a[n - i - 1] == b[n - i - 1]) ++i;
  return i;
}

// Rows of the usual 32-bit desktop are already 0x??RRGGBB: copied whole,
// then masked in place, both of which the compiler vectorises (a loop that
// stores through `out` while reading bytes through `p` is not, since the
// bytes may alias the store).
void CopyXrgbRow(const std::uint8_t* p, std::uint32_t* out, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, p, count * sizeof(std::uint32_t));
    for (std::size_t i = 0; i < count; ++i) out[i] &= 0x00FFFFFFu;
  } else {
    for (std::size_t i = 0; i < count; ++i, p += 4) out[i] = gfx::LoadPixel(p, 4) & 0x00FFFFFFu;
  }
}

}  // namespace

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
  // The shell may now change surfaces, the Workspace and its own state: the
  // next frame is drawn whole.
  redrawWhole_.store(true);
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
    RunLoopFrame();
    frameDone_.Set();
    std::this_thread::sleep_for(kFrameSleep);
  }
}

gfx::Result Renderer::RunOneFrame() {
  return RunFrame(false);
}

gfx::Result Renderer::RunLoopFrame() {
  return RunFrame(true);
}

Renderer::ListInputs Renderer::CurrentListInputs(int mode) const {
  ListInputs in;
  in.mode = mode;
  in.iconClock = counters_.iconClock;
  in.arrows = counters_.blinkPhase < 8;
  in.pulseStep = counters_.pulseStep;
  in.selectionSlot = shell_->selectionSlot.load(std::memory_order_relaxed);
  in.selectionPosition = shell_->selectionPosition.load(std::memory_order_relaxed);
  for (std::size_t s = 0; s < in.modified.size(); ++s)
    in.modified[s] = shell_->modified[s].load(std::memory_order_relaxed);
  for (std::size_t k = 0; k < in.scrollButtons.size(); ++k)
    in.scrollButtons[k] = shell_->scrollButtonState[k].load(std::memory_order_relaxed);
  if (mode == DisplayMode::Transition) {
    for (std::size_t k = 0; k < shell_->transitionMarkers.size(); ++k) {
      in.markers[2 * k] = shell_->transitionMarkers[k].x.load(std::memory_order_relaxed);
      in.markers[2 * k + 1] = shell_->transitionMarkers[k].y.load(std::memory_order_relaxed);
    }
  }
  return in;
}

gfx::Result Renderer::RunFrame(bool sinceLast) {
  const gfx::SurfacePtr& target = engine_->RenderTarget();
  const gfx::SurfacePtr& compose = engine_->ComposeSurface();
  // Only this loop draws on the RenderTarget and the ComposeSurface while it
  // runs; a change of either through anything else starts afresh.
  bool whole = redrawWhole_.exchange(false) || !sinceLast || !last_.valid || !target || !compose ||
               target->ContentVersion() != last_.targetVersion ||
               compose->ContentVersion() != last_.composeVersion;
  damageAll_ = whole;
  damage_.clear();
  int drawn = last_.mode;
  // While a menu is open the last frame is presented again, unchanged, and
  // the animation holds still.
  if (shell_->menuLoopActive.load(std::memory_order_relaxed) == 0) {
    int mode = shell_->displayMode.load(std::memory_order_relaxed);
    if (mode == DisplayMode::List || mode == DisplayMode::Transition) {
      ListInputs in = CurrentListInputs(mode);
      if (whole || last_.mode != mode || !in.SameScene(last_.list)) {
        panels_.ComposePanels(counters_);
        damageAll_ = true;
      } else if (!(in == last_.list) &&
                 !panels_.ComposeAnimation(last_.counters, counters_, damage_)) {
        damage_.clear();
        panels_.ComposePanels(counters_);
        damageAll_ = true;
      }
      last_.list = in;
      last_.counters = counters_;
      AdvanceListCounters();
      drawn = mode;
    } else if (mode == DisplayMode::Detail) {
      DrawDetail(!whole && last_.mode == DisplayMode::Detail);
      drawn = mode;
    }
  }
  gfx::Result result = PresentFrame();
  last_.valid = result == gfx::Result::Ok;
  last_.mode = drawn;
  if (target) last_.targetVersion = target->ContentVersion();
  if (compose) last_.composeVersion = compose->ContentVersion();
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
  damageAll_ = true;
  return PresentFrame();
}

gfx::Result Renderer::PresentFrame() {
  const gfx::SurfacePtr& primary = engine_->PrimarySurface();
  const gfx::SurfacePtr& frame = engine_->RenderTarget();
  if (!primary || !frame) {
    last_.presented = false;
    return gfx::Result::NoDevice;
  }
  gfx::Point origin = window_->ClientToScreen(gfx::Point{0, 0});
  gfx::Rect destination{origin.x, origin.y, origin.x + kClientWidth, origin.y + kClientHeight};
  gfx::Rect clip = primary->GetClipper() ? primary->GetClipper()->ClipRect(primary->Bounds())
                                         : primary->Bounds();
  // Only the changed rectangles are copied when the screen still shows the
  // frame before, where it was, as it was clipped.
  bool partial = !damageAll_ && last_.presented && last_.primary == primary.get() &&
                 last_.primaryVersion == primary->ContentVersion() &&
                 last_.destination == destination && last_.clip == clip &&
                 frame->Width() == kClientWidth && frame->Height() == kClientHeight;
  gfx::Result result = gfx::Result::Ok;
  if (!partial) {
    damageAll_ = true;
    result = primary->Blt(destination, frame.get(), std::nullopt, gfx::blt::kWait);
  } else if (damage_.empty()) {
    // Nothing to copy; a lost surface is still found, as the blit finds it.
    if (primary->IsLost() != gfx::Result::Ok || frame->IsLost() != gfx::Result::Ok)
      result = gfx::Result::SurfaceLost;
    else if (primary->IsLocked() || frame->IsLocked())
      result = gfx::Result::SurfaceBusy;
  } else {
    for (const gfx::Rect& r : damage_) {
      gfx::Rect to{origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
      result = primary->Blt(to, frame.get(), r, gfx::blt::kWait);
      if (result != gfx::Result::Ok) break;
    }
  }
  last_.presented = result == gfx::Result::Ok;
  if (result == gfx::Result::Ok) {
    last_.primary = primary.get();
    last_.primaryVersion = primary->ContentVersion();
    last_.destination = destination;
    last_.clip = clip;
    KeepPresentedFrame(*frame);
  }
  return result;
}

void Renderer::KeepPresentedFrame(const gfx::Surface& frame) {
  // Raw rows only: converting them is left to the reader, who may want far
  // fewer frames than are presented. Only the rectangles drawn since the
  // frame before are compared, and only what differs is copied.
  const std::size_t bytes = frame.Format().BytesPerPixel();
  const std::size_t rowBytes = static_cast<std::size_t>(frame.Width()) * bytes;
  const int rows = std::min(frame.Height(), kClientHeight);
  bool changed = false;
  {
    std::lock_guard lock(presentedMutex_);
    if (presentedFormat_ != frame.Format() ||
        presentedPixels_.size() != rowBytes * static_cast<std::size_t>(kClientHeight)) {
      presentedFormat_ = frame.Format();
      presentedPixels_.assign(rowBytes * static_cast<std::size_t>(kClientHeight), 0);
      for (int y = 0; y < rows; ++y) {
        std::memcpy(presentedPixels_.data() + rowBytes * static_cast<std::size_t>(y), frame.Row(y),
                    rowBytes);
      }
      windowTakesAll_ = true;
      windowChanges_.clear();
      changed = true;
    } else if (damageAll_) {
      changed = KeepRect(frame, gfx::Rect{0, 0, frame.Width(), rows}, bytes);
    } else {
      for (const gfx::Rect& r : damage_) {
        changed |= KeepRect(frame, gfx::Intersect(r, gfx::Rect{0, 0, frame.Width(), rows}), bytes);
      }
    }
    if (changed) changedFrames_.fetch_add(1);
  }
  presentedFrames_.fetch_add(1);
}

bool Renderer::KeepRect(const gfx::Surface& frame, const gfx::Rect& area, std::size_t bytes) {
  // One rectangle for every run of changed rows, as wide as their changes.
  const std::size_t rowBytes = static_cast<std::size_t>(frame.Width()) * bytes;
  const std::size_t span = static_cast<std::size_t>(std::max(area.Width(), 0)) * bytes;
  const std::size_t first = static_cast<std::size_t>(area.left) * bytes;
  gfx::Rect run{};
  bool open = false, any = false;
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint8_t* kept = presentedPixels_.data() + rowBytes * static_cast<std::size_t>(y) + first;
    const std::uint8_t* now = frame.Row(y) + first;
    if (std::memcmp(kept, now, span) == 0) {
      if (open) AddWindowChange(run);
      open = false;
      continue;
    }
    std::size_t lo = FirstDifference(kept, now, span);
    std::size_t hi = span - FirstDifferenceFromEnd(kept, now, span);
    lo -= lo % bytes;
    hi += (bytes - hi % bytes) % bytes;
    std::memcpy(kept + lo, now + lo, hi - lo);
    int left = area.left + static_cast<int>(lo / bytes);
    int right = area.left + static_cast<int>(hi / bytes);
    if (open) {
      run.left = std::min(run.left, left);
      run.right = std::max(run.right, right);
      run.bottom = y + 1;
    } else {
      run = gfx::Rect{left, y, right, y + 1};
      open = true;
    }
    any = true;
  }
  if (open) AddWindowChange(run);
  return any;
}

void Renderer::AddWindowChange(const gfx::Rect& r) {
  if (windowTakesAll_) return;
  windowChanges_.push_back(r);
  // A window that looks seldom gets their bounding box rather than a list
  // that grows without end.
  constexpr std::size_t kMostChanges = 32;
  if (windowChanges_.size() <= kMostChanges) return;
  gfx::Rect box = windowChanges_.front();
  for (const gfx::Rect& c : windowChanges_) {
    box = gfx::Rect{std::min(box.left, c.left), std::min(box.top, c.top),
                    std::max(box.right, c.right), std::max(box.bottom, c.bottom)};
  }
  windowChanges_.assign(1, box);
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
    CopyXrgbRow(p, out.data(), count);
    return true;
  }
  for (std::size_t i = 0; i < count; ++i, p += bytes) {
    out[i] = codec.Unpack(gfx::LoadPixel(p, static_cast<std::uint32_t>(bytes))) & 0x00FFFFFFu;
  }
  return true;
}

bool Renderer::CopyPresentedChangesRgb(std::span<std::uint32_t> out,
                                       std::vector<gfx::Rect>& changed) {
  std::lock_guard lock(presentedMutex_);
  gfx::FormatCodec codec(presentedFormat_);
  const std::size_t bytes = codec.BytesPerPixel();
  const std::size_t count = presentedPixels_.empty() ? 0 : presentedPixels_.size() / bytes;
  if (count == 0 || out.size() < count) return false;
  const int width = static_cast<int>(count / static_cast<std::size_t>(kClientHeight));
  changed.clear();
  if (windowTakesAll_) {
    changed.push_back(gfx::Rect{0, 0, width, kClientHeight});
  } else {
    changed.swap(windowChanges_);
  }
  windowChanges_.clear();
  windowTakesAll_ = false;
  const bool plain = presentedFormat_ == gfx::PixelFormat::Xrgb8888();
  for (const gfx::Rect& r : changed) {
    for (int y = r.top; y < r.bottom; ++y) {
      std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(r.left);
      const std::uint8_t* p = presentedPixels_.data() + at * bytes;
      std::uint32_t* o = out.data() + at;
      if (plain) {
        CopyXrgbRow(p, o, static_cast<std::size_t>(r.right - r.left));
      } else {
        for (int x = r.left; x < r.right; ++x, p += bytes) {
          *o++ = codec.Unpack(gfx::LoadPixel(p, static_cast<std::uint32_t>(bytes))) & 0x00FFFFFFu;
        }
      }
    }
  }
  return true;
}

}  // namespace slk
