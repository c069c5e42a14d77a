#pragma once
// The application object: both slots with their saves, the lock state and the
// icon state the display reads. A card image file is never kept open; opening
// copies every save's bytes into the slot's temporary data file, and every
// later operation reads them from there. Only a command that just reads an
// expanded card keeps it open and reads the saves from it (readsInPlace).

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "card/current_icon.h"
#include "card/messages.h"
#include "card/ps2/ps2_card_image.h"
#include "card/save_entry.h"
#include "card/settings.h"
#include "platform/file.h"
#include "platform/problem.h"

namespace slk {

using Slot = int;
constexpr Slot kLeft = 0;
constexpr Slot kRight = 1;
inline Slot OtherSlot(Slot s) {
  return 1 - s;
}

struct SlotData {
  bool open = false;
  CardKind kind = CardKind::PS2;
  platform::File dataFile;  // the slot's temporary data file
  // Set before a card is opened into the slot by a command that only reads
  // it: an expanded card's saves then stay where they lie in the card file
  // (dataFile becomes a piece view of it) instead of being copied. Such a
  // slot is never written.
  bool readsInPlace = false;
  std::vector<SaveEntry> entries;
  std::vector<std::uint32_t> rows;  // row r shows entries[rows[r]]
  // The card image a PS2Card slot was opened from (or formatted as), changed
  // in step with the rows so that Save writes it back in place. Saves the
  // rows cannot carry (subfolders) stay on it unlisted.
  std::unique_ptr<ps2::Ps2CardImage> ps2Card;

  std::uint32_t EntryCount() const { return static_cast<std::uint32_t>(entries.size()); }
  std::uint32_t RowCount() const { return static_cast<std::uint32_t>(rows.size()); }
  SaveEntry& AtRow(std::uint32_t row) { return entries[rows[row]]; }
  const SaveEntry& AtRow(std::uint32_t row) const { return entries[rows[row]]; }
};

struct LockState {
  std::string path;
  // Read by the rendering thread every detail frame (the lock banner) while
  // Lock and unlock run without pausing it.
  std::atomic<bool> locked{false};
};

// Why a reader refused its file: the message to show (0 for the opener's
// own "The File wasn't opened.") and the reason for its second line.
struct Refusal {
  int message = 0;
  platform::Problem why;
};

// The card code's "now", as local calendar time. Tests put a fixed moment in
// its place so that the date bytes read and written can be checked.
using Clock = std::function<std::tm()>;

// How an icon.sys in text form begins (homebrew installers write one).
constexpr std::string_view kTextIconSysMagic = "PS2X";

// Three names from icon.sys, read while one PS2 save is being read.
using IconNameScratch = std::array<Name64, 3>;

class Workspace {
 public:
  Workspace(MessageSink& ui, const Settings& settings);
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  ~Workspace();

  MessageSink& Ui() { return *ui_; }
  const Settings& CurrentSettings() const { return *settings_; }

  SlotData& At(Slot s) { return slots_[s]; }
  const SlotData& At(Slot s) const { return slots_[s]; }

  // Opens an empty slot. Fails if it is already open or its storage cannot be
  // made. With askKind the kind is the default image or the user's choice.
  std::uint32_t CreateSlotStore(Slot s, std::uint32_t askKind);
  // Releases everything the slot holds and removes an outstanding lock file.
  void CloseSlot(Slot s);
  // Closes slot `s` and puts in its place slot `s` of `from`, a scratch
  // workspace a file was read into, whose slot is left closed. Lets a file be
  // read whole before it replaces what the slot held.
  void TakeSlot(Slot s, Workspace& from);
  // Puts `other` in the slot and gives back what the slot held, temporary
  // file and all (Undo keeps a replaced card this way). An open card leaving
  // the slot removes an outstanding lock file, as closing it does.
  SlotData ExchangeSlot(Slot s, SlotData other);

  // Grows both arrays of the slot by one zeroed element placed after the last
  // entry's bytes. False when the arrays cannot grow or the slot's 32-bit
  // offsets would overflow with `expectedSize` more bytes.
  bool AddEntry(Slot s, std::uint64_t expectedSize = 0);
  // Appends the entry added last as the new last row.
  void ListLastEntry(Slot s);
  // Removes the entry added last (and its row, if any); used to undo a read
  // that failed half-way so that a refused file leaves the slot unchanged.
  void DropLastEntry(Slot s);
  // Offset at which the next entry's bytes go.
  std::uint64_t NextOffset(Slot s) const;

  // Title, line lengths and colours from the data file.
  bool ReadPS1Title(Slot s, std::uint32_t offset, SaveEntry& entry);
  // The same from a title frame in memory (a reader that has the save's first
  // block at hand need not read it back); a frame too short gives no title.
  static void ApplyPS1Title(std::span<const std::uint8_t> titleFrame, SaveEntry& entry);
  // Also notes whether icon.sys is the text form (entry.iconSysForm).
  bool ReadIconSys(Slot s, std::uint32_t offset, std::uint32_t size, SaveEntry& entry);
  // What a PS2 save without an icon.sys shows.
  static void ApplyMissingIconSys(SaveEntry& entry);
  void ResolveIcons(Slot s, SaveEntry& entry);

  // Aligned copies between an image file and the slot's data file, at the
  // current positions of both. False when a read or write falls short.
  bool CopyIntoSlot(platform::File& image, Slot s, std::uint64_t n, std::uint64_t alignment);
  bool CopyOutOfSlot(platform::File& image, Slot s, std::uint64_t n, std::uint64_t alignment);
  bool CopyBetweenSlots(Slot from, std::uint64_t n);
  // CopyIntoSlot for the files of one save: the bytes are held back and go
  // into the data file in one write by FlushHeldBytes (a write per file cost
  // more than the copying). The data file's position is where they go; move
  // it or read the slot only after the flush. A file larger than what can be
  // held is copied at once, after what is held. A slot whose data file is a
  // piece view of `image` (it reads in place) takes the bytes as a piece.
  bool CopyIntoSlotHeld(platform::File& image, Slot s, std::uint64_t n, std::uint64_t alignment);
  // Writes what is held at the data file's position; false when that fails.
  bool FlushHeldBytes(Slot s);
  // Forgets what is held (a read that failed half-way).
  void DropHeldBytes() { heldBytes_ = 0; }

  // Reads bytes of a save back from the slot's data file.
  bool ReadSlotBytes(Slot s, std::uint64_t offset, void* buffer, std::uint64_t n);

  // A reader that refuses its file says why here; the opener shows it once,
  // with the reader's message when it gave one, and takes the note back. The
  // first note stands: it is the deepest cause.
  void Refuse(platform::Problem why, int message = 0);
  Refusal TakeRefusal();

  // The moment time stamps are made from: the local clock unless a test set
  // another.
  TimeStamp Now() const;
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // Deletes the lock file if one was written, and clears the lock.
  void DeleteLockFile();

  LockState& Lock() { return lock_; }
  const LockState& Lock() const { return lock_; }
  IconNameScratch& IconNames() { return iconNames_; }

  // Icon state: written by the icon pipeline, read by the display.
  CurrentIcon& Icon() { return currentIcon_; }
  const CurrentIcon& Icon() const { return currentIcon_; }
  std::array<std::array<std::uint32_t, 12>, 2>& CellFrameCount() { return cellFrameCount_; }
  const std::array<std::array<std::uint32_t, 12>, 2>& CellFrameCount() const {
    return cellFrameCount_;
  }

 private:
  std::uint8_t* CopyBuffer();
  static void SplitPS1Title(SaveEntry& entry);

  MessageSink* ui_;
  const Settings* settings_;
  std::array<SlotData, 2> slots_;
  LockState lock_;
  IconNameScratch iconNames_{};
  CurrentIcon currentIcon_;
  std::array<std::array<std::uint32_t, 12>, 2> cellFrameCount_{};
  std::unique_ptr<std::uint8_t[]> copyBuffer_;  // the chunk every copy goes through
  std::uint64_t heldBytes_ = 0;                 // at the start of copyBuffer_
  Refusal refusal_;
  Clock clock_;
};

}  // namespace slk
