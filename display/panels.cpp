// The list screen, composed once per frame from cached pieces.

#include "display/panels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

namespace slk {

namespace {

constexpr std::uint32_t kCopy = gfx::bltfast::kNoColorKey | gfx::bltfast::kWait;
constexpr std::uint32_t kKeyed = gfx::bltfast::kSrcColorKey | gfx::bltfast::kWait;
// An outlined text is this much wider than the text: its outline is smeared
// over four pixels.
constexpr int kOutlineWidth = 3;

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The selected slot, or -1 when none (or a value that names no slot).
Slot SelectedSlot(const ShellState& shell) {
  int slot = shell.selectionSlot.load(std::memory_order_relaxed);
  return slot == kLeft || slot == kRight ? slot : -1;
}

// Stretches the MarkerBall over the square of half-size `half` around (x, y).
void DrawBall(gfx::Surface& target, gfx::Surface& ball, int x, int y, int half) {
  target.Blt(gfx::Rect{x - half, y - half, x + half, y + half}, &ball, std::nullopt,
             gfx::blt::kKeySrc | gfx::blt::kWait);
}

// The backdrop under a cell with the cell's icon frame keyed over it, put
// into the ComposeSurface and the RenderTarget alike: the pixels the
// backdrop's blit, the keyed blit of the frame and the copy to the target
// make, each read and written once instead of three times. T is the pixel:
// 16 or 32 bits, the key compared as the keyed blit compares it.
template <typename T>
void ComposeCell(gfx::Surface& compose, gfx::Surface& target, const gfx::Surface& backdrop,
                 const gfx::Surface* frame, gfx::Point at) {
  T lo = 0, span = 0;
  if (frame != nullptr) {
    lo = static_cast<T>(frame->SrcColorKey()->low);
    span = static_cast<T>(frame->SrcColorKey()->high - frame->SrcColorKey()->low);
  }
  const std::size_t offset = static_cast<std::size_t>(at.x) * sizeof(T);
  const std::size_t rowBytes = std::size_t{kCellSize} * sizeof(T);
  std::array<T, kCellSize> row;
  for (int y = 0; y < kCellSize; ++y) {
    std::memcpy(row.data(), backdrop.Row(at.y + y) + offset, rowBytes);
    if (frame != nullptr && y < frame->Height()) {
      const std::uint8_t* src = frame->Row(y);
      for (int x = 0; x < frame->Width(); ++x) {
        T pixel;
        std::memcpy(&pixel, src + static_cast<std::size_t>(x) * sizeof(T), sizeof(T));
        const T keep = static_cast<T>(pixel - lo) > span ? static_cast<T>(~T{0}) : T{0};
        row[static_cast<std::size_t>(x)] =
            static_cast<T>((pixel & keep) | (row[static_cast<std::size_t>(x)] & ~keep));
      }
    }
    std::memcpy(compose.Row(at.y + y) + offset, row.data(), rowBytes);
    std::memcpy(target.Row(at.y + y) + offset, row.data(), rowBytes);
  }
}

bool Usable(const gfx::Surface& s) {
  return s.IsLost() == gfx::Result::Ok && !s.IsLocked();
}

}  // namespace

void Panels::ComposePanels(const FrameCounters& counters) {
  const gfx::SurfacePtr& compose = engine_->ComposeSurface();
  const gfx::SurfacePtr& target = engine_->RenderTarget();
  if (!compose || !target || !engine_->Backdrop() || !engine_->ScrollButtonSheet() ||
      !engine_->TitleSurface() || !engine_->MoreArrows() || !engine_->MarkerBall()) {
    return;  // a display that was never set up
  }

  compose->BltFast(0, 0, *engine_->Backdrop(), std::nullopt, kCopy);
  gfx::Surface& sheet = *engine_->ScrollButtonSheet();
  for (Slot s = kLeft; s <= kRight; ++s) {
    for (int k = 0; k < 6; ++k) {
      int state = shell_->scrollButtonState[static_cast<std::size_t>(6 * s + k)].load(
                      std::memory_order_relaxed) != 0;
      gfx::Point at = ScrollButtonOrigin(s, k);
      compose->BltFast(at.x, at.y, sheet,
                       gfx::Rect{24 * state, 24 * k, 24 * state + 24, 24 * k + 24}, kCopy);
    }
  }
  Slot selected = SelectedSlot(*shell_);
  if (selected >= 0 && workspace_->At(selected).RowCount() != 0) {
    compose->BltFast(kTitleBoxOrigin.x, kTitleBoxOrigin.y, *engine_->TitleSurface(), std::nullopt,
                     kKeyed);
  }
  for (Slot s = kLeft; s <= kRight; ++s) DrawSlotLines(*compose, s);
  for (Slot s = kLeft; s <= kRight; ++s) DrawCells(*compose, s, counters);

  target->BltFast(0, 0, *compose, std::nullopt, kCopy);
  int mode = shell_->displayMode.load(std::memory_order_relaxed);
  if (mode == DisplayMode::List) {
    DrawSelectionBalls(*target, counters);
  } else if (mode == DisplayMode::Transition) {
    DrawTransitionMarkers(*target);
  }
}

void Panels::DrawSlotLines(gfx::Surface& compose, Slot slot) {
  bool modified =
      shell_->modified[static_cast<std::size_t>(slot)].load(std::memory_order_relaxed) != 0;
  text_->DrawBoldText(kSlotLineWidth * slot, kFileNameTop, compose, FileNameLine(slot),
                      modified ? kModifiedFileNameColour : kFileNameColour, 1, kSlotLineWidth);
  const SlotData& data = workspace_->At(slot);
  if (!data.open) return;
  // The two memory card captions are drawn with the length of the PS2 one:
  // they are equally long in every language. The card image's caption has
  // no partner and keeps its own length.
  const std::string& caption = data.kind == CardKind::PS2Card ? shell_->listTexts.ps2CardImage
                               : data.kind == CardKind::PS2   ? shell_->listTexts.ps2Card
                                                              : shell_->listTexts.ps1Card;
  std::size_t length = data.kind == CardKind::PS2Card
                           ? caption.size()
                           : std::min(shell_->listTexts.ps2Card.size(), caption.size());
  text_->DrawBoldText(kSlotLineWidth * slot, kCardKindTop, compose, BytesOf(caption).first(length),
                      kCardKindColour, 1, kSlotLineWidth);
}

void Panels::DrawCells(gfx::Surface& compose, Slot slot, const FrameCounters& counters) {
  const SlotData& data = workspace_->At(slot);
  std::uint32_t rows = data.RowCount();
  std::uint32_t top = shell_->scrollTop[static_cast<std::size_t>(slot)];
  if (rows == 0 || top >= rows) return;
  std::uint32_t visible = std::min<std::uint32_t>(rows - top, kVisibleCells);
  const auto& cache = engine_->IconFrameCache()[static_cast<std::size_t>(slot)];
  const auto& frameCounts = workspace_->CellFrameCount()[static_cast<std::size_t>(slot)];
  for (std::uint32_t r = 0; r < visible; ++r) {
    // An icon that produced no frames shows nothing; the cache holds 8 frames
    // at most, whatever count the icon claims.
    std::uint32_t count = std::min<std::uint32_t>(frameCounts[r], DisplayEngine::kFramesPerCell);
    if (count == 0) continue;
    const gfx::SurfacePtr& frame = cache[r][counters.iconClock % count];
    if (!frame) continue;
    gfx::Point at = GridCellOrigin(slot, r);
    compose.BltFast(at.x, at.y, *frame, std::nullopt, kKeyed);
  }
  if (counters.blinkPhase < 8) DrawArrows(compose, slot, top, rows);
}

void Panels::DrawArrows(gfx::Surface& compose, Slot slot, std::uint32_t top, std::uint32_t rows) {
  gfx::Surface& arrows = *engine_->MoreArrows();
  if (top > 0) {
    gfx::Point at = MoreAboveOrigin(slot);
    compose.BltFast(at.x, at.y, arrows, gfx::Rect{0, 0, 16, 16}, kKeyed);
  }
  if (top + kVisibleCells < rows) {
    gfx::Point at = MoreBelowOrigin(slot);
    compose.BltFast(at.x, at.y, arrows, gfx::Rect{16, 0, 32, 16}, kKeyed);
  }
}

bool Panels::SelectionBallRects(int pulseStep, std::array<gfx::Rect, 4>& out) const {
  Slot slot = SelectedSlot(*shell_);
  if (slot < 0) return false;
  std::uint32_t position = shell_->selectionPosition.load(std::memory_order_relaxed);
  std::uint32_t top = shell_->scrollTop[static_cast<std::size_t>(slot)];
  if (position < top || position - top >= kVisibleCells) return false;
  gfx::Point cell = GridCellOrigin(slot, position - top);
  int half = 8 + kPulseTable[static_cast<std::size_t>(pulseStep) & 3];
  for (int k = 0; k < 4; ++k) {
    int x = cell.x + kCellSize * (k % 2), y = cell.y + kCellSize * (k / 2);
    out[static_cast<std::size_t>(k)] = gfx::Rect{x - half, y - half, x + half, y + half};
  }
  return true;
}

void Panels::DrawSelectionBalls(gfx::Surface& target, const FrameCounters& counters) {
  std::array<gfx::Rect, 4> balls;
  if (!SelectionBallRects(counters.pulseStep, balls)) return;
  gfx::Surface& ball = *engine_->MarkerBall();
  for (const gfx::Rect& r : balls) {
    target.Blt(r, &ball, std::nullopt, gfx::blt::kKeySrc | gfx::blt::kWait);
  }
}

bool Panels::ComposeAnimation(const FrameCounters& before, const FrameCounters& now,
                              std::vector<gfx::Rect>& changed) {
  const gfx::SurfacePtr& compose = engine_->ComposeSurface();
  const gfx::SurfacePtr& target = engine_->RenderTarget();
  const gfx::SurfacePtr& backdrop = engine_->Backdrop();
  if (!compose || !target || !backdrop || !engine_->MoreArrows() || !engine_->MarkerBall() ||
      shell_->displayMode.load(std::memory_order_relaxed) != DisplayMode::List ||
      compose->Bounds() != target->Bounds() || backdrop->Bounds() != compose->Bounds() ||
      target->GetClipper()) {
    return false;
  }
  // The cells and arrows lie on the bare backdrop: above the title box and
  // the file name lines, clear of the scroll buttons and of each other. So
  // the backdrop under one of them is all that lies beneath it.
  const gfx::Rect bounds = compose->Bounds();
  // The cells and arrows of both slots, then the four balls.
  std::array<gfx::Rect, 2 * (kVisibleCells + 2) + 4> redraw;
  std::size_t count = 0;
  // The cells' new frames, found once for the check and the drawing.
  struct CellFrame {
    gfx::Point at;
    gfx::Surface* frame;
    std::size_t redrawn;  // its rectangle in `redraw`
  };
  std::array<CellFrame, 2 * kVisibleCells> cells;
  std::size_t cellCount = 0;
  struct SlotRows {
    bool shown = false;
    std::uint32_t top = 0, rows = 0;
  };
  std::array<SlotRows, 2> slotRows;
  const bool arrowsBlink = (before.blinkPhase < 8) != (now.blinkPhase < 8);
  for (Slot s = kLeft; s <= kRight; ++s) {
    const SlotData& data = workspace_->At(s);
    std::uint32_t rows = data.RowCount();
    std::uint32_t top = shell_->scrollTop[static_cast<std::size_t>(s)];
    if (rows == 0 || top >= rows) continue;
    slotRows[static_cast<std::size_t>(s)] = SlotRows{true, top, rows};
    std::uint32_t visible = std::min<std::uint32_t>(rows - top, kVisibleCells);
    const auto& cache = engine_->IconFrameCache()[static_cast<std::size_t>(s)];
    const auto& frameCounts = workspace_->CellFrameCount()[static_cast<std::size_t>(s)];
    for (std::uint32_t r = 0; r < visible; ++r) {
      std::uint32_t frames = std::min<std::uint32_t>(frameCounts[r], DisplayEngine::kFramesPerCell);
      if (frames == 0 || before.iconClock % frames == now.iconClock % frames) continue;
      for (const gfx::SurfacePtr& f : cache[r]) {
        if (f && (f->Width() > kCellSize || f->Height() > kCellSize)) return false;
      }
      gfx::Point at = GridCellOrigin(s, r);
      redraw[count++] = gfx::Rect{at.x, at.y, at.x + kCellSize, at.y + kCellSize};
      cells[cellCount++] = CellFrame{at, cache[r][now.iconClock % frames].get(), count - 1};
    }
    if (arrowsBlink && top > 0) {
      gfx::Point at = MoreAboveOrigin(s);
      redraw[count++] = gfx::Rect{at.x, at.y, at.x + 16, at.y + 16};
    }
    if (arrowsBlink && top + kVisibleCells < rows) {
      gfx::Point at = MoreBelowOrigin(s);
      redraw[count++] = gfx::Rect{at.x, at.y, at.x + 16, at.y + 16};
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    const gfx::Rect& r = redraw[i];
    if (gfx::Intersect(r, bounds) != r || r.bottom > kTitleBoxOrigin.y) return false;
    for (Slot s = kLeft; s <= kRight; ++s) {
      for (int k = 0; k < 6; ++k) {
        gfx::Point b = ScrollButtonOrigin(s, k);
        if (!gfx::Intersect(r, gfx::Rect{b.x, b.y, b.x + 24, b.y + 24}).Empty()) return false;
      }
    }
  }

  // The ComposeSurface: the backdrop back, and the cells and arrows drawn
  // on it as DrawCells draws them. A cell whose frame the keyed blit would
  // draw in full (or that has none) is composed in one pass, straight into
  // both surfaces; the others, the arrows and anything on surfaces that a
  // blit would refuse go the way of the blits.
  const std::uint32_t bytes = compose->Format().BytesPerPixel();
  const bool direct = (bytes == 2 || bytes == 4) && Usable(*compose) && Usable(*target) &&
                      Usable(*backdrop) && target->Format() == compose->Format() &&
                      backdrop->Format() == compose->Format();
  std::array<bool, redraw.size()> composed{};  // by rectangle of `redraw`
  for (std::size_t i = 0; i < cellCount; ++i) {
    const gfx::Surface* frame = cells[i].frame;
    if (!direct || (frame != nullptr && (!Usable(*frame) || frame->Format() != compose->Format() ||
                                         !frame->SrcColorKey()))) {
      continue;
    }
    if (bytes == 4) {
      ComposeCell<std::uint32_t>(*compose, *target, *backdrop, frame, cells[i].at);
    } else {
      ComposeCell<std::uint16_t>(*compose, *target, *backdrop, frame, cells[i].at);
    }
    composed[cells[i].redrawn] = true;
  }
  if (direct) {
    compose->Touch();
    target->Touch();
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (composed[i]) continue;
    const gfx::Rect& r = redraw[i];
    compose->BltFast(r.left, r.top, *backdrop, r, kCopy);
  }
  for (std::size_t i = 0; i < cellCount; ++i) {
    if (cells[i].frame && !composed[cells[i].redrawn])
      compose->BltFast(cells[i].at.x, cells[i].at.y, *cells[i].frame, std::nullopt, kKeyed);
  }
  if (arrowsBlink && now.blinkPhase < 8) {
    for (Slot s = kLeft; s <= kRight; ++s) {
      const SlotRows& shown = slotRows[static_cast<std::size_t>(s)];
      if (shown.shown) DrawArrows(*compose, s, shown.top, shown.rows);
    }
  }

  // The RenderTarget: the composed picture back under the old balls and
  // over what changed, then the balls anew.
  std::array<gfx::Rect, 4> balls;
  if (SelectionBallRects(before.pulseStep, balls)) {
    for (const gfx::Rect& b : balls) {
      gfx::Rect r = gfx::Intersect(b, bounds);
      if (r.Empty()) continue;
      redraw[count++] = r;
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    const gfx::Rect& r = redraw[i];
    if (!composed[i]) target->BltFast(r.left, r.top, *compose, r, kCopy);
    changed.push_back(r);
  }
  if (SelectionBallRects(now.pulseStep, balls)) {
    for (const gfx::Rect& b : balls) {
      gfx::Rect r = gfx::Intersect(b, bounds);
      if (!r.Empty()) changed.push_back(r);
    }
  }
  DrawSelectionBalls(*target, now);
  return true;
}

void Panels::DrawTransitionMarkers(gfx::Surface& target) {
  gfx::Surface& ball = *engine_->MarkerBall();
  for (const ScreenPoint& marker : shell_->transitionMarkers) {
    DrawBall(target, ball, marker.x.load(std::memory_order_relaxed),
             marker.y.load(std::memory_order_relaxed), 8);
  }
}

const std::string& Panels::FileNameLine(Slot slot) {
  ShortenedTitle& cached = fileNameLines_[static_cast<std::size_t>(slot)];
  const std::string& title = shell_->slotTitle[static_cast<std::size_t>(slot)];
  if (!cached.valid || cached.title != title) {
    cached.title = title;
    cached.line = ShortenInMiddle(text_->Renderer(), title, kSlotLineWidth);
    cached.valid = true;
  }
  return cached.line;
}

void Panels::DrawTitleBox(Slot slot, std::uint32_t entryIndex) {
  const gfx::SurfacePtr& box = engine_->TitleSurface();
  if (!box) return;
  gfx::LockedRect locked;
  if (box->Lock(locked) == gfx::Result::Ok) {
    // All black is all transparent.
    std::size_t rowBytes = static_cast<std::size_t>(kTitleBoxWidth) * box->Format().BytesPerPixel();
    for (int y = 0; y < box->Height(); ++y) {
      std::span<std::uint8_t> row = locked.bits.subspan(static_cast<std::size_t>(y) * locked.pitch);
      std::memset(row.data(), 0, std::min(rowBytes, row.size()));
    }
    box->Unlock();
  }
  if (slot != kLeft && slot != kRight) return;
  const SlotData& data = workspace_->At(slot);
  if (entryIndex >= data.EntryCount()) return;
  const SaveEntry& entry = data.entries[entryIndex];
  std::span<const std::uint8_t> title(entry.title);
  std::size_t line1 = std::min<std::size_t>(entry.titleLine1Length, title.size());
  std::size_t line2 = std::min<std::size_t>(entry.titleLine2Length, title.size() - line1);
  // A line wider than the box (with its outline) ends in "..." rather than
  // being cut off at both edges.
  auto fitted = [&](std::span<const std::uint8_t> line) {
    std::string_view sjis(reinterpret_cast<const char*>(line.data()), line.size());
    return ShortenAtEnd(text_->Renderer(), sjis, kTitleBoxWidth - kOutlineWidth);
  };
  // A one-line title is centred vertically in the box.
  int top = line2 != 0 ? 0 : 11;
  text_->DrawOutlinedText(0, top, *box, BytesOf(fitted(title.first(line1))), kTitleColours,
                          kTitleBoxWidth);
  if (line2 != 0) {
    text_->DrawOutlinedText(0, 22, *box, BytesOf(fitted(title.subspan(line1, line2))),
                            kTitleColours, kTitleBoxWidth);
  }
}

}  // namespace slk
