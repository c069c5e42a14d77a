// Blits as the frame loop uses them: the full-frame copy of each frame, the
// keyed 64 x 64 icon cells, and the stretched selection balls.

#include <benchmark/benchmark.h>

#include "baseline.h"
#include "gfx/desktop.h"
#include "gfx/surface.h"

namespace slk::gfx {
namespace {

void FillPattern(Surface& s) {
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x)
      s.SetPixel(x, y, static_cast<std::uint32_t>(x * 7 + y * 13));
  }
}

// A round icon on key colour 0: about 40% of the pixels are the key.
void FillIcon(Surface& s) {
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      int dx = x - s.Width() / 2, dy = y - s.Height() / 2;
      bool inside = dx * dx + dy * dy < (s.Width() / 2) * (s.Height() / 2) * 6 / 10;
      s.SetPixel(x, y, inside ? 0x00C08040u + static_cast<std::uint32_t>(x) : 0u);
    }
  }
  s.SetColorKey(ColorKey{0, 0});
}

void BM_BltFastFullFrame(benchmark::State& state) {
  const PixelFormat format = PixelFormat::ForDesktopBits(static_cast<int>(state.range(0)));
  Surface src(512, 312, format, caps::kOffscreenPlain), dst(512, 312, format, caps::k3DDevice);
  FillPattern(src);
  bench::Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    dst.BltFast(0, 0, src, std::nullopt, bltfast::kWait);
    benchmark::ClobberMemory();
  }
  watch.Stop(state.iterations());
  const std::size_t bytes = static_cast<std::size_t>(512) * 312 * format.BytesPerPixel();
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  bench::ReportAgainstMemcpy(state, bytes, watch.PerIteration());
  state.SetLabel("target at 32 bits: x_memcpy <= 2 (half memcpy's speed or better)");
}
BENCHMARK(BM_BltFastFullFrame)->Arg(32)->Arg(16);

void BM_BltFastKeyedIcon(benchmark::State& state) {
  const PixelFormat format = PixelFormat::ForDesktopBits(static_cast<int>(state.range(0)));
  Surface icon(64, 64, format, caps::kOffscreenPlain),
      panel(512, 312, format, caps::kOffscreenPlain);
  FillIcon(icon);
  FillPattern(panel);
  bench::Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    panel.BltFast(84, 84, icon, std::nullopt, bltfast::kSrcColorKey | bltfast::kWait);
    benchmark::ClobberMemory();
  }
  watch.Stop(state.iterations());
  const std::size_t bytes = static_cast<std::size_t>(64) * 64 * format.BytesPerPixel();
  bench::ReportAgainstMemcpy(state, bytes, watch.PerIteration());
  state.SetLabel("target: <= 5 us per blit");
}
BENCHMARK(BM_BltFastKeyedIcon)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_StretchKeyedBall(benchmark::State& state) {
  Surface ball(16, 16, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  Surface target(512, 312, PixelFormat::Xrgb8888(), caps::k3DDevice);
  FillIcon(ball);
  bench::Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    target.Blt(Rect{100, 100, 118, 118}, &ball, std::nullopt, blt::kKeySrc | blt::kWait);
    benchmark::ClobberMemory();
  }
  watch.Stop(state.iterations());
  bench::ReportAgainstMemcpy(state, 18 * 18 * 4, watch.PerIteration());
}
BENCHMARK(BM_StretchKeyedBall)->Unit(benchmark::kMicrosecond);

void BM_PresentThroughClipper(benchmark::State& state) {
  Desktop desktop(DesktopOptions{.width = 1024, .height = 768});
  Window window(desktop, Point{100, 80});
  auto clipper = std::make_shared<Clipper>();
  clipper->SetWindow(&window, 0);
  desktop.Screen()->SetClipper(clipper);
  Surface frame(512, 312, PixelFormat::Xrgb8888(), caps::k3DDevice);
  FillPattern(frame);
  const Rect place = window.ClientRectOnScreen();
  bench::Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    desktop.Screen()->Blt(place, &frame, std::nullopt, blt::kWait);
    benchmark::ClobberMemory();
  }
  watch.Stop(state.iterations());
  bench::ReportAgainstMemcpy(state, 512 * 312 * 4, watch.PerIteration());
}
BENCHMARK(BM_PresentThroughClipper);

}  // namespace
}  // namespace slk::gfx
