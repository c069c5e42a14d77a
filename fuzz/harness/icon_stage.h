#pragma once
// What the icon targets draw with: a display engine on a software desktop, a
// workspace, the icon pipeline over both and the title drawing, made once per
// process (a display costs far more to make than an icon to decode) and
// reused by every input. Only the left slot is used; each input starts it
// afresh.

#include <cstdint>
#include <memory>
#include <span>

#include "card/workspace.h"
#include "display/display_engine.h"
#include "display/panels.h"
#include "display/shell_state.h"
#include "display/text_drawing.h"
#include "gfx/desktop.h"
#include "icons/icon_image.h"
#include "icons/icon_pipeline.h"
#include "platform/text.h"
#include "slot_checks.h"

namespace slk::fuzz {

class IconStage {
 public:
  static IconStage& Get();

  // Closes the left slot and opens it again, empty, of `kind`.
  void ResetSlot(CardKind kind);
  // Lists a save whose bytes are `bytes` in the left slot, with its icons
  // found the way a reader finds them; returns its entry index.
  std::uint32_t AddSave(std::span<const std::uint8_t> bytes, bool ps1);

  Workspace& Ws() { return ws_; }
  ScriptedSink& Sink() { return sink_; }
  DisplayEngine& Engine() { return engine_; }
  IconPipeline& Pipeline() { return *pipeline_; }
  Panels& TitlePanels() { return *panels_; }
  bool HasFont() const { return renderer_ != nullptr; }

 private:
  IconStage();
  ~IconStage();
  IconStage(const IconStage&) = delete;
  IconStage& operator=(const IconStage&) = delete;

  gfx::Desktop desktop_;
  gfx::Window window_;
  DisplayEngine engine_;
  ScriptedSink sink_;
  Settings settings_;
  Workspace ws_{sink_, settings_};
  std::unique_ptr<IconPipeline> pipeline_;
  std::unique_ptr<platform::TextRenderer> renderer_;
  std::unique_ptr<TextDrawing> text_;
  ShellState shell_;
  std::unique_ptr<Panels> panels_;
};

// Aborts unless the icon built last is what a decoded icon must be: the
// counts in CurrentIcon agree with the meshes in ModelFrames (every fourth
// only for a PS2 model pre-rendered for the list), each mesh holds exactly
// the icon's vertices and every co-ordinate of them is finite. Nothing built
// means no mesh and all counts 0.
void CheckBuiltIcon(IconStage& stage, bool built, std::uint32_t meshStride);

// A picture whose every texel holds kUntouched, to see what a decoder wrote.
inline constexpr ConsoleColour kUntouched = 0xBEEF;
std::unique_ptr<IconImage> UntouchedImage();
// True when the texels from `first` on all still hold kUntouched.
bool UntouchedFrom(const IconImage& image, std::size_t first);

// Pre-renders the left slot's list and checks the frame count of its first
// cell: 1 to 8, and the icon's own frame count (at most 8) when `frames` is
// not 0 (0: the icon could not be built and the standard icon stands in).
void CheckListPrerender(IconStage& stage, std::uint32_t frames);

}  // namespace slk::fuzz
