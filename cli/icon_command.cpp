#include "cli/icon_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <system_error>
#include <vector>

#include "card/image_formats.h"
#include "cli/card_session.h"
#include "cli/png_file.h"
#include "display/display_engine.h"
#include "display/render_thread.h"
#include "display/shell_state.h"
#include "gfx/desktop.h"
#include "gfx/pixel_format.h"
#include "icons/icon_pipeline.h"
#include "platform/problem.h"
#include "platform/text.h"
#include "resources/problem_text.h"
#include "resources/strings.h"

#ifndef SLOTKEEPER_DATA_DIR
#define SLOTKEEPER_DATA_DIR ""
#endif

namespace slk {
namespace {

namespace fs = std::filesystem;

// Where "psicon/standard.ico" is looked for: beside the program (the build
// puts it there, and beside the installed program), the folder above, the
// current folder and the installed data folder.
std::vector<fs::path> StandardIconFolders() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  std::vector<fs::path> folders;
  if (!ec) {
    folders.push_back(exe.parent_path());
    folders.push_back(exe.parent_path().parent_path());
  }
  fs::path current = fs::current_path(ec);
  if (!ec) folders.push_back(current);
  if (!std::string_view(SLOTKEEPER_DATA_DIR).empty()) folders.push_back(SLOTKEEPER_DATA_DIR);
  return folders;
}

// The standard icon file, or nothing with `why` naming the places looked at.
std::optional<std::string> FindStandardIcon(const std::string& given, platform::Problem& why) {
  std::error_code ec;
  why.reason = platform::Reason::NoStandardIcon;
  if (!given.empty()) {
    if (fs::is_regular_file(given, ec)) return given;
    why.field = given;
    return std::nullopt;
  }
  for (const fs::path& folder : StandardIconFolders()) {
    fs::path candidate = folder / "psicon" / "standard.ico";
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
    why.field += (why.field.empty() ? "" : ", ") + folder.string();
  }
  return std::nullopt;
}

// A surface's pixels as 0xAARRGGBB; with a colour key, key pixels become
// transparent.
std::vector<std::uint32_t> Pixels(const gfx::Surface& s, bool keyed) {
  gfx::FormatCodec codec(s.Format());
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(s.Width()) * static_cast<std::size_t>(s.Height()));
  const auto& key = s.SrcColorKey();
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      std::uint32_t raw = s.PixelAt(x, y);
      bool transparent = keyed && key && raw >= key->low && raw <= key->high;
      out.push_back(transparent ? 0u : (0xFF000000u | (codec.Unpack(raw) & 0xFFFFFF)));
    }
  }
  return out;
}

ListTexts LoadListTexts() {
  ListTexts t;
  t.ps2SaveData = res::TextShiftJis(res::TextId::PS2SaveDataCaption);
  t.ps1SaveData = res::TextShiftJis(res::TextId::PS1SaveDataCaption);
  t.ps2Card = res::TextShiftJis(res::TextId::PS2MemoryCard);
  t.ps1Card = res::TextShiftJis(res::TextId::PS1MemoryCard);
  t.upData = res::TextShiftJis(res::TextId::UpdateLabel);
  t.size = res::TextShiftJis(res::TextId::SizeLabel);
  return t;
}

gfx::DesktopOptions HeadlessDesktop() {
  gfx::DesktopOptions o;
  o.width = kClientWidth;
  o.height = kClientHeight;
  o.format = gfx::PixelFormat::ForDesktopBits(32);
  return o;
}

// The display on a desktop of our own, the size of the window.
struct HeadlessDisplay {
  gfx::Desktop desktop{HeadlessDesktop()};
  gfx::Window window{desktop, gfx::Point{0, 0}};
  DisplayEngine engine;
};

int ExportListFrame(Console& console, const IconOptions& o, Workspace& ws, IconPipeline& pipeline,
                    DisplayEngine& engine, std::uint32_t row) {
  // The save in the first cell of a grid that starts at its row.
  pipeline.PrerenderSlotIcons(kLeft, row);
  const std::uint32_t frames = ws.CellFrameCount()[kLeft][0];
  if (o.frame >= frames) {
    console.err << "The icon has " << frames << (frames == 1 ? " frame" : " frames")
                << "; --frame must be below that.\n";
    return ExitCode::Refused;
  }
  const gfx::Surface& cached = *engine.IconFrameCache()[kLeft][0][o.frame];
  if (!WritePng(o.out, cached.Width(), cached.Height(), Pixels(cached, true))) {
    console.err << "Cannot write " << o.out << ".\n";
    return ExitCode::Refused;
  }
  return ExitCode::Success;
}

int ExportDetail(Console& console, const IconOptions& o, CardSession& session,
                 IconPipeline& pipeline, HeadlessDisplay& display, std::uint32_t row) {
  Workspace& ws = session.Ws();
  std::string fontError;
  std::unique_ptr<platform::TextRenderer> font = platform::TextRenderer::Create(&fontError);
  if (!font) console.err << "No usable font: the texts are left out. " << fontError << "\n";

  ShellState shell;
  shell.listTexts = LoadListTexts();
  std::string title;
  shell.slotTitle[kLeft] = FileNamePart(o.card, title) ? title : o.card;
  const std::uint32_t first = row / 3 * 3;
  shell.scrollTop[kLeft] = first;
  shell.selectionSlot = kLeft;
  shell.selectionPosition = row;
  Renderer renderer(display.engine, display.window, shell, ws, font.get());
  pipeline.SetDetailContext(&renderer.Text(), &shell.listTexts, &renderer.Counters());

  // What the shell does on opening a save: the list as last shown, then the
  // detail screen over it, then the rendering thread's first detail frame.
  const std::uint32_t entryIndex = ws.At(kLeft).rows[row];
  pipeline.PrerenderSlotIcons(kLeft, first);
  renderer.DrawTitleBox(kLeft, entryIndex);
  renderer.ComposePanels();
  pipeline.BuildDetailScreen(kLeft, entryIndex);
  shell.displayMode = DisplayMode::Detail;
  renderer.DrawDetailFrame();

  const gfx::Surface& target = *display.engine.RenderTarget();
  if (!WritePng(o.out, target.Width(), target.Height(), Pixels(target, false))) {
    console.err << "Cannot write " << o.out << ".\n";
    return ExitCode::Refused;
  }
  return ExitCode::Success;
}

}  // namespace

int RunIcon(Console& console, const IconOptions& o) {
  CardSession session(console);
  if (!session.LoadCard(kLeft, o.card, true, true)) return ExitCode::Refused;
  std::optional<std::uint32_t> row = session.FindRow(kLeft, o.card, o.save);
  if (!row) return ExitCode::Refused;

  // Without it a save that has no icon of its own would come out as an
  // empty picture, which looks like a result but is none.
  platform::Problem why;
  std::optional<std::string> standard = FindStandardIcon(o.standardIcon, why);
  if (!standard) {
    console.err << res::Text(res::TextId::StandardIconNotFound) << "\n"
                << res::DescribeProblem(why) << "\n";
    return ExitCode::Refused;
  }
  HeadlessDisplay display;
  if (!display.engine.InitDisplay(display.window, false)) {
    console.err << "The display could not be set up.\n";
    return ExitCode::Refused;
  }
  IconPipeline pipeline(display.engine, session.Ws(), *standard);
  int result = o.detail ? ExportDetail(console, o, session, pipeline, display, *row)
                        : ExportListFrame(console, o, session.Ws(), pipeline, display.engine, *row);
  display.engine.ReleaseDisplay();
  return result;
}

void AddIconCommand(CLI::App& app, IconOptions& o, std::function<int()>& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "icon", "Write a save's icon as a PNG: a 64x64 list frame or the 512x312 detail screen");
  sub->add_option("CARD", o.card, "the card image or save data image")->required();
  sub->add_option("SAVE", o.save,
                  "a save: its row number as `list` shows it (0-based) or its exact name")
      ->required();
  sub->add_option("OUT", o.out, "the PNG file to write")->required();
  sub->add_option("--frame", o.frame, "the list frame to write (0-based; default 0)");
  sub->add_flag("--detail", o.detail, "write the detail screen at its first frame instead");
  sub->add_option("--standard-icon", o.standardIcon,
                  "the standard icon file (default: psicon/standard.ico beside the program, "
                  "in the folder above, the current folder or the data folder)");
  sub->callback([&] { run = [&] { return RunIcon(c, o); }; });
}

}  // namespace slk
