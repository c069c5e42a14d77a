#include "card/save_data_image.h"

#include "card/card_image.h"
#include "card/foreign_saves.h"
#include "card/image_formats.h"
#include "card/ps2_card_slot.h"
#include "card/refusal.h"
#include "card/save_operations.h"
#include "card/save_records.h"
#include "platform/atomic_file.h"

namespace slk {
namespace {

// "dir/BESLES-04095XSMOTO.mcb" -> "BESLES-04095XSMOTO".
std::string_view FileStem(std::string_view path) {
  auto slash = path.find_last_of('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  auto dot = path.find_last_of('.');
  return dot == std::string_view::npos ? path : path.substr(0, dot);
}

std::uint32_t ReadSaveImage(Workspace& ws, Slot s, platform::File& image, const FormatRow& format,
                            std::string_view path) {
  switch (format.layout) {
    case FormatLayout::Psu:
      return ReadPsu(ws, s, image);
    case FormatLayout::FramedBlocks:
      return ReadFramedBlocks(ws, s, image);
    case FormatLayout::SingleFrame:
      return ReadSingleFrameImage(ws, s, image, format.variant, FileStem(path));
    default:
      return ReadForeignSave(ws, s, image, format.layout, FileStem(path));
  }
}

}  // namespace

const FormatRow* SaveImageFormat(const std::string& path) {
  if (const FormatRow* format = FormatOfPath(path, FileKind::SaveDataImage)) return format;
  // A single save under a PS1 card's extension.
  if (IsCardImagePath(path) && IsRawPS1Save(path)) return &RowOf(SaveFormat::RawPs1);
  return nullptr;
}

bool SaveImageCarries(SaveFormat format, const SaveEntry& entry) {
  const FormatRow& row = RowOf(format);
  if (!row.writable) return false;
  // Only the .psu layout keeps a PS1 save that is not made of whole blocks.
  if (entry.IsPS1())
    return row.carries != Carries::PS2Only &&
           (row.layout == FormatLayout::Psu || IsWholeBlockPS1Save(entry));
  return row.carries != Carries::PS1Only;
}

std::uint32_t WriteSaveImage(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                             SaveFormat format) {
  if (!SaveImageCarries(format, entry)) return 0;
  const FormatRow& row = RowOf(format);
  switch (row.layout) {
    case FormatLayout::Psu:
      return WritePsu(ws, s, entry, image);
    case FormatLayout::FramedBlocks:
      return WriteFramedBlocks(ws, s, entry, image);
    case FormatLayout::SingleFrame:
      return WriteSingleFrameImage(ws, s, entry, image, row.variant);
    default:
      return WriteForeignSave(ws, s, entry, image, row.layout);
  }
}

std::uint32_t AddSaveImage(Workspace& ws, Slot s, const std::string& path) {
  const FormatRow* format = SaveImageFormat(path);
  if (!format) {
    ws.Ui().ShowMessage(MessageId::NotSaveDataImage);
    return 0;
  }
  if (!ws.At(s).open) return 0;
  platform::Problem why;
  platform::File image = platform::File::OpenForReading(path, why);
  if (!image.IsOpen()) {
    ws.Ui().ShowProblem(MessageId::FileNotOpened, why);
    return 0;
  }
  SlotRollback rollback(ws, s);
  ws.TakeRefusal();
  if (!ReadSaveImage(ws, s, image, *format, path)) {
    ShowReadFailure(ws, s, path);
    return 0;
  }
  if (!ListAddedSave(ws, s, path)) return 0;
  rollback.Keep();
  return 1;
}

bool ListAddedSave(Workspace& ws, Slot s, const std::string& path) {
  // A PS1 card takes a save on Copy's terms, or it could no longer be saved.
  if (ws.At(s).kind == CardKind::PS1) {
    Refusal refusal = PS1CardRefusal(ws.At(s), ws.At(s).entries.back());
    if (refusal.message != 0) {
      ws.Refuse(refusal.why, refusal.message);
      ShowRefusal(ws, path);
      return false;
    }
  }
  if (ws.At(s).kind == CardKind::PS2Card) {
    const SaveEntry& save = ws.At(s).entries.back();
    if (!PS2CardTakes(ws, save)) return false;
    if (ListsSaveNamed(ws.At(s), save.name) && !ws.Ui().AskYesNo(MessageId::AskAddIt)) return false;
    if (!PutOnPS2Card(ws, s, s, save)) return false;
  }
  ws.ListLastEntry(s);
  return true;
}

std::uint32_t SaveSaveImage(Workspace& ws, Slot s, std::uint32_t row, const std::string& path) {
  std::optional<SaveFormat> format = SaveFormatOf(path);
  if (!format) {
    ws.Ui().ShowMessage(MessageId::NotSaveDataImage);
    return 0;
  }
  // A PS2 save has no place in the PS1-only layouts: refuse before the old
  // file is touched rather than write its first file as if it were blocks.
  const SlotData& slot = ws.At(s);
  if (!slot.open || row >= slot.RowCount() || !SaveImageCarries(*format, slot.AtRow(row))) {
    ws.Ui().ShowMessage(MessageId::FileNotPreserved);
    return 0;
  }
  if (!SigningLibraryLoads(ws, RowOf(*format), MessageId::FileNotPreserved)) return 0;
  platform::AtomicFile out(path);
  if (!out.IsOpen() || !WriteSaveImage(ws, s, slot.AtRow(row), out.Stream(), *format) ||
      !out.Commit()) {
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, out.Why());
    return 0;
  }
  return 1;
}

}  // namespace slk
