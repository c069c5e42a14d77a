#include "shell/shown_frame.h"

#include <algorithm>
#include <cstring>

namespace slk {

ShownFrame::ShownFrame(int width, int height)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0) {}

std::span<std::uint32_t> ShownFrame::Incoming() {
  if (incoming_.empty()) incoming_.assign(pixels_.size(), 0);
  return incoming_;
}

std::vector<FrameRect> ShownFrame::TakeIncoming() {
  std::vector<FrameRect> changed;
  TakeArea(FrameRect{0, 0, width_, height_}, changed);
  return changed;
}

std::vector<FrameRect> ShownFrame::TakeIncoming(std::span<const FrameRect> areas) {
  std::vector<FrameRect> changed;
  for (const FrameRect& a : areas) {
    FrameRect area{std::max(a.left, 0), std::max(a.top, 0), std::min(a.right, width_),
                   std::min(a.bottom, height_)};
    if (area.left < area.right && area.top < area.bottom) TakeArea(area, changed);
  }
  return changed;
}

void ShownFrame::TakeArea(const FrameRect& area, std::vector<FrameRect>& changed) {
  Incoming();         // black, as it was made, when nothing was put in
  bool open = false;  // the last rectangle still grows downwards
  const auto width = static_cast<std::size_t>(width_);
  const auto span = static_cast<std::size_t>(area.right - area.left);
  for (int y = area.top; y < area.bottom; ++y) {
    std::uint32_t* shown = pixels_.data() + static_cast<std::size_t>(y) * width;
    const std::uint32_t* next = incoming_.data() + static_cast<std::size_t>(y) * width;
    if (std::memcmp(shown + area.left, next + area.left, span * sizeof(std::uint32_t)) == 0) {
      open = false;
      continue;
    }
    int left = area.left, right = area.right;
    while (shown[left] == next[left]) ++left;
    while (shown[right - 1] == next[right - 1]) --right;
    std::copy(next + left, next + right, shown + left);
    if (open) {
      FrameRect& r = changed.back();
      r.left = std::min(r.left, left);
      r.right = std::max(r.right, right);
      r.bottom = y + 1;
    } else {
      changed.push_back(FrameRect{left, y, right, y + 1});
      open = true;
    }
  }
}

}  // namespace slk
