#pragma once
// The frame the window shows, and what a newer frame changes in it. Most
// frames of the list differ from the one shown only in the icon cells, the
// arrows and the selection's pulse; the window repaints those rectangles
// alone, and nothing at all for a frame equal to the one shown. Free of Qt.

#include <cstdint>
#include <span>
#include <vector>

namespace slk {

// Columns [left, right) of rows [top, bottom).
struct FrameRect {
  int left, top, right, bottom;
  friend bool operator==(const FrameRect&, const FrameRect&) = default;
};

class ShownFrame {
 public:
  ShownFrame(int width, int height);

  // What is shown, `width` pixels a row, top row first; black at first.
  std::span<const std::uint32_t> Pixels() const { return pixels_; }
  // Made at the first call: a window whose source lists exactly what changed
  // writes into Shown() and needs no second frame.
  std::span<std::uint32_t> Incoming();
  std::span<std::uint32_t> Shown() { return pixels_; }

  // Shows the frame put into Incoming() and returns where it differs from
  // the one shown before: one rectangle for every run of rows that changed,
  // as wide as the changes in those rows. Empty when nothing changed.
  std::vector<FrameRect> TakeIncoming();
  // The same when Incoming() can differ from what is shown only inside
  // `areas`: nothing else is compared.
  std::vector<FrameRect> TakeIncoming(std::span<const FrameRect> areas);

 private:
  void TakeArea(const FrameRect& area, std::vector<FrameRect>& changed);

  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
  std::vector<std::uint32_t> incoming_;
};

}  // namespace slk
