// Single PS1 saves: .mcs (the save's directory frame, then its blocks) and
// raw saves (the blocks alone, as emulators and converters write them).

#include <algorithm>

#include "card/formats/format_util.h"

namespace slk::formats {
namespace {

using platform::Reason;

constexpr std::size_t kFrame = 128;

bool CheckBlocks(ByteView blocks, platform::Problem& why) {
  if (blocks.empty() || blocks.size() % kPs1BlockSize != 0)
    return Refuse(why, Reason::SizeMismatch, "blocks", blocks.size(),
                  (blocks.size() / kPs1BlockSize + 1) * kPs1BlockSize);
  if (blocks.size() > 15 * kPs1BlockSize)
    return Refuse(why, Reason::TooLarge, "blocks", blocks.size(), 15 * kPs1BlockSize);
  return true;
}

}  // namespace

std::optional<Ps1SaveData> ReadMcsSave(ByteView file, platform::Problem& why) {
  if (!Need(file, 0, kFrame + kPs1BlockSize, why)) return std::nullopt;
  // The frame's link is left as the source card had it, so only the state
  // and size are looked at.
  if ((file[0] & 0xF0) != 0x50) {
    Refuse(why, Reason::BadField, "directory frame", file[0]);
    return std::nullopt;
  }
  std::uint32_t size = platform::GetU32LE(file.data() + 4);
  ByteView blocks = file.subspan(kFrame);
  if (size != blocks.size()) {
    Refuse(why, Reason::SizeMismatch, "size", blocks.size(), size);
    return std::nullopt;
  }
  if (!CheckBlocks(blocks, why)) return std::nullopt;
  return Ps1SaveData{FixedName(file, 10, 20), Bytes(blocks.begin(), blocks.end())};
}

Bytes WriteMcsSave(const Ps1SaveData& save) {
  std::uint32_t size = static_cast<std::uint32_t>(save.blocks.size());
  Bytes out(kFrame + save.blocks.size());
  platform::PutU32LE(out.data(), 0x51);
  platform::PutU32LE(out.data() + 4, size);
  platform::PutU16LE(out.data() + 8, size > kPs1BlockSize ? 1 : 0xFFFF);
  PutName(out.data() + 10, 20, save.name);
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrame - 1; ++i) sum ^= out[i];
  out[kFrame - 1] = sum;
  std::copy(save.blocks.begin(), save.blocks.end(), out.begin() + kFrame);
  return out;
}

std::optional<Ps1SaveData> ReadRawPs1Save(ByteView file, std::string name, platform::Problem& why) {
  if (!Need(file, 0, kPs1BlockSize, why)) return std::nullopt;
  if (file[0] != 'S' || file[1] != 'C') {
    Refuse(why, Reason::BadMagic, "SC");
    return std::nullopt;
  }
  // The title frame's block count is the game's own and can be wrong (cards
  // exist whose 1-block saves claim 7). As for the headerless .mcx it would
  // be held against a file that does not end on a block; a raw save must,
  // so the blocks the file holds are the save.
  if (!CheckBlocks(file, why)) return std::nullopt;
  if (name.size() > 20) name.resize(20);
  return Ps1SaveData{std::move(name), Bytes(file.begin(), file.end())};
}

}  // namespace slk::formats
