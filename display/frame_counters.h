#pragma once
// The rendering thread's frame counters, from which every animation speed
// follows: there is no fixed frame rate, so speeds are counted in frames.
// Only the rendering thread changes them, except that building the detail
// screen sets SpinAngle and ModelFrame back to 0 while the thread is paused.

#include <cstdint>

namespace slk {

// A common multiple of every count from 1 to 12: IconClock modulo any cell's
// frame count runs on without a jump when the clock wraps.
inline constexpr std::uint16_t kIconClockWrap = 27720;

struct FrameCounters {
  std::uint16_t iconClock = 0;    // 0..27719, one step every fourth list frame
  std::int32_t blinkPhase = 0;    // 0..15; the more-arrows show while below 8
  std::int32_t pulseStep = 0;     // 0..3, index into PulseTable
  std::uint32_t spinAngle = 0;    // 0..359, index into the SpinTable
  std::uint16_t modelFrame = 0;   // index into ModelFrames
  std::int32_t frameDivider = 0;  // 0..3
  std::int32_t bannerPhase = 0;   // 0..21; the lock banner shows while below 14
};

}  // namespace slk
