// Opening and saving whole cards through OpenCardImage and SaveCardImage: a
// full PS1 card in each of its six formats, and an expanded card of 500 PS2
// saves of 200 KiB (100 MB). Target: within 1.5 times the plain copy of the
// same bytes, and a peak memory that does not grow with the card (the saves'
// bytes live in the slot's temporary file, never in memory).

#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "card/card_image.h"
#include "card/settings.h"
#include "card/workspace.h"
#include "card_bench_support.h"
#include "card_files.h"

namespace slk::bench {
namespace {

constexpr double kTargetRatio = 1.5;
constexpr std::uint32_t kSaveBytes = 200 * 1024;
constexpr std::array<const char*, 6> kPs1Extensions = {"mem", "mcr", "gme", "mcd", "ps", "mci"};

std::string ExpandedCard(std::uint32_t saves) {
  return MadeFile("card-" + std::to_string(saves) + ".xmc", [&](const std::string& path) {
    return WriteExpandedCardFile(path, saves, kSaveBytes);
  });
}

// The full PS1 card, written by the program itself in the format of `ext`.
std::string Ps1Card(const std::string& ext) {
  std::string mcr = MadeFile("full.mcr", WriteFullPs1Card);
  return MadeFile("full-card." + ext, [&](const std::string& path) {
    BenchWorkspace w;
    return w.Load(OpenCardImage, mcr) && SaveCardImage(w.ws, kLeft, path);
  });
}

void OpenCard(benchmark::State& state, const std::string& path) {
  if (path.empty()) return state.SkipWithError("could not make the card file");
  BenchWorkspace w;
  TimeReadingFile(state, w, OpenCardImage, path, "opening failed").Report(state, kTargetRatio);
  // What was read, so that a wrong card file shows.
  state.counters["saves"] = w.ws.At(kLeft).RowCount();
  state.counters["save_bytes"] = static_cast<double>(w.ws.NextOffset(kLeft));
}

// Saving over the file written last time, as Save does.
void SaveCard(benchmark::State& state, const std::string& source, const std::string& ext) {
  if (source.empty()) return state.SkipWithError("could not make the card file");
  BenchWorkspace w;
  const std::string ours = ScratchFile("saved." + ext);
  if (!w.Load(OpenCardImage, source) || !SaveCardImage(w.ws, kLeft, ours))
    return state.SkipWithError("could not open the card");
  TimeRewriting(state, w.sink, ours, "saving failed", [&] {
    return SaveCardImage(w.ws, kLeft, ours) == 1;
  }).Report(state, kTargetRatio);
}

// Peak resident growth while opening (or saving) the 10 MB and the 100 MB
// card, each measured in a child process of its own.
void PeakMemory(benchmark::State& state, bool saving) {
  const std::string small = ExpandedCard(50), large = ExpandedCard(500);
  if (small.empty() || large.empty()) return state.SkipWithError("could not make the card files");
  const std::string target = ScratchFile("peak.xmc");
  RecordingSink sink;
  Settings settings = WithoutBackups();
  long growth[2] = {-1, -1};
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      Workspace ws(sink, settings);
      const std::string& card = k == 0 ? small : large;
      if (!ws.CreateSlotStore(kLeft, 0) || (saving && !OpenCardImage(ws, kLeft, card))) break;
      growth[k] = PeakRssGrowthKib([&] {
        return saving ? SaveCardImage(ws, kLeft, target) == 1 : OpenCardImage(ws, kLeft, card) == 1;
      });
    }
  }
  if (growth[0] < 0 || growth[1] < 0)
    return state.SkipWithError("peak memory not measurable here (no /proc/self/clear_refs)");
  state.counters["kib_10mb"] = static_cast<double>(growth[0]);
  state.counters["kib_100mb"] = static_cast<double>(growth[1]);
  state.counters["extra_kib"] = static_cast<double>(growth[1] - growth[0]);
  // 450 more saves keep 450 more records (about 0.5 KiB each); the 90 MB
  // more data must not show.
  state.counters["target_extra_kib"] = 1024;
}

bool Register() {
  for (const char* ext : kPs1Extensions) {
    std::string e = ext;
    RegisterManualTime(
        "OpenCard/ps1_full." + e, [e](benchmark::State& s) { OpenCard(s, Ps1Card(e)); },
        benchmark::kMicrosecond);
  }
  RegisterManualTime(
      "OpenCard/xmc_100MB", [](benchmark::State& s) { OpenCard(s, ExpandedCard(500)); },
      benchmark::kMillisecond);
  for (const char* ext : kPs1Extensions) {
    std::string e = ext;
    RegisterManualTime(
        "SaveCard/ps1_full." + e, [e](benchmark::State& s) { SaveCard(s, Ps1Card(e), e); },
        benchmark::kMicrosecond);
  }
  RegisterManualTime(
      "SaveCard/xmc_100MB", [](benchmark::State& s) { SaveCard(s, ExpandedCard(500), "xmc"); },
      benchmark::kMillisecond);
  benchmark::RegisterBenchmark("PeakMemory/OpenCard_xmc_100MB_vs_10MB", [](benchmark::State& s) {
    PeakMemory(s, false);
  })->Iterations(1);
  benchmark::RegisterBenchmark("PeakMemory/SaveCard_xmc_100MB_vs_10MB", [](benchmark::State& s) {
    PeakMemory(s, true);
  })->Iterations(1);
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
