// The list screen, checked by probing pixels of composed frames.

#include "display/panels.h"

#include <gtest/gtest.h>

#include "render_fixture.h"

namespace slk {
namespace {

using gfx::Rect;

constexpr gfx::Color kCyan = 0xFF00FFFF;
constexpr gfx::Color kRed = 0xFFFF0000;
constexpr Rect kLeftNameLine{0, 276, 256, 294};
constexpr Rect kLeftKindLine{0, 294, 256, 312};
constexpr Rect kRightNameLine{256, 276, 512, 294};
constexpr Rect kRightKindLine{256, 294, 512, 312};

Rect CellRect(Slot s, std::uint32_t c) {
  gfx::Point p = GridCellOrigin(s, c);
  return Rect{p.x, p.y, p.x + 64, p.y + 64};
}

class PanelsTest : public test::RenderTest {
 protected:
  void Compose() { renderer_->ComposePanels(); }
  FrameCounters& Counters() { return renderer_->Counters(); }
  gfx::Color CellCentre(Slot s, std::uint32_t c) {
    gfx::Point p = GridCellOrigin(s, c);
    return Colour(Target(), p.x + 32, p.y + 32);
  }
  // The slot's arrow over its list (or under it) as drawn, or only the backdrop there.
  bool ArrowShown(Slot s, bool up) {
    return ShowsSprite(up ? MoreAboveOrigin(s) : MoreBelowOrigin(s), *engine_.MoreArrows(),
                       up ? Rect{0, 0, 16, 16} : Rect{16, 0, 32, 16});
  }
  bool ArrowHidden(Slot s, bool up) {
    gfx::Point at = up ? MoreAboveOrigin(s) : MoreBelowOrigin(s);
    return ShowsBackdrop(Rect{at.x, at.y, at.x + 16, at.y + 16});
  }
  void Select(Slot s, std::uint32_t position) {
    shell_.selectionSlot = s;
    shell_.selectionPosition = position;
  }
  static void SkipWithoutFont() {
    if (test::SharedText() == nullptr) GTEST_SKIP() << "no usable font installed";
  }
};

// The arrows blink: on for the first half of every 16 frames.
TEST_F(PanelsTest, CellsAndBlinkingArrowsShowWhatLiesAboveAndBelowTheView) {
  FillIconCache(1);
  const struct {
    std::uint32_t saves, scrollTop, cells;
    bool up, down;
  } cases[] = {{10, 0, 9, false, true}, {10, 3, 7, true, false}, {9, 0, 9, false, false}};
  for (Slot s : {kLeft, kRight}) {
    for (const auto& c : cases) {
      FillSlot(s, c.saves);
      shell_.scrollTop[s] = c.scrollTop;
      for (int phase = 0; phase < 16; ++phase) {
        Counters().blinkPhase = phase;
        Compose();
        for (bool up : {true, false}) {
          EXPECT_TRUE((up ? c.up : c.down) && phase < 8 ? ArrowShown(s, up) : ArrowHidden(s, up))
              << s << " " << c.saves << "/" << c.scrollTop << " phase " << phase << " up " << up;
        }
      }
      for (std::uint32_t cell = 0; cell < 9; ++cell) {
        if (cell < c.cells) {
          EXPECT_EQ(CellCentre(s, cell), FrameColour(s, cell, 0)) << s << " " << cell;
        } else {
          EXPECT_TRUE(ShowsBackdrop(CellRect(s, cell))) << s << " " << cell;
        }
      }
    }
    FillSlot(s, 0);
    shell_.scrollTop[s] = 0;
  }
}

TEST_F(PanelsTest, CellsStepThroughTheirFramesByIconClock) {
  FillSlot(kLeft, 3);
  FillIconCache(3);
  workspace_.CellFrameCount()[kLeft][1] = 0;   // an icon that produced no frames
  workspace_.CellFrameCount()[kLeft][2] = 12;  // more than the cache holds
  Counters().iconClock = 7;
  Compose();
  EXPECT_EQ(CellCentre(kLeft, 0), FrameColour(0, 0, 7 % 3));
  EXPECT_TRUE(ShowsBackdrop(CellRect(kLeft, 1)));
  EXPECT_EQ(CellCentre(kLeft, 2), FrameColour(0, 2, 7 % 8));
}

TEST_F(PanelsTest, EmptyOrClosedSlotsShowNoCellsAndNoArrows) {
  FillIconCache(1);
  FillSlot(kRight, 0, CardKind::PS2);
  Compose();
  for (Slot s : {kLeft, kRight}) {
    for (std::uint32_t c = 0; c < 9; ++c) EXPECT_TRUE(ShowsBackdrop(CellRect(s, c))) << s << c;
    EXPECT_TRUE(ArrowHidden(s, true) && ArrowHidden(s, false));
  }
}

TEST_F(PanelsTest, SelectionBallsPulseThroughFourSizesWhileTheSaveIsVisible) {
  FillSlot(kLeft, 9);
  FillIconCache(1);
  SolidBall();
  Select(kLeft, 4);
  gfx::Point cell = GridCellOrigin(kLeft, 4);
  const int sizes[4] = {14, 16, 18, 16};
  for (int step = 0; step < 4; ++step) {
    Counters().pulseStep = step;
    Compose();
    for (int k = 0; k < 4; ++k) {
      int cx = cell.x + 64 * (k % 2);
      int cy = cell.y + 64 * (k / 2);
      Rect box = BoxOf(test::kBallColour, Rect{cx - 12, cy - 12, cx + 12, cy + 12});
      int half = sizes[step] / 2;
      EXPECT_EQ(box, (Rect{cx - half, cy - half, cx + half, cy + half})) << step << " " << k;
    }
  }
  // The marks go onto the frame only; the composed panels stay plain.
  EXPECT_EQ(CountOf(*engine_.ComposeSurface(), test::kBallColour, Rect{0, 0, 512, 312}), 0);

  // Only while the selected save is visible.
  Counters().pulseStep = 0;
  FillSlot(kRight, 13);
  Select(kRight, 1);
  Compose();
  EXPECT_EQ(CountOf(Target(), test::kBallColour, Rect{0, 0, 512, 312}), 4 * 14 * 14);

  shell_.scrollTop[kRight] = 3;  // row 1 scrolled out of view, still selected
  Compose();
  EXPECT_EQ(CountOf(Target(), test::kBallColour, Rect{0, 0, 512, 312}), 0);
  Select(kRight, 12);  // the tenth visible position does not exist
  Compose();
  EXPECT_EQ(CountOf(Target(), test::kBallColour, Rect{0, 0, 512, 312}), 0);
  Select(kRight, 11);
  Compose();
  EXPECT_EQ(CountOf(Target(), test::kBallColour, Rect{0, 0, 512, 312}), 4 * 14 * 14);
  Select(-1, 11);
  Compose();
  EXPECT_EQ(CountOf(Target(), test::kBallColour, Rect{0, 0, 512, 312}), 0);
}

TEST_F(PanelsTest, TransitionModeDrawsTheFourMarkersInsteadOfTheBalls) {
  FillSlot(kLeft, 9);
  SolidBall();
  Select(kLeft, 0);
  shell_.displayMode = DisplayMode::Transition;
  const gfx::Point points[4] = {{30, 40}, {300, 40}, {30, 250}, {480, 290}};
  for (int i = 0; i < 4; ++i) {
    shell_.transitionMarkers[i].x = points[i].x;
    shell_.transitionMarkers[i].y = points[i].y;
  }
  Compose();
  EXPECT_EQ(CountOf(Target(), test::kBallColour, Rect{0, 0, 512, 312}), 4 * 16 * 16);
  for (const gfx::Point& p : points) {
    EXPECT_EQ(BoxOf(test::kBallColour, Rect{p.x - 12, p.y - 12, p.x + 12, p.y + 12}),
              (Rect{p.x - 8, p.y - 8, p.x + 8, p.y + 8}));
  }
}

TEST_F(PanelsTest, ScrollButtonsShowTheirPressedState) {
  shell_.scrollButtonState[6 + 2] = 1;
  Compose();
  const gfx::Surface& sheet = *engine_.ScrollButtonSheet();
  for (Slot s : {kLeft, kRight}) {
    for (int k = 0; k < 6; ++k) {
      int state = s == kRight && k == 2 ? 1 : 0;
      gfx::Point at = ScrollButtonOrigin(s, k);
      for (int y = 0; y < 24; y += 5) {
        for (int x = 0; x < 24; x += 5) {
          ASSERT_EQ(Target().PixelAt(at.x + x, at.y + y), sheet.PixelAt(24 * state + x, 24 * k + y))
              << s << k;
        }
      }
    }
  }
}

// A closed slot shows its name line only; an open one its kind too, and its
// name in red while modified. "PS2 MemoryCard Image" has no partner of equal
// length: it is drawn whole, not cut to the length of "PS2 MemoryCard".
TEST_F(PanelsTest, NameAndKindLinesOfEachSlot) {
  SkipWithoutFont();
  FillSlot(kRight, 0, CardKind::PS2);  // a new, empty card
  Compose();
  Rect name = BoxOf(kCyan, kLeftNameLine);
  ASSERT_FALSE(name.Empty());
  EXPECT_NEAR(name.left + name.right, 256, 4);  // centred in the slot's 256 pixels
  EXPECT_EQ(CountOf(Target(), kCyan, kLeftKindLine), 0);
  EXPECT_EQ(CountOf(Target(), kRed, kLeftNameLine), 0);
  Rect expanded = BoxOf(kCyan, kRightKindLine);
  EXPECT_NEAR(expanded.left + expanded.right, 2 * 256 + 256, 4);

  shell_.listTexts.ps2CardImage =
      res::TextShiftJis(res::TextId::PS2CardImage, res::Language::English);
  FillSlot(kRight, 0, CardKind::PS2Card);
  Compose();
  Rect image = BoxOf(kCyan, kRightKindLine);
  EXPECT_GT(image.right - image.left, expanded.right - expanded.left + 20);

  FillSlot(kLeft, 1);
  shell_.slotTitle[kLeft] = "left.mcr";
  shell_.slotTitle[kRight] = "right.mcr";
  shell_.modified[kLeft] = 1;
  Compose();
  EXPECT_GT(CountOf(Target(), kRed, kLeftNameLine), 0);
  EXPECT_EQ(CountOf(Target(), kCyan, kLeftNameLine), 0);
  EXPECT_GT(CountOf(Target(), kCyan, kLeftKindLine), 0);
  EXPECT_GT(CountOf(Target(), kCyan, kRightNameLine), 0);
  EXPECT_EQ(CountOf(Target(), kRed, kRightNameLine), 0);
  shell_.modified[kLeft] = 0;  // saved
  Compose();
  EXPECT_EQ(CountOf(Target(), kRed, kLeftNameLine), 0);
}

TEST_F(PanelsTest, LongSlotTitleIsShortenedInTheMiddleAndStaysInItsHalf) {
  SkipWithoutFont();
  std::string longName = "A_VERY_LONG_MEMORY_CARD_FILE_NAME_THAT_DOES_NOT_FIT_AT_ALL.mcr";
  shell_.slotTitle[kLeft] = longName;
  shell_.slotTitle[kRight] = "";
  const std::string& line = renderer_->PanelDrawing().FileNameLine(kLeft);
  EXPECT_EQ(line, ShortenInMiddle(test::SharedText(), longName, 256));

  Compose();
  Rect name = BoxOf(kCyan, Rect{0, 276, 512, 294});
  EXPECT_GE(name.left, 0);
  EXPECT_LE(name.right, 256);
}

TEST_F(PanelsTest, OneLineTitleIsCentredAndTwoLinesUseBothHalves) {
  SkipWithoutFont();
  FillSlot(kLeft, 2);
  SaveEntry& twoLines = workspace_.At(kLeft).entries[1];
  std::string title = "FIRST LINESECOND";
  std::copy(title.begin(), title.end(), twoLines.title.begin());
  twoLines.titleLine1Length = 10;
  twoLines.titleLine2Length = 6;
  const gfx::Surface& box = *engine_.TitleSurface();
  auto rowsWithText = [&](int top, int bottom) {
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
      bool any = false;
      for (int x = 0; x < 260; ++x) any = any || box.PixelAt(x, y) != 0;
      rows += any;
    }
    return rows;
  };

  renderer_->DrawTitleBox(kLeft, 0);  // "SAVE 0", one line
  EXPECT_EQ(rowsWithText(0, 11), 0);
  EXPECT_GT(rowsWithText(11, 33), 0);
  EXPECT_EQ(rowsWithText(34, 44), 0);
  EXPECT_GT(CountOf(box, 0xFFFFFF00, Rect{0, 0, 260, 44}), 0);  // face
  EXPECT_GT(CountOf(box, 0xFF808000, Rect{0, 0, 260, 44}), 0);  // outline

  renderer_->DrawTitleBox(kLeft, 1);
  EXPECT_GT(rowsWithText(0, 22), 0);
  EXPECT_GT(rowsWithText(22, 44), 0);
  // The shorter second line is centred too, so it starts further right.
  auto leftmost = [&](int top, int bottom) {
    for (int x = 0; x < 260; ++x) {
      for (int y = top; y < bottom; ++y) {
        if (box.PixelAt(x, y) != 0) return x;
      }
    }
    return 260;
  };
  EXPECT_GT(leftmost(22, 44), leftmost(0, 22));

  // The box shows while a slot with saves is selected.
  Select(kLeft, 1);
  Compose();
  Rect shown{126, 232, 126 + 260, 232 + 44};
  EXPECT_GT(CountOf(Target(), 0xFFFFFF00, shown), 0);
  Select(-1, 0);
  Compose();
  EXPECT_TRUE(ShowsBackdrop(shown));
}

TEST_F(PanelsTest, ATitleWiderThanTheBoxEndsInDotsInsideIt) {
  SkipWithoutFont();
  FillSlot(kLeft, 1);
  SaveEntry& entry = workspace_.At(kLeft).entries[0];
  std::string title;
  for (int i = 0; i < 30; ++i) title += "\x82\xa0";  // thirty full-width characters
  std::copy(title.begin(), title.end(), entry.title.begin());
  entry.titleLine1Length = static_cast<std::uint16_t>(title.size());
  entry.titleLine2Length = 0;
  renderer_->DrawTitleBox(kLeft, 0);
  const gfx::Surface& box = *engine_.TitleSurface();
  auto columnHasText = [&](int x) {
    for (int y = 0; y < 44; ++y) {
      if (box.PixelAt(x, y) != 0) return true;
    }
    return false;
  };
  // Neither end is cut off at the box's edges.
  EXPECT_FALSE(columnHasText(0));
  EXPECT_FALSE(columnHasText(259));
  EXPECT_GT(CountOf(box, 0xFFFFFF00, Rect{0, 0, 260, 44}), 0);
}

TEST(ShortenAtEnd, KeepsTheStartOfWholeCharacters) {
  const platform::TextRenderer* text = test::SharedText();
  if (text == nullptr) GTEST_SKIP() << "no usable font installed";
  EXPECT_EQ(ShortenAtEnd(text, "SAVE", 256), "SAVE");
  std::string wide;
  for (int i = 0; i < 20; ++i) wide += "\x82\xa0";
  std::string shortened = ShortenAtEnd(text, wide, 100);
  EXPECT_LE(text->Measure(std::span(reinterpret_cast<const std::uint8_t*>(shortened.data()),
                                    shortened.size()))
                .width,
            100);
  ASSERT_GE(shortened.size(), 3u);
  EXPECT_EQ(shortened.substr(shortened.size() - 3), "...");
  EXPECT_EQ((shortened.size() - 3) % 2, 0u);
}

// Each call writes `count` digits (all of them for 0) and returns how many;
// a count below one or too large for the buffer writes nothing.
TEST(SplitDigits, KeepsTheLowestDigitsWithLeadingZeros) {
  const struct {
    std::uint32_t value;
    int count, written;
    std::vector<std::uint8_t> digits;
  } cases[] = {{2001, 4, 4, {2, 0, 0, 1}},
               {5, 2, 2, {0, 5}},
               {1234, 2, 2, {3, 4}},
               {0, 0, 1, {0}},
               {12, -3, -3, {}},
               {12, 11, 0, {}},
               {4294967295u, 0, 10, {4, 2, 9, 4, 9, 6, 7, 2, 9, 5}}};
  for (const auto& c : cases) {
    std::array<std::uint8_t, 10> d;
    d.fill(9);
    EXPECT_EQ(SplitDigits(c.value, d, c.count), c.written) << c.value;
    std::vector<std::uint8_t> want = c.digits;
    want.resize(10, 9);
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin(), d.end()), want) << c.value;
  }
}

TEST_F(PanelsTest, DrawNumberEndsAtTheRightEdge) {
  gfx::Surface& target = *engine_.ComposeSurface();
  target.Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill, 0);
  renderer_->Text().DrawNumber(456, 100, target, 7, 2);
  const gfx::Surface& font = *engine_.DigitFont();
  auto showsGlyph = [&](int x, int digit) {
    for (int y = 0; y < 16; ++y) {
      for (int dx = 0; dx < 14; ++dx) {
        if (target.PixelAt(x + dx, 100 + y) != font.PixelAt(14 * digit + dx, y)) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(showsGlyph(428, 0));
  EXPECT_TRUE(showsGlyph(442, 7));
  for (int y = 100; y < 116; ++y) {
    EXPECT_EQ(target.PixelAt(427, y), 0u);
    EXPECT_EQ(target.PixelAt(456, y), 0u);
  }
}

TEST(ShortenInMiddle, KeepsShortTextsAndNeverSplitsAShiftJisCharacter) {
  const platform::TextRenderer* text = test::SharedText();
  if (text == nullptr) GTEST_SKIP() << "no usable font installed";
  EXPECT_EQ(ShortenInMiddle(text, "card.mcr", 256), "card.mcr");
  EXPECT_EQ(ShortenInMiddle(text, std::string("card\0tail", 9), 256), "card");

  // Twenty full-width characters (320 pixels) and a half-width extension.
  std::string wide;
  for (int i = 0; i < 20; ++i) wide += "\x82\xa0";  // HIRAGANA LETTER A
  wide += ".xmc";
  std::string shortened = ShortenInMiddle(text, wide, 256);
  auto bytes = [](const std::string& s) {
    return std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  EXPECT_LE(text->Measure(bytes(shortened)).width, 256);
  std::size_t dots = shortened.find("...");
  ASSERT_NE(dots, std::string::npos);
  EXPECT_EQ(dots % 2, 0u);  // whole characters before the dots
  EXPECT_EQ(shortened.substr(shortened.size() - 4), ".xmc");
  EXPECT_EQ((shortened.size() - dots - 3 - 4) % 2, 0u);  // and after them
}

}  // namespace
}  // namespace slk
