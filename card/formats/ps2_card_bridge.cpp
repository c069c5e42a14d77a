#include "card/formats/ps2_card_bridge.h"

#include "card/ps2/ps2_layout.h"

namespace slk::formats {
namespace {

TimeStamp ToLocal(const TimeStamp& cardTime) {
  return ps2::CardTimeToLocal(cardTime.bytes);
}
TimeStamp ToCard(const TimeStamp& local) {
  return TimeStamp{ps2::LocalToCardTime(local)};
}

}  // namespace

ps2::NewSave AsNewSave(const Ps2SaveData& save) {
  ps2::NewSave out;
  out.name = save.name;
  out.mode = save.mode;
  out.created = ToLocal(save.created);
  out.modified = ToLocal(save.modified);
  for (const Ps2SaveFile& f : save.files)
    out.files.push_back({f.name, f.mode, ToLocal(f.created), ToLocal(f.modified), f.bytes});
  return out;
}

Ps2SaveData FromCardSave(const ps2::Ps2CardImage& card, const ps2::Ps2Save& save) {
  Ps2SaveData out;
  out.name = save.name;
  out.mode = save.mode;
  out.created = ToCard(save.created);
  out.modified = ToCard(save.modified);
  for (const ps2::Ps2File& f : save.files) {
    if (f.isDirectory) continue;
    out.files.push_back({f.name, f.mode, ToCard(f.created), ToCard(f.modified), card.ReadFile(f)});
  }
  return out;
}

}  // namespace slk::formats
