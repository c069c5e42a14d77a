#pragma once
// The shell's program-wide state that the rendering thread reads while it
// draws. Fields the thread only samples, and that the user-interface thread
// writes without pausing it, are atomics; everything else changes only
// between PauseRendering and ResumeRendering.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace slk {

enum class ViewState : int { List = 0, Detail = 1, Changing = 2 };

namespace DisplayMode {
constexpr int List = 0;
constexpr int Transition = 1;
constexpr int Detail = 2;
}  // namespace DisplayMode

struct ScreenPoint {
  std::atomic<int> x{0};
  std::atomic<int> y{0};
};

// Texts the panels and the detail screen draw, as Shift-JIS bytes with the
// byte lengths the drawing uses.
struct ListTexts {
  std::string ps2SaveData;   // string 18
  std::string ps1SaveData;   // string 19
  std::string ps2Card;       // string 20
  std::string ps1Card;       // string 21
  std::string ps2CardImage;  // string 30
  std::string upData;        // string 22
  std::string size;          // string 23
};

struct ShellState {
  ListTexts listTexts;

  // File each slot was loaded from or last saved to (UTF-8 path), and the name
  // shown under its panel (Shift-JIS, as the panels draw it).
  std::array<std::string, 2> slotPath;
  std::array<std::string, 2> slotTitle;

  // The save the pointer last rested on: slot -1 (none), 0 or 1, and its row.
  std::atomic<int> selectionSlot{-1};
  std::atomic<std::uint32_t> selectionPosition{0};

  std::array<std::uint32_t, 2> scrollTop{};  // always a multiple of 3
  std::array<std::atomic<int>, 2> modified{};

  ViewState viewState = ViewState::List;  // user-interface thread only
  std::atomic<int> displayMode{DisplayMode::List};
  std::atomic<int> menuLoopActive{0};
  std::array<std::atomic<int>, 4> actionButtonState{};
  std::array<std::atomic<int>, 12> scrollButtonState{};
  std::array<ScreenPoint, 4> transitionMarkers;  // TL, TR, BL, BR
};

}  // namespace slk
