#pragma once
// The list screen: both slots' icon grids with their scroll buttons, file
// name and card kind lines, more-arrows, the selected save's title box and
// the pulsing balls on its corners. All of it is blitting between the
// display's surfaces; the icons themselves were rendered ahead of time into
// the IconFrameCache.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "card/workspace.h"
#include "display/display_engine.h"
#include "display/frame_counters.h"
#include "display/shell_state.h"
#include "display/text_drawing.h"
#include "gfx/types.h"

namespace slk {

// Ball size offsets, indexed by PulseStep: 14, 16, 18 and 16 pixels wide.
inline constexpr std::array<int, 4> kPulseTable{-1, 0, 1, 0};

inline constexpr int kCellSize = 64;
inline constexpr int kVisibleCells = 9;
inline constexpr gfx::Point kTitleBoxOrigin{126, 232};
inline constexpr int kTitleBoxWidth = 260;
inline constexpr int kTitleBoxHeight = 44;
inline constexpr int kSlotLineWidth = 256;
inline constexpr int kFileNameTop = 276;
inline constexpr int kCardKindTop = 294;

// Top-left corner of grid cell `cell` (0..8) of a slot.
constexpr gfx::Point GridCellOrigin(Slot slot, std::uint32_t cell) {
  return gfx::Point{10 + 256 * slot + 74 * static_cast<int>(cell % 3),
                    20 + 64 * static_cast<int>(cell / 3)};
}
constexpr gfx::Point ScrollButtonOrigin(Slot slot, int button) {
  return gfx::Point{232 + 256 * slot, 44 + 24 * button};
}
constexpr gfx::Point MoreAboveOrigin(Slot slot) {
  return gfx::Point{108 + 256 * slot, 0};
}
constexpr gfx::Point MoreBelowOrigin(Slot slot) {
  return gfx::Point{108 + 256 * slot, 216};
}

class Panels {
 public:
  Panels(DisplayEngine& engine, const ShellState& shell, const Workspace& workspace,
         const TextDrawing& text)
      : engine_(&engine), shell_(&shell), workspace_(&workspace), text_(&text) {}

  // Builds the list picture on the ComposeSurface, copies it to the
  // RenderTarget and draws the selection balls (list mode) or the transition
  // markers (transition mode) there, so that the ComposeSurface keeps the
  // plain panels. Runs on the rendering thread, or with it paused.
  void ComposePanels(const FrameCounters& counters);

  // The same in list mode when only the counters changed since the frame
  // drawn with `before`, whose picture the ComposeSurface and the
  // RenderTarget still hold: only the icon cells that show another frame,
  // the arrows when they blink and the selection balls are drawn again, and
  // the rectangles changed on the RenderTarget are added to `changed`.
  // False, with nothing drawn, when the layout does not allow it (then
  // ComposePanels does it whole).
  bool ComposeAnimation(const FrameCounters& before, const FrameCounters& now,
                        std::vector<gfx::Rect>& changed);

  // Draws the title of entry `entryIndex` of `slot` into the TitleSurface.
  // The rendering thread must be paused: it blits the box every frame and
  // shares the TextScratch.
  void DrawTitleBox(Slot slot, std::uint32_t entryIndex);

  // The slot's SlotTitle as its file-name line shows it: shortened in the
  // middle when it is wider than the line. Worked out again only when the
  // title changes.
  const std::string& FileNameLine(Slot slot);

 private:
  void DrawSlotLines(gfx::Surface& compose, Slot slot);
  void DrawCells(gfx::Surface& compose, Slot slot, const FrameCounters& counters);
  // The more-arrows of a slot whose list of `rows` rows is scrolled to `top`.
  void DrawArrows(gfx::Surface& compose, Slot slot, std::uint32_t top, std::uint32_t rows);
  void DrawSelectionBalls(gfx::Surface& target, const FrameCounters& counters);
  // Where the selection balls are drawn at `pulseStep`; false when none are.
  bool SelectionBallRects(int pulseStep, std::array<gfx::Rect, 4>& out) const;
  void DrawTransitionMarkers(gfx::Surface& target);

  struct ShortenedTitle {
    std::string title;
    std::string line;
    bool valid = false;
  };

  DisplayEngine* engine_;
  const ShellState* shell_;
  const Workspace* workspace_;
  const TextDrawing* text_;
  std::array<ShortenedTitle, 2> fileNameLines_;
};

}  // namespace slk
