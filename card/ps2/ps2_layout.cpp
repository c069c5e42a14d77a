#include "card/ps2/ps2_layout.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/bytes.h"

namespace slk::ps2 {
namespace {

using platform::GetU16LE;
using platform::GetU32LE;
using platform::PutU16LE;
using platform::PutU32LE;
using platform::Reason;

constexpr std::time_t kJapanOffset = 9 * 3600;

bool Refuse(platform::Problem& why, Reason reason, std::string field, std::uint64_t have = 0,
            std::uint64_t need = 0) {
  why.reason = reason;
  why.field = std::move(field);
  why.have = have;
  why.need = need;
  return false;
}

CardTime ReadTime(const std::uint8_t* p) {
  CardTime t;
  std::memcpy(t.data(), p, t.size());
  return t;
}

// The card's clock reads Japan time whatever the zone of the machine.
CardTime JapanTime(std::time_t utc) {
  std::time_t japan = utc + kJapanOffset;
  std::tm jst{};
  CardTime out{};
  if (gmtime_r(&japan, &jst) == nullptr) return out;
  out[1] = static_cast<std::uint8_t>(std::min(jst.tm_sec, 59));
  out[2] = static_cast<std::uint8_t>(jst.tm_min);
  out[3] = static_cast<std::uint8_t>(jst.tm_hour);
  out[4] = static_cast<std::uint8_t>(jst.tm_mday);
  out[5] = static_cast<std::uint8_t>(jst.tm_mon + 1);
  PutU16LE(&out[6], static_cast<std::uint16_t>(jst.tm_year + 1900));
  return out;
}

}  // namespace

TimeStamp CardTimeToLocal(const CardTime& t) {
  TimeStamp out;
  if (std::all_of(t.begin(), t.end(), [](std::uint8_t b) { return b == 0; })) return out;
  std::tm tm{};
  tm.tm_sec = t[1];
  tm.tm_min = t[2];
  tm.tm_hour = t[3];
  tm.tm_mday = t[4];
  tm.tm_mon = t[5] == 0 ? 0 : t[5] - 1;
  tm.tm_year = (t[6] | (t[7] << 8)) - 1900;
  std::time_t utc = timegm(&tm) - kJapanOffset;
  std::tm local{};
  if (localtime_r(&utc, &local) == nullptr) return out;
  out.bytes[1] = static_cast<std::uint8_t>(std::min(local.tm_sec, 59));
  out.bytes[2] = static_cast<std::uint8_t>(local.tm_min);
  out.bytes[3] = static_cast<std::uint8_t>(local.tm_hour);
  out.bytes[4] = static_cast<std::uint8_t>(local.tm_mday);
  out.bytes[5] = static_cast<std::uint8_t>(local.tm_mon + 1);
  PutU16LE(&out.bytes[6], static_cast<std::uint16_t>(local.tm_year + 1900));
  return out;
}

CardTime LocalToCardTime(const TimeStamp& t) {
  if (t == TimeStamp{}) return CardTime{};
  std::tm tm{};
  tm.tm_sec = t.Second();
  tm.tm_min = t.Minute();
  tm.tm_hour = t.Hour();
  tm.tm_mday = t.Day();
  tm.tm_mon = t.Month() == 0 ? 0 : t.Month() - 1;
  tm.tm_year = t.Year() - 1900;
  tm.tm_isdst = -1;
  return JapanTime(std::mktime(&tm));
}

CardTime CardTimeNow() {
  return JapanTime(std::time(nullptr));
}

bool ReadGeometry(std::span<const std::uint8_t> image, Geometry& out, platform::Problem& why) {
  if (image.size() < kPageSize) return Refuse(why, Reason::TooShort, "", image.size(), kPageSize);
  const std::uint8_t* p = image.data();
  if (std::memcmp(p, kMagic.data(), kMagic.size()) != 0)
    return Refuse(why, Reason::BadMagic, "superblock");
  Superblock& sb = out.sb;
  sb.pageLen = GetU16LE(p + kPageLenOffset);
  sb.pagesPerCluster = GetU16LE(p + kPagesPerClusterOffset);
  sb.pagesPerBlock = GetU16LE(p + kPagesPerBlockOffset);
  sb.clustersPerCard = GetU32LE(p + kClustersPerCardOffset);
  sb.allocOffset = GetU32LE(p + kAllocOffsetOffset);
  sb.allocEnd = GetU32LE(p + kAllocEndOffset);
  sb.rootCluster = GetU32LE(p + kRootClusterOffset);
  sb.backupBlock1 = GetU32LE(p + kBackupBlock1Offset);
  sb.backupBlock2 = GetU32LE(p + kBackupBlock2Offset);
  for (std::size_t i = 0; i < kMaxIndirectClusters; ++i)
    sb.indirect[i] = GetU32LE(p + kIndirectListOffset + 4 * i);
  for (std::size_t i = 0; i < kMaxBadBlocks; ++i)
    sb.badBlocks[i] = GetU32LE(p + kBadBlockListOffset + 4 * i);

  if (sb.pageLen != kPageSize) return Refuse(why, Reason::BadField, "page length", sb.pageLen);
  if (sb.pagesPerCluster * kPageSize != kClusterSize)
    return Refuse(why, Reason::BadField, "pages per cluster", sb.pagesPerCluster);
  if (sb.pagesPerBlock == 0 || sb.pagesPerBlock % sb.pagesPerCluster != 0)
    return Refuse(why, Reason::BadField, "pages per erase block", sb.pagesPerBlock);
  std::uint64_t pages = std::uint64_t{sb.clustersPerCard} * sb.pagesPerCluster;
  if (pages == 0 || pages > 0xFFFFFFFFu)
    return Refuse(why, Reason::BadField, "clusters per card", sb.clustersPerCard);
  if (image.size() == pages * (kPageSize + kSpareSize)) {
    out.form = Form::WithEcc;
    out.rawPageSize = kPageSize + kSpareSize;
  } else if (image.size() == pages * kPageSize) {
    out.form = Form::WithoutEcc;
    out.rawPageSize = kPageSize;
  } else {
    return Refuse(why, Reason::SizeMismatch, "clusters per card", image.size(),
                  pages * (kPageSize + kSpareSize));
  }
  out.pages = static_cast<std::uint32_t>(pages);
  if (sb.allocOffset >= sb.clustersPerCard)
    return Refuse(why, Reason::BadField, "first allocatable cluster", sb.allocOffset);
  if (sb.allocEnd == 0 || sb.allocEnd > sb.clustersPerCard - sb.allocOffset)
    return Refuse(why, Reason::BadField, "last allocatable cluster", sb.allocEnd);
  if (sb.rootCluster >= sb.allocEnd)
    return Refuse(why, Reason::BadField, "root directory cluster", sb.rootCluster);
  std::uint64_t fatClusters = (sb.allocEnd + kFatEntriesPerCluster - 1) / kFatEntriesPerCluster;
  if ((fatClusters + kFatEntriesPerCluster - 1) / kFatEntriesPerCluster > kMaxIndirectClusters)
    return Refuse(why, Reason::BadField, "last allocatable cluster", sb.allocEnd);
  return true;
}

DirEntry ParseEntry(std::span<const std::uint8_t, kEntrySize> bytes) {
  const std::uint8_t* p = bytes.data();
  DirEntry e;
  e.mode = GetU16LE(p + kEntryModeOffset);
  e.length = GetU32LE(p + kEntryLengthOffset);
  e.created = ReadTime(p + kEntryCreatedOffset);
  e.cluster = GetU32LE(p + kEntryClusterOffset);
  e.parent = GetU32LE(p + kEntryParentOffset);
  e.modified = ReadTime(p + kEntryModifiedOffset);
  e.attributes = GetU32LE(p + kEntryAttrOffset);
  const char* name = reinterpret_cast<const char*>(p + kEntryNameOffset);
  e.name.assign(name, strnlen(name, kNameSize));
  return e;
}

void StoreEntry(const DirEntry& e, std::span<std::uint8_t, kEntrySize> bytes) {
  std::uint8_t* p = bytes.data();
  std::memset(p, 0, kEntrySize);
  PutU16LE(p + kEntryModeOffset, e.mode);
  PutU32LE(p + kEntryLengthOffset, e.length);
  std::memcpy(p + kEntryCreatedOffset, e.created.data(), e.created.size());
  PutU32LE(p + kEntryClusterOffset, e.cluster);
  PutU32LE(p + kEntryParentOffset, e.parent);
  std::memcpy(p + kEntryModifiedOffset, e.modified.data(), e.modified.size());
  PutU32LE(p + kEntryAttrOffset, e.attributes);
  std::memcpy(p + kEntryNameOffset, e.name.data(), std::min(e.name.size(), kNameSize));
}

}  // namespace slk::ps2
