// The icon pipeline's two costs that users wait for: decoding a large PS2
// model, and pre-rendering a full grid of them (after opening a card or
// scrolling). Targets: DecodeIcon <= 1 ms, PrerenderSlotIcons of nine
// icons <= 10 ms; each is printed beside the result, with the time as a
// multiple of a memcpy of the model's bytes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "baseline.h"
#include "card/workspace.h"
#include "display/display_engine.h"
#include "gfx/desktop.h"
#include "icons/icon_pipeline.h"

namespace slk::bench {
namespace {

struct QuietSink : MessageSink {
  void ShowMessage(int) override {}
  bool AskYesNo(int) override { return false; }
  CardKind AskCardKind(CardKind preselected) override { return preselected; }
};

void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}

// A sphere of 19 rings of `segments` quads (19 x 18 = 2,052 vertices) in 8
// shapes that breathe, with a run-length texture of stripes: the size of a
// detailed real icon.
std::vector<std::uint8_t> LargeModel(int segments) {
  constexpr int kRings = 19, kShapes = 8;
  const int kSegments = segments;
  std::vector<std::array<float, 3>> corners;
  auto point = [&](int ring, int segment) {
    float a = 3.14159f * static_cast<float>(ring) / kRings;
    float b = 6.28318f * static_cast<float>(segment) / static_cast<float>(kSegments);
    return std::array<float, 3>{std::sin(a) * std::cos(b), std::cos(a), std::sin(a) * std::sin(b)};
  };
  for (int r = 0; r < kRings; ++r) {
    for (int s = 0; s < kSegments; ++s) {
      auto p00 = point(r, s), p01 = point(r, s + 1), p10 = point(r + 1, s),
           p11 = point(r + 1, s + 1);
      for (const auto& p : {p00, p10, p01, p01, p10, p11}) corners.push_back(p);
    }
  }
  std::vector<std::uint8_t> b;
  Put32(b, 0x00010000);
  Put32(b, kShapes);
  Put32(b, 0x0E);
  Put32(b, 0x3F800000);
  Put32(b, static_cast<std::uint32_t>(corners.size()));
  for (const auto& c : corners) {
    for (int s = 0; s < kShapes; ++s) {
      float radius = 7000.0f + 400.0f * static_cast<float>(s);
      Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(c[0] * radius)));
      Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(-c[1] * radius - 10240)));
      Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(c[2] * radius)));
      Put16(b, 0);
    }
    for (float n : c) Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(n * 4096)));
    Put16(b, 0);
    Put16(b, static_cast<std::uint16_t>((c[0] + 1) * 2048));
    Put16(b, static_cast<std::uint16_t>((c[1] + 1) * 2048));
    Put32(b, 0x00808080);
  }
  for (std::uint32_t v : {1u, 60u, 0x3F800000u, 0u, static_cast<std::uint32_t>(kShapes)})
    Put32(b, v);
  for (int s = 0; s < kShapes; ++s) {
    Put32(b, static_cast<std::uint32_t>(s));
    Put32(b, 1);
    Put32(b, 0);
    Put32(b, 0x3F800000);
  }
  Put32(b, 0);  // the texture's size word, not read
  for (int stripe = 0; stripe < 128; ++stripe) {
    Put16(b, 128);
    Put16(b, static_cast<std::uint16_t>(stripe % 2 == 0 ? 0x7C1F : 0x03FF));
  }
  return b;
}

// A display on a 16-bit desktop, a workspace whose left slot holds nine
// saves with large models of 14 to 22 segments (1,596 to 2,508 vertices; no
// two alike, as in a real grid), and the pipeline.
struct Bench {
  Bench() : desktop(Options()), window(desktop, gfx::Point{0, 0}) {
    engine.InitDisplay(window, false);
    ws.CreateSlotStore(kLeft, 0);
    for (int k = 0; k < 9; ++k) {
      std::vector<std::uint8_t> model = LargeModel(14 + k);
      bytes += model.size();
      ws.AddEntry(kLeft, model.size());
      SaveEntry& e = ws.At(kLeft).entries.back();
      ws.At(kLeft).dataFile.Seek(e.offset);
      ws.At(kLeft).dataFile.WriteExact(model.data(), model.size());
      e.size = static_cast<std::uint32_t>(model.size());
      e.mode = 0x8427;
      e.iconOffsets.fill(e.offset);
      e.iconSizes.fill(e.size);
      ws.ListLastEntry(kLeft);
    }
    pipeline = std::make_unique<IconPipeline>(engine, ws, "");
  }
  ~Bench() {
    pipeline.reset();
    engine.ReleaseDisplay();
  }
  static gfx::DesktopOptions Options() {
    gfx::DesktopOptions o;
    o.width = 640;
    o.height = 400;
    o.format = gfx::PixelFormat::ForDesktopBits(16);
    return o;
  }

  gfx::Desktop desktop;
  gfx::Window window;
  DisplayEngine engine;
  QuietSink sink;
  Settings settings;
  Workspace ws{sink, settings};
  std::size_t bytes = 0;  // of all nine models
  std::unique_ptr<IconPipeline> pipeline;
};

void Report(benchmark::State& state, const Stopwatch& watch, std::size_t bytes, double targetMs) {
  state.counters["ms"] = watch.PerIteration() / 1e6;
  state.counters["target_ms"] = targetMs;
  ReportAgainstMemcpy(state, bytes, watch.PerIteration());
}

// The same save again, as when the detail screen is rebuilt: its meshes
// come back from the released ones.
void BM_DecodeIcon_SameSave(benchmark::State& state) {
  Bench b;
  Stopwatch watch;
  watch.Start();
  for (auto _ : state) benchmark::DoNotOptimize(b.pipeline->DecodeIcon(kLeft, 4));
  watch.Stop(state.iterations());
  Report(state, watch, b.bytes / 9, 1.0);
}
BENCHMARK(BM_DecodeIcon_SameSave)->Unit(benchmark::kMillisecond);

// Each time another of the nine models, as the list pre-render does.
void BM_DecodeIcon_OtherSaves(benchmark::State& state) {
  Bench b;
  std::uint32_t next = 0;
  Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    benchmark::DoNotOptimize(b.pipeline->DecodeIcon(kLeft, next));
    next = (next + 1) % 9;
  }
  watch.Stop(state.iterations());
  Report(state, watch, b.bytes / 9, 1.0);
}
BENCHMARK(BM_DecodeIcon_OtherSaves)->Unit(benchmark::kMillisecond);

void BM_PrerenderSlotIcons(benchmark::State& state) {
  Bench b;
  Stopwatch watch;
  watch.Start();
  for (auto _ : state) b.pipeline->PrerenderSlotIcons(kLeft, 0);
  watch.Stop(state.iterations());
  Report(state, watch, b.bytes, 10.0);
}
BENCHMARK(BM_PrerenderSlotIcons)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slk::bench
