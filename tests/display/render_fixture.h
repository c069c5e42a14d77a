#pragma once
// A display set up on a test desktop, with the shell state, a workspace and a
// renderer, plus builders for slots, cached icon frames and probes of the
// composed frame.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "card/settings.h"
#include "card/workspace.h"
#include "display/display_engine.h"
#include "display/render_thread.h"
#include "display/shell_state.h"
#include "gfx/desktop.h"
#include "gfx/pixel_format.h"
#include "platform/text.h"
#include "resources/strings.h"
#include "support/recording_sink.h"
#include "support/test_desktop.h"

namespace slk::test {

// One renderer for the whole program: loading the font is the slow part.
inline const platform::TextRenderer* SharedText() {
  static std::unique_ptr<platform::TextRenderer> text = [] {
    std::string error;
    return platform::TextRenderer::Create(&error);
  }();
  return text.get();
}

// A colour no bitmap of the list screen uses, for the marker ball.
constexpr gfx::Color kBallColour = 0xFFFF00FF;

class RenderTest : public ::testing::Test {
 protected:
  explicit RenderTest(int bits = 32)
      : desktop_(testing::TestDesktop(bits)), window_(desktop_, gfx::Point{40, 30}) {}

  void SetUp() override {
    ASSERT_TRUE(engine_.InitDisplay(window_, false));
    res::Language english = res::Language::English;
    shell_.listTexts.ps2Card = res::TextShiftJis(res::TextId::PS2MemoryCard, english);
    shell_.listTexts.ps1Card = res::TextShiftJis(res::TextId::PS1MemoryCard, english);
    for (auto& title : shell_.slotTitle) title = res::TextShiftJis(res::TextId::NoFile, english);
    renderer_ = std::make_unique<Renderer>(engine_, window_, shell_, workspace_, SharedText());
  }

  void TearDown() override { renderer_.reset(); }

  gfx::Surface& Target() { return *engine_.RenderTarget(); }
  gfx::Color Colour(const gfx::Surface& s, int x, int y) const {
    return gfx::FormatCodec(s.Format()).Unpack(s.PixelAt(x, y)) | 0xFF000000u;
  }
  std::uint32_t Pack(gfx::Color c) const {
    return gfx::FormatCodec(engine_.RenderTarget()->Format()).Pack(c);
  }

  // Opens the slot with `saves` saves, one row each, titled "SAVE n".
  void FillSlot(Slot s, std::uint32_t saves, CardKind kind = CardKind::PS1) {
    SlotData& slot = workspace_.At(s);
    slot.open = true;
    slot.kind = kind;
    slot.entries.assign(saves, SaveEntry{});
    slot.rows.clear();
    for (std::uint32_t i = 0; i < saves; ++i) {
      std::string name = "SAVE " + std::to_string(i);
      std::copy(name.begin(), name.end(), slot.entries[i].title.begin());
      slot.entries[i].titleLine1Length = static_cast<std::uint16_t>(name.size());
      slot.entries[i].mode = kind == CardKind::PS1 ? kModePS1 : 0;
      slot.rows.push_back(i);
    }
  }

  // A solid colour for every cached frame, unique per slot, cell and frame.
  static gfx::Color FrameColour(int s, int c, int f) {
    return gfx::MakeColor(0xFF, static_cast<std::uint8_t>(0x20 + 0x60 * s),
                          static_cast<std::uint8_t>(0x10 + 0x18 * c),
                          static_cast<std::uint8_t>(0x10 + 0x1C * f));
  }
  // Fills every cached frame with its FrameColour and a black key, and gives
  // every cell `frames` frames.
  void FillIconCache(std::uint32_t frames) {
    for (int s = 0; s < 2; ++s) {
      for (int c = 0; c < 9; ++c) {
        workspace_.CellFrameCount()[s][c] = frames;
        for (int f = 0; f < 8; ++f) {
          gfx::Surface& frame = *engine_.IconFrameCache()[s][c][f];
          frame.Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill,
                    Pack(FrameColour(s, c, f)));
          frame.SetColorKey(gfx::ColorKey{0, 0});
        }
      }
    }
  }
  // The marker ball as one solid square, so that its drawn size is exact.
  void SolidBall() {
    engine_.MarkerBall()->Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill,
                              Pack(kBallColour));
  }

  // Bounding box of the pixels of colour `c` inside `area` of the target;
  // empty when there are none.
  gfx::Rect BoxOf(gfx::Color c, const gfx::Rect& area) {
    gfx::Rect box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (Colour(Target(), x, y) != c) continue;
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
    return box.Empty() ? gfx::Rect{} : box;
  }
  int CountOf(const gfx::Surface& s, gfx::Color c, const gfx::Rect& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) n += Colour(s, x, y) == c;
    }
    return n;
  }
  // True when `area` of the target shows the sprite `src` (keyed) over the
  // backdrop, pixel for pixel.
  bool ShowsSprite(gfx::Point at, const gfx::Surface& sprite, const gfx::Rect& src) {
    const gfx::Surface& backdrop = *engine_.Backdrop();
    for (int y = 0; y < src.Height(); ++y) {
      for (int x = 0; x < src.Width(); ++x) {
        std::uint32_t s = sprite.PixelAt(src.left + x, src.top + y);
        std::uint32_t expected = s != 0 ? s : backdrop.PixelAt(at.x + x, at.y + y);
        if (Target().PixelAt(at.x + x, at.y + y) != expected) return false;
      }
    }
    return true;
  }
  bool ShowsBackdrop(const gfx::Rect& area) {
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (Target().PixelAt(x, y) != engine_.Backdrop()->PixelAt(x, y)) return false;
      }
    }
    return true;
  }

  gfx::Desktop desktop_;
  gfx::Window window_;
  DisplayEngine engine_;
  ShellState shell_;
  testing::RecordingSink sink_;
  Settings settings_;
  Workspace workspace_{sink_, settings_};
  std::unique_ptr<Renderer> renderer_;
};

}  // namespace slk::test
