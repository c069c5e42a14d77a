#include "card/ps2/ps2_save_mapping.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace slk::ps2 {
namespace {

Name64 ToName64(const std::string& name) {
  Name64 out{};
  std::memcpy(out.data(), name.data(), std::min(name.size(), out.size()));
  return out;
}

std::string FromName64(const Name64& name) {
  const char* p = reinterpret_cast<const char*>(name.data());
  return std::string(p, strnlen(p, name.size()));
}

}  // namespace

bool CarriedBySaveModel(const Ps2Save& save) {
  std::uint64_t total = 0;
  for (const Ps2File& f : save.files) total += f.size;
  return !save.hasSubfolders && total <= 0xFFFFFFFFu;
}

SaveEntry ToSaveEntry(const Ps2Save& save) {
  SaveEntry e;
  e.mode = save.mode;
  e.time = save.modified;
  e.name = ToName64(save.name);
  std::uint32_t size = 0;
  for (const Ps2File& f : save.files) {
    if (f.isDirectory) continue;
    e.files.push_back({f.mode, f.size, f.modified, ToName64(f.name)});
    size += f.size;
  }
  e.entryCount = static_cast<std::uint32_t>(e.files.size()) + 2;
  e.size = size;
  return e;
}

NewSave FromSaveEntry(const SaveEntry& entry, std::span<const std::uint8_t> bytes) {
  NewSave save;
  save.name = FromName64(entry.name);
  save.mode = entry.mode;
  save.created = entry.time;
  save.modified = entry.time;
  std::size_t at = 0;
  for (const SaveFileEntry& f : entry.files) {
    std::span<const std::uint8_t> data;
    if (at <= bytes.size() && f.size <= bytes.size() - at) data = bytes.subspan(at, f.size);
    at += f.size;
    save.files.push_back({FromName64(f.name), f.mode, f.time, f.time, data});
  }
  return save;
}

}  // namespace slk::ps2
