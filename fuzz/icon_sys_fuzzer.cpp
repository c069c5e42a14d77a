// icon.sys, as a PS2 save brings it in: the input is the icon.sys of a .psu
// that is otherwise well formed, so the import must always succeed. The
// title is the 64 bytes at 0xC0 split into two lines that add up to its
// length, the background colours are opaque to 0xD0, and each icon is the
// first file its name field (60 bytes at 0x104, 0x144, 0x184) names, or none;
// a short icon.sys reads as if zero-filled. The title then goes through what
// shows it: the detail screen's title box and the UTF-8 the command line
// prints.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "card/save_data_image.h"
#include "card/utility.h"
#include "harness/fuzz_check.h"
#include "harness/icon_stage.h"
#include "harness/scratch.h"
#include "platform/bytes.h"
#include "platform/sjis.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct PsuFile {
  std::string_view name;
  Bytes bytes;
};

void AppendHeader(Bytes& out, std::uint16_t mode, std::uint32_t countOrSize,
                  std::string_view name) {
  std::size_t at = out.size();
  out.resize(at + 512, 0);
  slk::platform::PutU16LE(&out[at], mode);
  slk::platform::PutU32LE(&out[at + 4], countOrSize);
  std::copy(name.begin(), name.end(), out.begin() + static_cast<std::ptrdiff_t>(at + 0x40));
}

Bytes Psu(const std::vector<PsuFile>& files) {
  Bytes out;
  AppendHeader(out, 0x8427, static_cast<std::uint32_t>(files.size() + 2), "BASLUS-00000SYS");
  AppendHeader(out, 0x8427, 0, ".");
  AppendHeader(out, 0x8427, 0, "..");
  for (const PsuFile& file : files) {
    AppendHeader(out, 0x8497, static_cast<std::uint32_t>(file.bytes.size()), file.name);
    // Each file's bytes are padded to a multiple of 1024, counted from their
    // own start.
    out.insert(out.end(), file.bytes.begin(), file.bytes.end());
    out.resize(out.size() + (1024 - file.bytes.size() % 1024) % 1024, 0);
  }
  return out;
}

// The byte of icon.sys at `at`, zero past its end.
std::uint8_t FieldByte(std::span<const std::uint8_t> iconSys, std::size_t at) {
  return at < iconSys.size() ? iconSys[at] : 0;
}

bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xE  ? 3
                    : (c >> 3) == 0x1E ? 4
                                       : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slk::fuzz;
  std::span<const std::uint8_t> input(data, size);
  const std::vector<PsuFile> files = {
      {"icon.sys", Bytes(input.begin(), input.end())},
      {"list.ico", Bytes(64, 0x11)},
      {"copy.ico", Bytes(32, 0x22)},
      {"DEL.ICO", Bytes(16, 0x33)},
      {"DATA", Bytes(48, 0x44)},
  };
  std::string path = WriteScratchFile("input.psu", Psu(files));
  IconStage& stage = IconStage::Get();
  stage.ResetSlot(slk::CardKind::PS2);
  slk::Workspace& ws = stage.Ws();
  FUZZ_CHECK(slk::AddSaveImage(ws, slk::kLeft, path) == 1);
  FUZZ_CHECK(stage.Sink().shown.empty());
  CheckSlotConsistent(ws, slk::kLeft);
  const std::uint32_t index = ws.At(slk::kLeft).EntryCount() - 1;
  const slk::SaveEntry& entry = ws.At(slk::kLeft).entries[index];

  for (std::size_t i = 0; i < entry.title.size(); ++i)
    FUZZ_CHECK(entry.title[i] == FieldByte(input, 0xC0 + i));
  const std::size_t length = slk::BoundedLength(entry.title);
  FUZZ_CHECK(entry.titleLine1Length + entry.titleLine2Length == length);
  if (length > 0) FUZZ_CHECK(entry.titleLine1Length >= 1);
  for (std::uint32_t colour : entry.backgroundColours) FUZZ_CHECK((colour >> 24) == 0xD0);

  for (std::size_t k = 0; k < 3; ++k) {
    slk::Name64 field{};
    for (std::size_t i = 0; i < 60; ++i) field[i] = FieldByte(input, 0x104 + 0x40 * k + i);
    std::uint64_t position = entry.offset;
    bool found = false;
    for (const slk::SaveFileEntry& file : entry.files) {
      if (slk::NamesEqual(file.name, field)) {
        FUZZ_CHECK(entry.iconOffsets[k] == position && entry.iconSizes[k] == file.size);
        found = true;
        break;
      }
      position += file.size;
    }
    if (!found) FUZZ_CHECK(entry.iconSizes[k] == 0);
    if (k == 0) FUZZ_CHECK(entry.useStandardIcon == (found ? 0 : 1));
  }

  stage.TitlePanels().DrawTitleBox(slk::kLeft, index);
  std::span<const std::uint8_t> title(entry.title);
  for (auto line : {title.first(entry.titleLine1Length),
                    title.subspan(entry.titleLine1Length, entry.titleLine2Length)}) {
    std::string utf8 = slk::platform::ShiftJisToUtf8(line);
    FUZZ_CHECK(IsUtf8(utf8));
    FUZZ_CHECK(utf8.find('\0') == std::string::npos);
  }
  CheckNoTemporaryFiles();
  return 0;
}
