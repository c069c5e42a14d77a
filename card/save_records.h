#pragma once
// Pieces that every save reader and writer shares: an undo guard so that a
// refused file leaves the slot as it was, the records of a PS1 save taken from
// a PS1 layout, and the steps that finish a save once its bytes are in the
// slot. Internal to the card library.

#include <cstddef>
#include <cstdint>
#include <string>

#include "card/ps1_layout.h"
#include "card/utility.h"
#include "card/workspace.h"

namespace slk {

// Drops every entry added to the slot after construction unless Keep() was
// called, so that each early return of a reader undoes its work.
class SlotRollback {
 public:
  SlotRollback(Workspace& ws, Slot s) : ws_(ws), slot_(s), keep_(ws.At(s).EntryCount()) {}
  SlotRollback(const SlotRollback&) = delete;
  SlotRollback& operator=(const SlotRollback&) = delete;
  ~SlotRollback() {
    if (armed_)
      while (ws_.At(slot_).EntryCount() > keep_) ws_.DropLastEntry(slot_);
  }
  void Keep() { armed_ = false; }

 private:
  Workspace& ws_;
  Slot slot_;
  std::uint32_t keep_;
  bool armed_ = true;
};

// Where a PS2 save's icon.sys lies in the slot's data file.
struct IconSysSpot {
  bool found = false;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// Fields of the 8-byte time and the 64-byte names inside records read whole.
TimeStamp TimeAt(Bytes record, std::size_t offset);
Name64 NameAt(Bytes record, std::size_t offset);
void PutTime(std::uint8_t* at, const TimeStamp& time);
void PutName(std::uint8_t* at, const Name64& name);
// A name as a PS1 directory frame carries it: at most 20 characters in the
// 21-byte field, NUL-padded.
void PutCardFileName(std::uint8_t* at, const Name64& name);

bool IsIconSysName(const Name64& name);

// A save's name as UTF-8, for the second line of a message.
std::string NameText(const Name64& name);

// Other tools give the single-save extensions to whole PS1 cards: 131,072
// bytes that begin with the "MC" header frame.
bool IsWholePS1Card(Bytes head, std::uint64_t fileSize);

// A PS1 save as a PS1 layout gives it: mode, one file of `size` bytes, the
// moment of reading, the card file name.
void FillPS1Entry(SaveEntry& entry, const Name64& name, std::uint32_t size, const TimeStamp& now);

// True for a PS1 save that a PS1 layout can carry: one file, whole blocks, at
// least one.
bool IsWholeBlockPS1Save(const SaveEntry& entry);

// Title, colours and icons of a save whose bytes are in the slot.
bool FinishPS1Save(Workspace& ws, Slot s, SaveEntry& entry);
bool FinishPS2Save(Workspace& ws, Slot s, SaveEntry& entry, const IconSysSpot& iconSys);

// The files of a save in a layout that stores each file as a fixed-size record
// followed by its bytes, padded to a multiple of `alignment`.
struct FileRecordLayout {
  std::size_t recordBytes;
  std::uint64_t alignment;
  SaveFileEntry (*parse)(Bytes record);
};

// Reads entry.entryCount - 2 files (entryCount >= 2) into the slot at the
// entry's offset and sets its size and file list. Counts and sizes are checked
// against the bytes left in the image before anything is allocated or copied.
// Then finishes the save: a PS1 save must be one file of whole blocks.
bool ReadSaveFiles(Workspace& ws, Slot s, platform::File& image, SaveEntry& entry,
                   const FileRecordLayout& layout);

// Lists the save a reader added last to the open slot `s`, on the terms of
// the slot's card (Copy's rules for a PS1 card; a PS2 card image must have
// room and may ask before a second save of a name). Shows the refusal
// naming `path` and returns false; the caller's SlotRollback drops the entry.
bool ListAddedSave(Workspace& ws, Slot s, const std::string& path);

}  // namespace slk
