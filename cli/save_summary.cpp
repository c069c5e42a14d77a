#include "cli/save_summary.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "card/utility.h"
#include "cli/card_session.h"
#include "cli/sha256.h"
#include "icons/detail_screen.h"
#include "platform/sjis.h"

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

// A text-form icon.sys ("PS2X", then "key = value" lines, as installers of
// homebrew write it) has no binary title at 0xC0: what lies there is a piece
// of its lines. Its title is the values of title0 and title1.
constexpr std::uint32_t kTextIconSysLimit = 4096;  // real ones are a few hundred bytes

std::string Trimmed(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::optional<std::string> TextIconSysTitle(Workspace& ws, Slot s, const SaveEntry& entry) {
  // The reader saw the binary form: nothing to read back.
  if (entry.IsPS1() || entry.iconSysForm == IconSysForm::Binary) return std::nullopt;
  std::uint64_t at = entry.offset;
  std::optional<std::pair<std::uint64_t, std::uint32_t>> iconSys;  // the last one counts
  for (const SaveFileEntry& file : entry.files) {
    if (NamesEqual(file.name, AsBytes("icon.sys"))) iconSys = {at, file.size};
    at += file.size;
  }
  if (!iconSys || iconSys->second < kTextIconSysMagic.size()) return std::nullopt;
  std::string text(std::min(iconSys->second, kTextIconSysLimit), '\0');
  if (!ws.ReadSlotBytes(s, iconSys->first, text.data(), text.size()) ||
      !text.starts_with(kTextIconSysMagic))
    return std::nullopt;
  std::string lines[2];
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = std::min(text.find('\n', begin), text.size());
    std::string_view line(text.data() + begin, end - begin);
    std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      std::string key = Trimmed(line.substr(0, equals));
      if (key == "title0" || key == "title1")
        lines[key.back() - '0'] = Trimmed(line.substr(equals + 1));
    }
    begin = end + 1;
  }
  std::string title = lines[0] + (lines[0].empty() || lines[1].empty() ? "" : " ") + lines[1];
  return platform::ShiftJisToUtf8(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(title.data()), title.size()));
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
  summary.title = TextIconSysTitle(ws, s, entry).value_or(TextOf(entry.title));
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
