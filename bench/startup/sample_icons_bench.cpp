// The waits inside the program on the sample cards, through the program's
// own display back end with its rendering thread paused, as the commands
// run them: pre-rendering the full first page of the expanded sample card
// (nine saves, PS1 and PS2 icons), and building the detail screen of each of
// its saves in turn. Timed in CPU time of this thread.

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <sstream>
#include <string>

#include "card/card_bench_support.h"
#include "card/card_image.h"
#include "card/settings.h"
#include "card/workspace.h"
#include "display/shell_state.h"
#include "shell/display_backend.h"

namespace slk::bench {
namespace {

const std::string kSource = SLOTKEEPER_SOURCE_DIR;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The back end with the expanded sample card in the Left slot, its thread
// started and paused.
struct SampleDisplay {
  SampleDisplay() : backend(platform::TextRenderer::Create, &quiet) {
    backend.SetStandardIconPath(kSource + "/psicon/standard.ico");
    ok = backend.CheckDirectX7() && backend.InitDisplay(false) && ws.CreateSlotStore(kLeft, 0) &&
         OpenCardImage(ws, kLeft, kSource + "/samples/slotkeeper-mixed.xmc") == 1;
    if (!ok) return;
    backend.BuildSlab(ws);
    backend.StartRenderThread(state, ws);
    backend.PauseRendering();
  }
  ~SampleDisplay() {
    backend.ResumeRendering();
    backend.ReleaseDisplay();
  }

  std::ostringstream quiet;
  RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
  ShellState state;
  DisplayBackend backend;
  bool ok = false;
};

void Report(benchmark::State& state, double seconds, double targetMs) {
  if (targetMs > 0) {
    state.counters["ms"] = 1e3 * seconds / static_cast<double>(state.iterations());
    state.counters["target_ms"] = targetMs;
  }
  state.SetLabel("cpu time, samples/slotkeeper-mixed.xmc");
}

void PrerenderFullPage(benchmark::State& state) {
  SampleDisplay display;
  if (!display.ok) return state.SkipWithError("no display or no sample card");
  double total = 0;
  for (auto _ : state) {
    double start = CpuSeconds();
    display.backend.PrerenderSlotIcons(display.ws, kLeft, 0);
    total += CpuSeconds() - start;
    state.SetIterationTime(CpuSeconds() - start);
  }
  Report(state, total, 10.0);
}

void BuildDetailScreens(benchmark::State& state) {
  SampleDisplay display;
  if (!display.ok) return state.SkipWithError("no display or no sample card");
  const std::uint32_t saves = display.ws.At(kLeft).RowCount();
  std::uint32_t next = 0;
  double total = 0;
  for (auto _ : state) {
    double start = CpuSeconds();
    display.backend.BuildDetailScreen(display.ws, kLeft, display.ws.At(kLeft).rows[next]);
    double took = CpuSeconds() - start;
    total += took;
    state.SetIterationTime(took);
    next = (next + 1) % saves;
  }
  Report(state, total, 0);
  state.counters["ms"] = 1e3 * total / static_cast<double>(state.iterations());
}

BENCHMARK(PrerenderFullPage)
    ->Name("Samples/PrerenderSlotIcons_full_page")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BuildDetailScreens)
    ->Name("Samples/BuildDetailScreen_each_save")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slk::bench
