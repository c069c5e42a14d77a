#include "card/card_image.h"

#include <array>
#include <cerrno>
#include <filesystem>

#include "card/card_backups.h"
#include "card/expanded_card.h"
#include "card/image_formats.h"
#include "card/ps1_card.h"
#include "card/ps1_chain.h"
#include "card/ps2_card_slot.h"
#include "card/refusal.h"
#include "card/utility.h"
#include "platform/atomic_file.h"
#include "platform/sjis.h"

namespace slk {
namespace {

// A save whose blocks broke off on the card it came from would be written as
// if it were whole: the user says for each whether it may be.
bool AcceptShortenedSaves(Workspace& ws, Slot s, const std::string& path) {
  for (std::uint32_t row = 0; row < ws.At(s).RowCount(); ++row) {
    const SaveEntry& e = ws.At(s).AtRow(row);
    if (!e.Shortened()) continue;
    std::string name = platform::ShiftJisToUtf8(Bytes(e.name.data(), BoundedLength(e.name)));
    platform::Problem why =
        ShortenedSaveProblem(path, std::move(name), e.size / kBlockSize, e.declaredBlocks);
    if (!ws.Ui().AskProblem(MessageId::AskSaveShortened, why)) return false;
  }
  return true;
}

// Undoes what a failed reader added, so that a refused file leaves the slot as
// it was (empty).
void DropEntriesAfter(Workspace& ws, Slot s, std::uint32_t keep) {
  while (ws.At(s).EntryCount() > keep) ws.DropLastEntry(s);
}

std::uint32_t SavePS2CardImage(Workspace& ws, Slot s, const std::string& path) {
  SlotData& slot = ws.At(s);
  std::unique_ptr<ps2::Ps2CardImage> made;
  if (!slot.ps2Card) {
    // Another card becomes a new formatted card holding its rows; the slot
    // keeps it only once it is written.
    platform::Problem why;
    made = BuildPS2Card(ws, s, why);
    if (!made) {
      if (why) ws.Ui().ShowProblem(MessageId::FileNotPreserved, why);
      return 0;
    }
  }
  const ps2::Ps2CardImage& card = made ? *made : *slot.ps2Card;
  if (card.Damaged()) {
    platform::Problem why = DamageProblem(card);
    why.path = path;
    if (!ws.Ui().AskProblem(MessageId::AskSaveDamaged, why)) return 0;
  }
  platform::AtomicFile out(path);
  if (!out.IsOpen()) {
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, out.Why());
    return 0;
  }
  if (!KeepCardBackup(ws, path)) return 0;
  const std::vector<std::uint8_t>& bytes = card.Serialize();
  if (!out.Stream().WriteExact(bytes.data(), bytes.size()) || !out.Commit()) {
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, out.Why());
    return 0;
  }
  if (made) slot.ps2Card = std::move(made);
  slot.kind = CardKind::PS2Card;
  return 1;
}

CardKind KindOf(const FormatRow& format) {
  switch (format.layout) {
    case FormatLayout::PS2Card:
      return CardKind::PS2Card;
    case FormatLayout::ExpandedCard:
      return CardKind::PS2;
    default:
      return CardKind::PS1;
  }
}

bool ReadCard(Workspace& ws, Slot s, platform::File& image, const FormatRow& format) {
  switch (format.layout) {
    case FormatLayout::PS2Card:
      return ReadPS2CardImage(ws, s, image);
    case FormatLayout::ExpandedCard:
      return ReadExpandedCard(ws, s, image) != 0;
    default:
      return ReadPS1Card(ws, s, image, format.variant) != 0;
  }
}

}  // namespace

bool IsRawPS1Save(const std::string& path) {
  platform::File file = platform::File::OpenForReading(path);
  std::uint64_t size = file.Size();
  std::array<std::uint8_t, 2> magic{};
  return file.IsOpen() && size >= kBlockSize && size <= kCardCapacity && size % kBlockSize == 0 &&
         file.ReadExact(magic.data(), magic.size()) && magic[0] == 'S' && magic[1] == 'C';
}

PathKind KindOfPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  const FormatRow* card = FormatOfPath(path, FileKind::CardImage);
  const FormatRow* save = FormatOfPath(path, FileKind::SaveDataImage);
  if (card) {
    // A file that is not there, or cannot be read, goes to the card reader,
    // which says why.
    bool rawSave =
        card->layout == FormatLayout::PS1Card && fs::is_regular_file(status) && IsRawPS1Save(path);
    return rawSave ? PathKind::SaveDataImage : PathKind::CardImage;
  }
  if (!save) return PathKind::Neither;
  std::size_t name = path.find_last_of('/');
  bool extension = path.find('.', name == std::string::npos ? 0 : name + 1) != std::string::npos;
  return !extension && fs::is_directory(status) ? PathKind::Neither : PathKind::SaveDataImage;
}

void ShowReadFailure(Workspace& ws, Slot s, const std::string& path) {
  // Every save read is copied into the slot's temporary file; when that
  // fails, the card is fine and the temporary folder is to blame.
  const platform::File& store = ws.At(s).dataFile;
  int error = store.Failed() ? store.Error() : 0;
  if (error == ENOSPC || error == EDQUOT) {
    ws.TakeRefusal();
    ws.Ui().ShowProblem(MessageId::FileNotOpened, platform::TempSpaceProblem(error, path));
    return;
  }
  ShowRefusal(ws, path);
}

std::uint32_t OpenCardImage(Workspace& ws, Slot s, const std::string& path) {
  if (!ws.At(s).open) return 0;
  const FormatRow* format = FormatOfPath(path, FileKind::CardImage);
  if (!format) {
    ws.Ui().ShowMessage(MessageId::NotCardImage);
    return 0;
  }
  platform::Problem why;
  platform::File image = platform::File::OpenForReading(path, why);
  if (!image.IsOpen()) {
    ws.Ui().ShowProblem(MessageId::FileNotOpened, why);
    return 0;
  }
  std::uint32_t before = ws.At(s).EntryCount();
  ws.TakeRefusal();
  if (!ReadCard(ws, s, image, *format)) {
    DropEntriesAfter(ws, s, before);
    ShowReadFailure(ws, s, path);
    return 0;
  }
  ws.At(s).kind = KindOf(*format);
  if (format->layout == FormatLayout::PS2Card && ws.At(s).ps2Card->Damaged()) {
    platform::Problem why = DamageProblem(*ws.At(s).ps2Card);
    why.path = path;
    ws.Ui().ShowProblem(MessageId::PS2CardDamaged, why);
  }
  return 1;
}

std::uint32_t SaveCardImage(Workspace& ws, Slot s, const std::string& path) {
  const FormatRow* format = FormatOfPath(path, FileKind::CardImage);
  if (!format) {
    ws.Ui().ShowMessage(MessageId::NotCardImage);
    return 0;
  }
  if (format->layout == FormatLayout::PS2Card) return SavePS2CardImage(ws, s, path);
  bool expanded = format->layout == FormatLayout::ExpandedCard;
  // A PS1 card cannot carry PS2 saves or more than 15 blocks: refuse before
  // the old file is touched rather than write a card other tools misread.
  if (!expanded && !RowsFitPS1Card(ws, s)) {
    ws.Ui().ShowMessage(MessageId::FileNotPreserved);
    return 0;
  }
  if (!AcceptShortenedSaves(ws, s, path)) return 0;
  if (!SigningLibraryLoads(ws, *format, MessageId::FileNotPreserved)) return 0;
  platform::AtomicFile out(path);
  if (!out.IsOpen()) {
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, out.Why());
    return 0;
  }
  if (!KeepCardBackup(ws, path)) return 0;
  bool written = expanded ? WriteExpandedCard(ws, s, out.Stream(), false, nullptr) != 0
                          : WritePS1Card(ws, s, out.Stream(), format->variant);
  if (!written || !out.Commit()) {
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, out.Why());
    return 0;
  }
  ws.At(s).kind = expanded ? CardKind::PS2 : CardKind::PS1;
  ws.At(s).ps2Card.reset();
  return 1;
}

}  // namespace slk
