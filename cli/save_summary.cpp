#include "cli/save_summary.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "cli/card_session.h"
#include "cli/sha256.h"
#include "icons/detail_screen.h"

namespace slk {
namespace {

constexpr std::uint64_t kChunk = 65536;

std::optional<std::string> DigestOf(Workspace& ws, Slot s, const SaveEntry& entry) {
  Sha256 hash;
  std::vector<std::uint8_t> chunk(kChunk);
  for (std::uint64_t done = 0; done < entry.size;) {
    std::uint64_t n = std::min<std::uint64_t>(kChunk, entry.size - done);
    if (!ws.ReadSlotBytes(s, entry.offset + done, chunk.data(), n)) return std::nullopt;
    hash.Update(std::span<const std::uint8_t>(chunk.data(), n));
    done += n;
  }
  return hash.FinishHex();
}

}  // namespace

std::string FormatTime(const TimeStamp& time) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%04u-%02u-%02u %02u:%02u:%02u", time.Year(),
                time.Month(), time.Day(), time.Hour(), time.Minute(), time.Second());
  return text.data();
}

std::optional<SaveSummary> SummarizeSave(Workspace& ws, Slot s, std::uint32_t row,
                                         bool withDigest) {
  const SaveEntry& entry = ws.At(s).AtRow(row);
  SaveSummary summary;
  summary.row = row;
  summary.name = TextOf(entry.name);
  summary.title = TextOf(entry.title);
  summary.ps1 = entry.IsPS1();
  summary.mode = entry.mode;
  summary.size = entry.size;
  summary.sizeKB = DetailSizeKB(entry);
  summary.time = FormatTime(entry.time);
  for (const SaveFileEntry& file : entry.files)
    summary.files.push_back(FileSummary{TextOf(file.name), file.size, file.mode});
  if (withDigest) {
    std::optional<std::string> digest = DigestOf(ws, s, entry);
    if (!digest) return std::nullopt;
    summary.sha256 = *digest;
  }
  return summary;
}

}  // namespace slk
