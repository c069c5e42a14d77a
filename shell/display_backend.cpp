#include "shell/display_backend.h"

#include <exception>
#include <iostream>
#include <utility>

#include "gfx/pixel_format.h"

namespace slk {

namespace {

// Our own screen: exactly the client area, 32 bits a pixel like the usual
// desktop, so that presenting needs no conversion.
gfx::DesktopOptions ScreenOfOurOwn() {
  gfx::DesktopOptions options;
  options.width = kFrameWidth;
  options.height = kFrameHeight;
  options.format = gfx::PixelFormat::ForDesktopBits(32);
  // Nothing reads the screen back: the window shows the renderer's kept copy.
  options.screenKeepsPixels = false;
  return options;
}

}  // namespace

DisplayBackend::DisplayBackend(FontLoader loadFont, std::ostream* diagnostics)
    : loadFont_(std::move(loadFont)),
      diagnostics_(diagnostics != nullptr ? diagnostics : &std::cerr),
      desktop_(ScreenOfOurOwn()),
      window_(desktop_, gfx::Point{0, 0}, kFrameWidth, kFrameHeight) {
  // Finding the font reads fontconfig's configuration and caches and opens
  // the font: a good part of the start-up, and independent of everything
  // the window does meanwhile.
  if (loadFont_) {
    fontThread_ = platform::Thread([this] {
      try {
        loadedFont_ = loadFont_(&loadError_);
      } catch (const std::exception& e) {
        loadedFont_.reset();
        loadError_ = std::string("The font could not be loaded: ") + e.what();
      }
    });
  }
}

DisplayBackend::~DisplayBackend() {
  ReleaseDisplay();
}

void DisplayBackend::SetStandardIconPath(const std::string& path) {
  standardIconPath_ = path;
  if (pipeline_) pipeline_->SetStandardIconPath(path);
}

bool DisplayBackend::CheckDirectX7() {
  return slk::CheckDirectX7(desktop_);
}

void DisplayBackend::BeginInitDisplay(bool halPriority) {
  if (displayThread_.Joinable()) return;
  displayThread_ = platform::Thread(
      [this, halPriority] { displayReady_ = engine_.InitDisplay(window_, halPriority); });
}

bool DisplayBackend::InitDisplay(bool halPriority) {
  populateThread_.Join();
  const bool begun = displayThread_.Joinable();
  displayThread_.Join();
  if (!(begun ? displayReady_ : engine_.InitDisplay(window_, halPriority))) return false;
  // The first frame draws these whole, and its page faults in them were
  // half its time. Made resident here, on the core that is free while the
  // window is set up and the cards are read.
  std::vector<gfx::SurfacePtr> drawnWhole = {engine_.RenderTarget(), engine_.ComposeSurface()};
  populateThread_ = platform::Thread([surfaces = std::move(drawnWhole)] {
    for (const gfx::SurfacePtr& surface : surfaces) {
      if (surface) surface->PopulatePixels();
    }
  });
  return true;
}

void DisplayBackend::TakeFont() {
  if (!fontThread_.Joinable()) return;
  fontThread_.Join();
  text_ = std::move(loadedFont_);
  fontError_ = std::move(loadError_);
  // Without a font the program is still of use: the icons, buttons and
  // numbers are bitmaps. Said once, where a user who wonders about the
  // missing names will look.
  if (!text_) {
    if (fontError_.empty()) fontError_ = "No font could be loaded.";
    *diagnostics_ << "slotkeeper2: " << fontError_ << " The window shows no texts.\n";
  }
}

const std::string& DisplayBackend::FontError() {
  TakeFont();
  return fontError_;
}

void DisplayBackend::BuildSlab(Workspace& ws) {
  pipeline_ = std::make_unique<IconPipeline>(engine_, ws, standardIconPath_);
}

void DisplayBackend::StartRenderThread(ShellState& state, Workspace& ws) {
  if (renderer_) return;
  // The first thing that draws texts: the font has had the whole start-up
  // until now.
  TakeFont();
  populateThread_.Join();
  renderer_ = std::make_unique<Renderer>(engine_, window_, state, ws, text_.get());
  // Three list frames in four equal the one before: the window hears of the
  // others only, and of a frame that could not be presented, which the
  // window's restoring of the surfaces must follow.
  renderer_->SetPresentObserver([this, renderer = renderer_.get(), changed = std::uint64_t{0},
                                 presented = std::uint64_t{0}]() mutable {
    const std::uint64_t nowChanged = renderer->ChangedFrames();
    const std::uint64_t nowPresented = renderer->PresentedFrames();
    const bool tell = nowChanged != changed || nowPresented == presented;
    changed = nowChanged;
    presented = nowPresented;
    if (!tell) return;
    std::lock_guard lock(watcherMutex_);
    if (frameWatcher_) frameWatcher_();
  });
  if (pipeline_) {
    pipeline_->SetDetailContext(&renderer_->Text(), &state.listTexts, &renderer_->Counters());
  }
  renderer_->Start();
}

void DisplayBackend::StopRenderThread() {
  if (!renderer_) return;
  renderer_->Stop();
  // The detail screen must not reach into the renderer's counters any more.
  if (pipeline_) pipeline_->SetDetailContext(nullptr, nullptr, nullptr);
  renderer_.reset();
}

void DisplayBackend::ReleaseDisplay() {
  // Never with a frame in progress.
  StopRenderThread();
  displayThread_.Join();
  populateThread_.Join();
  // The pipeline holds meshes of the device; they go before it.
  pipeline_.reset();
  restFrom_ = {};
  windowCopiedFrame_ = false;
  windowHasFrame_ = false;
  engine_.ReleaseDisplay();
}

void DisplayBackend::PauseRendering() {
  if (renderer_) renderer_->PauseRendering();
}

void DisplayBackend::ResumeRendering() {
  if (renderer_) renderer_->ResumeRendering();
}

void DisplayBackend::PrerenderSlotIcons(Workspace&, Slot slot, std::uint32_t first) {
  if (!pipeline_) return;
  auto& rest = restFrom_[static_cast<std::size_t>(slot)];
  // The start-up's cards: the first frame waits for what is drawn here, and
  // shows frame 0 of each cell only; the list clock reaches the next frames
  // some 100 ms later. The others are drawn once the window has a frame, so
  // that they delay none on its way there.
  if (!renderer_) {
    pipeline_->PrerenderSlotIcons(slot, first, IconPipeline::ListFrames::FirstOnly);
    rest = first;
    return;
  }
  pipeline_->PrerenderSlotIcons(slot, first);
  rest.reset();
}

void DisplayBackend::FinishPrerendering() {
  if (!pipeline_ || !FramesLeftToPrerender()) return;
  for (Slot s : {kLeft, kRight}) {
    auto& rest = restFrom_[static_cast<std::size_t>(s)];
    if (rest) pipeline_->PrerenderSlotIcons(s, *rest, IconPipeline::ListFrames::Rest);
    rest.reset();
  }
}

void DisplayBackend::DrawTitleBox(Workspace&, Slot slot, std::uint32_t entry) {
  if (renderer_) renderer_->DrawTitleBox(slot, entry);
}

void DisplayBackend::BuildDetailScreen(Workspace&, Slot slot, std::uint32_t entry) {
  if (!pipeline_) return;
  // The detail screen shows the title box as it stands. It normally holds
  // this save since the pointer came to rest on it, but a click that was not
  // preceded by a move (the list changed under a still pointer after a
  // Delete or a Copy) would show the title of the save that was there
  // before.
  if (renderer_) renderer_->DrawTitleBox(slot, entry);
  // Also sets the renderer's SpinAngle and ModelFrame back to 0.
  pipeline_->BuildDetailScreen(slot, entry);
}

void DisplayBackend::ComposePanels(ShellState&, Workspace&) {
  if (renderer_) renderer_->ComposePanels();
}

void DisplayBackend::PlayTransition(ShellState& state, int direction,
                                    const std::function<void()>& afterStep) {
  if (renderer_) {
    renderer_->PlayTransition(direction, afterStep);
  } else {
    slk::PlayTransition(state, direction, afterStep);
  }
}

bool DisplayBackend::PrimaryLost() {
  return engine_.PrimaryLost();
}

void DisplayBackend::RestoreSurfaces() {
  engine_.RestoreSurfaces();
}

bool DisplayBackend::CopyFrame(std::span<std::uint32_t> pixels) {
  constexpr std::size_t kPixels = std::size_t{kFrameWidth} * kFrameHeight;
  if (!renderer_ || pixels.size() < kPixels) return false;
  if (!renderer_->CopyPresentedFrameRgb(pixels.first(kPixels))) return false;
  windowCopiedFrame_ = true;
  return true;
}

bool DisplayBackend::CopyFrameChanges(std::span<std::uint32_t> pixels,
                                      std::vector<FrameRect>& changed) {
  constexpr std::size_t kPixels = static_cast<std::size_t>(kFrameWidth) * kFrameHeight;
  if (!renderer_ || pixels.size() < kPixels) return false;
  if (!renderer_->CopyPresentedChangesRgb(pixels.first(kPixels), changedRects_)) return false;
  windowCopiedFrame_ = true;
  changed.clear();
  for (const gfx::Rect& r : changedRects_)
    changed.push_back(FrameRect{r.left, r.top, r.right, r.bottom});
  return true;
}

std::uint64_t DisplayBackend::ChangedFrames() const {
  return renderer_ ? renderer_->ChangedFrames() : 0;
}

bool DisplayBackend::WatchFrames(std::function<void()> changed) {
  std::lock_guard lock(watcherMutex_);
  frameWatcher_ = std::move(changed);
  return true;
}

std::uint64_t DisplayBackend::PresentedFrames() const {
  return renderer_ ? renderer_->PresentedFrames() : 0;
}

}  // namespace slk
