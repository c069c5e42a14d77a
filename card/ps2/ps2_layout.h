#pragma once
// The on-card layout of a PS2 memory card image: the superblock in page 0,
// the two-level FAT, and the 512-byte directory entries. All integers are
// little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "card/save_entry.h"
#include "platform/problem.h"

namespace slk::ps2 {

constexpr std::size_t kPageSize = 512;
constexpr std::size_t kSpareSize = 16;  // 12 bytes of ECC, 4 unused
constexpr std::size_t kEccBytes = 12;
constexpr std::size_t kClusterSize = 1024;
constexpr std::size_t kFatEntriesPerCluster = kClusterSize / 4;
constexpr std::size_t kMaxIndirectClusters = 32;
constexpr std::size_t kMaxBadBlocks = 32;
constexpr std::size_t kEntrySize = 512;
constexpr std::size_t kEntriesPerCluster = kClusterSize / kEntrySize;
constexpr std::size_t kNameSize = 32;

// Superblock fields, "N bytes at 0xOFF".
constexpr std::string_view kMagic = "Sony PS2 Memory Card Format ";  // 28 bytes at 0x00
constexpr std::size_t kVersionOffset = 0x1C;                         // 12 bytes
constexpr std::size_t kPageLenOffset = 0x28;                         // u16
constexpr std::size_t kPagesPerClusterOffset = 0x2A;                 // u16
constexpr std::size_t kPagesPerBlockOffset = 0x2C;                   // u16
constexpr std::size_t kFixedFF00Offset = 0x2E;                       // u16, 0xFF00
constexpr std::size_t kClustersPerCardOffset = 0x30;                 // u32
constexpr std::size_t kAllocOffsetOffset = 0x34;                     // u32, first data cluster
constexpr std::size_t kAllocEndOffset = 0x38;                        // u32, data clusters in use
constexpr std::size_t kRootClusterOffset = 0x3C;                     // u32, relative to alloc
constexpr std::size_t kBackupBlock1Offset = 0x40;                    // u32, erase block
constexpr std::size_t kBackupBlock2Offset = 0x44;                    // u32, erase block
constexpr std::size_t kIndirectListOffset = 0x50;                    // 32 x u32
constexpr std::size_t kBadBlockListOffset = 0xD0;                    // 32 x u32
constexpr std::size_t kCardTypeOffset = 0x150;                       // u8, 2
constexpr std::size_t kCardFlagsOffset = 0x151;                      // u8

// FAT entries: bit 31 marks an allocated cluster, the low 31 bits its next
// cluster. A cleared bit 31 is a free cluster (formatted cards write
// 0x7FFFFFFF there); 0xFFFFFFFF is the last cluster of a chain.
constexpr std::uint32_t kFatAllocated = 0x80000000u;
constexpr std::uint32_t kFatNextMask = 0x7FFFFFFFu;
constexpr std::uint32_t kFatChainEnd = 0xFFFFFFFFu;
constexpr std::uint32_t kFatFree = 0x7FFFFFFFu;

// Mode bits of a directory entry.
constexpr SaveMode kModeExists = 0x8000;
constexpr SaveMode kModeHidden = 0x2000;
constexpr SaveMode kModeDirectory = 0x0020;
constexpr SaveMode kModeFile = 0x0010;
constexpr SaveMode kModeDotDir = 0x8427;      // "." and ".." of a save
constexpr SaveMode kModeRootDotDot = 0xA426;  // ".." of a freshly formatted root

// Directory entry fields.
constexpr std::size_t kEntryModeOffset = 0x00;      // u16
constexpr std::size_t kEntryLengthOffset = 0x04;    // u32: bytes of a file, entries of a directory
constexpr std::size_t kEntryCreatedOffset = 0x08;   // 8 bytes, card time
constexpr std::size_t kEntryClusterOffset = 0x10;   // u32, first cluster
constexpr std::size_t kEntryParentOffset = 0x14;    // u32, "." only: index in the parent
constexpr std::size_t kEntryModifiedOffset = 0x18;  // 8 bytes, card time
constexpr std::size_t kEntryAttrOffset = 0x20;      // u32
constexpr std::size_t kEntryNameOffset = 0x40;      // 32 bytes, NUL-padded

// A time as the card stores it: unused, second, minute, hour, day, month,
// u16 year, in Japan time (UTC+9).
using CardTime = std::array<std::uint8_t, 8>;

// Card time to the program's local-time stamp and back. An all-zero time
// stays zero.
TimeStamp CardTimeToLocal(const CardTime& t);
CardTime LocalToCardTime(const TimeStamp& t);
CardTime CardTimeNow();

struct Superblock {
  std::uint16_t pageLen = 0;
  std::uint16_t pagesPerCluster = 0;
  std::uint16_t pagesPerBlock = 0;
  std::uint32_t clustersPerCard = 0;
  std::uint32_t allocOffset = 0;
  std::uint32_t allocEnd = 0;
  std::uint32_t rootCluster = 0;
  std::uint32_t backupBlock1 = 0;
  std::uint32_t backupBlock2 = 0;
  std::array<std::uint32_t, kMaxIndirectClusters> indirect{};
  std::array<std::uint32_t, kMaxBadBlocks> badBlocks{};  // 0xFFFFFFFF: none
};

// Whether the image keeps the 16 spare bytes after each page.
enum class Form { WithEcc, WithoutEcc };

struct Geometry {
  Superblock sb;
  Form form = Form::WithEcc;
  std::size_t rawPageSize = 0;  // 528 or 512
  std::uint32_t pages = 0;
};

// Reads the superblock and tells the form from the file size. Refuses a
// missing magic, a geometry other than 512-byte pages in 1 KiB clusters, and
// a size that matches neither form.
bool ReadGeometry(std::span<const std::uint8_t> image, Geometry& out, platform::Problem& why);

struct DirEntry {
  SaveMode mode = 0;
  std::uint32_t length = 0;
  CardTime created{};
  std::uint32_t cluster = 0;
  std::uint32_t parent = 0;
  CardTime modified{};
  std::uint32_t attributes = 0;
  std::string name;  // up to 32 bytes, as stored

  bool Exists() const { return (mode & kModeExists) != 0; }
  bool IsDirectory() const { return (mode & (kModeDirectory | kModeFile)) == kModeDirectory; }
  bool IsFile() const { return (mode & (kModeDirectory | kModeFile)) == kModeFile; }
};

DirEntry ParseEntry(std::span<const std::uint8_t, kEntrySize> bytes);
// Writes the known fields; the bytes between them are zeroed.
void StoreEntry(const DirEntry& e, std::span<std::uint8_t, kEntrySize> bytes);

}  // namespace slk::ps2
