#pragma once
// A desktop with a window on it and a display engine, plus the log of what the
// engine releases.

#include <memory>
#include <string>
#include <vector>

#include "display/display_engine.h"
#include "gfx/desktop.h"
#include "support/test_desktop.h"

namespace slk::test {

struct EngineFixture {
  explicit EngineFixture(gfx::DesktopOptions options = testing::TestDesktop(32))
      : desktop(options), window(desktop, gfx::Point{40, 30}) {
    engine = std::make_unique<DisplayEngine>();
    engine->SetReleaseObserver([this](std::string_view name) { released.emplace_back(name); });
  }

  // Released names other than the 144 cached icon frames and the model frames.
  std::vector<std::string> Singles() const {
    std::vector<std::string> out;
    for (const auto& n : released) {
      if (n.rfind("IconFrameCache[", 0) != 0 && n.rfind("ModelFrames[", 0) != 0) out.push_back(n);
    }
    return out;
  }

  std::vector<std::string> released;  // declared before the engine: it outlives its observer
  gfx::Desktop desktop;
  gfx::Window window;
  std::unique_ptr<DisplayEngine> engine;
};

}  // namespace slk::test
