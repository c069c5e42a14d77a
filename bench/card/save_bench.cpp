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
#include "card/workspace.h"
#include "card_bench_support.h"
#include "card_files.h"

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
    BenchWorkspace w;
    return w.Load(AddSaveImage, psu) && SaveSaveImage(w.ws, kLeft, 0, path);
  });
}

void CopySave10MiB(benchmark::State& state) {
  std::string psu = MadeFile("ps2-10MiB.psu", [](const std::string& path) {
    return WritePs2Psu(path, Ps2SaveShape{10u << 20, 2});
  });
  BenchWorkspace w;
  if (!w.Load(AddSaveImage, psu)) return state.SkipWithError("could not import the save");
  const SaveEntry& save = w.ws.At(kLeft).AtRow(0);
  TimeIntoNewSlot(
      state, w, kRight, "copying failed", [&] { return CopySave(w.ws, kLeft, 0) == 1; },
      [&](int copy) {
        return CopyRange(w.ws.At(kLeft).dataFile.Descriptor(), save.offset, save.size, copy);
      })
      .Report(state, kTargetRatio);
  state.counters["save_bytes"] = save.size;
}

void ImportSave(benchmark::State& state, const std::string& path) {
  if (path.empty()) return state.SkipWithError("could not make the save file");
  BenchWorkspace w;
  TimeReadingFile(state, w, AddSaveImage, path, "importing failed").Report(state, kTargetRatio);
  state.counters["save_bytes"] = static_cast<double>(w.ws.NextOffset(kLeft));
}

// Exporting over the file written last time, with the baselines of saving a
// card.
void ExportSave(benchmark::State& state, const std::string& source, const std::string& ext) {
  if (source.empty()) return state.SkipWithError("could not make the save file");
  BenchWorkspace w;
  const std::string ours = ScratchFile("exported." + ext);
  if (!w.Load(AddSaveImage, source) || !SaveSaveImage(w.ws, kLeft, 0, ours))
    return state.SkipWithError("could not import the save");
  TimeRewriting(state, w.sink, ours, "exporting failed", [&] {
    return SaveSaveImage(w.ws, kLeft, 0, ours) == 1;
  }).Report(state, kTargetRatio);
}

std::string SaveLabel(const std::string& ext) {
  return (IsPs2Layout(ext) ? "ps2_200KiB." : "ps1_15blocks.") + ext;
}

bool Register() {
  RegisterManualTime("CopySave/ps2_10MiB", CopySave10MiB, benchmark::kMillisecond);
  for (const char* ext : kSaveExtensions) {
    std::string e = ext;
    RegisterManualTime(
        "ImportSave/" + SaveLabel(e), [e](benchmark::State& s) { ImportSave(s, SaveImage(e)); },
        benchmark::kMicrosecond);
  }
  for (const char* ext : kSaveExtensions) {
    std::string e = ext;
    RegisterManualTime(
        "ExportSave/" + SaveLabel(e), [e](benchmark::State& s) { ExportSave(s, SaveImage(e), e); },
        benchmark::kMicrosecond);
  }
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
