// One save at a time: CopySave of a 10 MiB PS2 save into the other slot, and
// importing (AddSaveImage) and exporting (SaveSaveImage) one save in every
// save data image format: a 200 KiB PS2 save in .psu and .psd, a 15-block
// PS1 save in the five PS1-only formats. Target: within 1.5 times the plain
// copy of the same bytes.

#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "card/save_data_image.h"
#include "card/save_operations.h"
#include "card/settings.h"
#include "card/workspace.h"
#include "card_bench_support.h"
#include "card_files.h"
#include "platform/file.h"

namespace slk::bench {
namespace {

constexpr double kTargetRatio = 1.5;
constexpr std::array<const char*, 7> kSaveExtensions = {"psu", "psd", "ps1", "mcx",
                                                        "mcb", "psm", "mc"};

bool IsPs2Layout(const std::string& ext) {
  return ext == "psu" || ext == "psd";
}

// The save in the format of `ext`: the PS2 save as the builder writes it (a
// .psd is laid out as a .psu), the PS1 save written by the program itself.
std::string SaveImage(const std::string& ext) {
  if (IsPs2Layout(ext)) {
    return MadeFile("ps2-save." + ext, [](const std::string& path) {
      return WritePs2Psu(path, Ps2SaveShape{200 * 1024, 1});
    });
  }
  std::string psu =
      MadeFile("ps1-save.psu", [](const std::string& path) { return WritePs1Psu(path, 15); });
  return MadeFile("ps1-save." + ext, [&](const std::string& path) {
    RecordingSink sink;
    Settings settings;
    Workspace ws(sink, settings);
    return !psu.empty() && ws.CreateSlotStore(kLeft, 0) && AddSaveImage(ws, kLeft, psu) &&
           SaveSaveImage(ws, kLeft, 0, path);
  });
}

void CopySave10MiB(benchmark::State& state) {
  std::string psu = MadeFile("ps2-10MiB.psu", [](const std::string& path) {
    return WritePs2Psu(path, Ps2SaveShape{10u << 20, 2});
  });
  RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  if (psu.empty() || !ws.CreateSlotStore(kLeft, 0) || !AddSaveImage(ws, kLeft, psu))
    return state.SkipWithError("could not import the save");
  const SaveEntry& save = ws.At(kLeft).AtRow(0);
  PairedTimes times(Clock::Cpu);
  for (auto _ : state) {
    ws.CloseSlot(kRight);
    platform::File copy = platform::CreateSlotTempFile();
    if (!ws.CreateSlotStore(kRight, 0) || !copy.IsOpen()) {
      state.SkipWithError("no temporary file");
      break;
    }
    bool ok = true;
    std::vector<double> seconds =
        TimeInTurn(times.Timing(), times.Turn(),
                   {[&] { return CopySave(ws, kLeft, 0) == 1; },
                    [&] {
                      return CopyRange(ws.At(kLeft).dataFile.Descriptor(), save.offset, save.size,
                                       copy.Descriptor());
                    }},
                   ok);
    if (!ok || !sink.messages.empty()) {
      state.SkipWithError("copying failed");
      break;
    }
    state.SetIterationTime(seconds[0]);
    times.Add(seconds);
  }
  times.Report(state, kTargetRatio);
  state.counters["save_bytes"] = save.size;
}

void ImportSave(benchmark::State& state, const std::string& path) {
  if (path.empty()) return state.SkipWithError("could not make the save file");
  RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  PairedTimes times(Clock::Cpu);
  for (auto _ : state) {
    ws.CloseSlot(kLeft);
    platform::File copy = platform::CreateSlotTempFile();
    if (!ws.CreateSlotStore(kLeft, 0) || !copy.IsOpen()) {
      state.SkipWithError("no temporary file");
      break;
    }
    bool ok = true;
    std::vector<double> seconds =
        TimeInTurn(times.Timing(), times.Turn(),
                   {[&] { return AddSaveImage(ws, kLeft, path) == 1; },
                    [&] { return CopyFileInto(path, copy.Descriptor()) > 0; }},
                   ok);
    if (!ok || !sink.messages.empty()) {
      state.SkipWithError("importing failed");
      break;
    }
    state.SetIterationTime(seconds[0]);
    times.Add(seconds);
  }
  times.Report(state, kTargetRatio);
  state.counters["save_bytes"] = static_cast<double>(ws.NextOffset(kLeft));
}

// Exporting over the file written last time. Baselines as for saving a card:
// with fsync and rename (the target), and without fsync.
void ExportSave(benchmark::State& state, const std::string& source, const std::string& ext) {
  if (source.empty()) return state.SkipWithError("could not make the save file");
  RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  const std::string ours = MadeFile("exported." + ext, [](const std::string&) { return true; });
  const std::string durable = ours + ".durable", plain = ours + ".plain";
  if (!ws.CreateSlotStore(kLeft, 0) || !AddSaveImage(ws, kLeft, source) ||
      !SaveSaveImage(ws, kLeft, 0, ours))
    return state.SkipWithError("could not import the save");
  PairedTimes times(Clock::Wall);
  for (auto _ : state) {
    bool ok = true;
    std::vector<double> seconds =
        TimeInTurn(times.Timing(), times.Turn(),
                   {[&] { return SaveSaveImage(ws, kLeft, 0, ours) == 1; },
                    [&] { return ReplaceFileWithCopy(ours, durable, true); },
                    [&] { return ReplaceFileWithCopy(ours, plain, false); }},
                   ok);
    if (!ok || !sink.messages.empty()) {
      state.SkipWithError("exporting failed");
      break;
    }
    state.SetIterationTime(seconds[0]);
    times.Add(seconds);
  }
  times.Report(state, kTargetRatio);
}

std::string SaveLabel(const std::string& ext) {
  return (IsPs2Layout(ext) ? "ps2_200KiB." : "ps1_15blocks.") + ext;
}

bool Register() {
  benchmark::RegisterBenchmark("CopySave/ps2_10MiB", CopySave10MiB)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  for (const char* ext : kSaveExtensions) {
    std::string e = ext;
    benchmark::RegisterBenchmark(("ImportSave/" + SaveLabel(e)).c_str(),
                                 [e](benchmark::State& s) { ImportSave(s, SaveImage(e)); })
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
  for (const char* ext : kSaveExtensions) {
    std::string e = ext;
    benchmark::RegisterBenchmark(("ExportSave/" + SaveLabel(e)).c_str(),
                                 [e](benchmark::State& s) { ExportSave(s, SaveImage(e), e); })
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
  }
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
