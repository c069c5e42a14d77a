#include "card_files.h"

#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_card_image.h"
#include "tools/card_inputs/card_inputs.h"

namespace slk::bench {
namespace {

using inputs::Buffer;
using inputs::FileSpec;
using inputs::SaveSpec;

constexpr std::uint32_t kBlock = 8192;
constexpr std::uint32_t kIconSysBytes = 964;
constexpr std::uint16_t kModePs2File = 0x8497;

// Every record of every file carries the same time: 2003-06-01 10:20:30.
const Buffer kTime = inputs::Time(1);

// Bytes that differ from file to file and do not compress to nothing.
Buffer Pattern(std::size_t n, std::uint32_t seed) {
  return inputs::Pattern(n, seed * 2654435761u + 1);
}

Buffer IconSys(std::uint32_t seed) {
  inputs::IconSysFields sys;
  sys.title = "BENCHMARK SAVE  " + std::to_string(seed);
  sys.lineBreak = 16;
  sys.corners.fill({0x40 + seed % 64, 0x20, 0x60, 0});
  sys.icons = {"list.ico", "list.ico", "list.ico"};
  return inputs::BuildIconSys(sys);
}

SaveSpec Ps2Save(const Ps2SaveShape& shape) {
  std::uint32_t rest = shape.bytes - kIconSysBytes - shape.iconBytes;
  char name[32];
  std::snprintf(name, sizeof name, "BASLUS-%05uBENCH", static_cast<unsigned>(shape.seed));
  SaveSpec save;
  save.name = name;
  save.time = kTime;
  save.files = {{kModePs2File, "icon.sys", IconSys(shape.seed), kTime},
                {kModePs2File, "list.ico", Pattern(shape.iconBytes, shape.seed * 3 + 1), kTime},
                {kModePs2File, "data.bin", Pattern(rest, shape.seed * 3 + 2), kTime}};
  return save;
}

// The blocks of a PS1 save: its title frame, then a pattern.
Buffer Ps1Blocks(std::uint32_t blocks, std::uint32_t seed) {
  Buffer b = Pattern(static_cast<std::size_t>(blocks) * kBlock, seed);
  inputs::PutPS1TitleFrame(b, {blocks, "BENCHMARK PS1 SAVE " + std::to_string(seed)});
  return b;
}

struct CloseFile {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, CloseFile>;

FilePtr Create(const std::string& path) {
  return FilePtr(std::fopen(path.c_str(), "wb"));
}

bool WriteBytes(const FilePtr& out, const Buffer& b) {
  return out && std::fwrite(b.data(), 1, b.size(), out.get()) == b.size();
}

bool Finish(FilePtr out) {
  return out && std::fclose(out.release()) == 0;
}

bool WriteFile(const std::string& path, const Buffer& b) {
  FilePtr out = Create(path);
  return WriteBytes(out, b) && Finish(std::move(out));
}

}  // namespace

bool WriteExpandedCardFile(const std::string& path, std::uint32_t saves, std::uint32_t bytesPerSave,
                           std::uint32_t iconBytes) {
  FilePtr out = Create(path);
  if (!WriteBytes(out, inputs::XmcHeader(saves))) return false;
  for (std::uint32_t i = 0; i < saves; ++i) {
    if (!WriteBytes(out, inputs::XmcSave(Ps2Save(Ps2SaveShape{bytesPerSave, i, iconBytes}))))
      return false;
  }
  return Finish(std::move(out));
}

bool WritePs2CardFile(const std::string& path, std::uint32_t saves, std::uint32_t bytesPerSave) {
  platform::Problem why;
  auto card = ps2::Ps2CardImage::Open(ps2::FormatCard({}), why);
  if (!card) return false;
  for (std::uint32_t i = 0; i < saves; ++i) {
    SaveSpec save = Ps2Save(Ps2SaveShape{bytesPerSave, i});
    ps2::NewSave add;
    add.name = save.name;
    for (const FileSpec& f : save.files) add.files.push_back({f.name, f.mode, {}, {}, f.bytes});
    if (card->AddSave(add).result != ps2::AddResult::Added) return false;
  }
  return WriteFile(path, card->Serialize());
}

bool WritePs2Psu(const std::string& path, const Ps2SaveShape& shape) {
  return WriteFile(path, inputs::Psu(Ps2Save(shape), kTime));
}

bool WritePs1Psu(const std::string& path, std::uint32_t blocks) {
  const std::string name = "BESLES-00001BENCH";
  SaveSpec save;
  save.mode = kModePS1Directory;
  save.name = name;
  save.time = kTime;
  save.files = {{kModePS1File, name, Ps1Blocks(blocks, 7), kTime}};
  return WriteFile(path, inputs::Psu(save, kTime));
}

bool WriteFullPs1Card(const std::string& path) {
  inputs::PS1CardBuilder card;
  for (int save = 0; save < 5; ++save) {
    int first = 1 + 3 * save;
    std::string name = "BESLES-0000" + std::to_string(save) + "BENCH";
    card.Directory(first, 0x51, 3 * kBlock, static_cast<std::uint16_t>(first), name)
        .Directory(first + 1, 0x52, 0, static_cast<std::uint16_t>(first + 1), "")
        .Directory(first + 2, 0x53, 0, 0xFFFF, "")
        .Blocks(first, Ps1Blocks(3, static_cast<std::uint32_t>(save)));
  }
  return WriteFile(path, card.Bytes());
}

}  // namespace slk::bench
