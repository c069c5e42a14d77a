#include "card/save_data_image.h"

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/ps2_card_slot.h"
#include "card/refusal.h"
#include "card/save_operations.h"
#include "card/save_records.h"
#include "platform/atomic_file.h"

namespace slk {
namespace {

bool IsPsuLayout(int index) {
  return index == static_cast<int>(ImageFormat::Psu) || index == static_cast<int>(ImageFormat::Psd);
}

bool IsFramedBlocksLayout(int index) {
  return index == static_cast<int>(ImageFormat::Psm) || index == static_cast<int>(ImageFormat::Mc);
}

constexpr int kFirstSingleFrame = static_cast<int>(ImageFormat::Ps1);

// "dir/BESLES-04095XSMOTO.mcb" -> "BESLES-04095XSMOTO".
std::string_view FileStem(std::string_view path) {
  auto slash = path.find_last_of('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  auto dot = path.find_last_of('.');
  return dot == std::string_view::npos ? path : path.substr(0, dot);
}

std::uint32_t ReadSaveImage(Workspace& ws, Slot s, platform::File& image, int index,
                            std::string_view path) {
  if (IsPsuLayout(index)) return ReadPsu(ws, s, image);
  if (IsFramedBlocksLayout(index)) return ReadFramedBlocks(ws, s, image);
  return ReadSingleFrameImage(ws, s, image, index - kFirstSingleFrame, FileStem(path));
}

}  // namespace

bool SaveImageCarries(int index, const SaveEntry& entry) {
  if (index < 0 || index > static_cast<int>(ImageFormat::Mc)) return false;
  return IsPsuLayout(index) || IsWholeBlockPS1Save(entry);
}

std::uint32_t WriteSaveImage(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                             int index) {
  if (!SaveImageCarries(index, entry)) return 0;
  if (IsPsuLayout(index)) return WritePsu(ws, s, entry, image);
  if (IsFramedBlocksLayout(index)) return WriteFramedBlocks(ws, s, entry, image);
  return WriteSingleFrameImage(ws, s, entry, image, index - kFirstSingleFrame);
}

std::uint32_t AddSaveImage(Workspace& ws, Slot s, const std::string& path) {
  int index = ExtensionIndex(path, FormatList::SaveDataImage);
  if (index < 0) {
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
  if (!ReadSaveImage(ws, s, image, index, path)) {
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
  int index = ExtensionIndex(path, FormatList::SaveDataImage);
  if (index < 0) {
    ws.Ui().ShowMessage(MessageId::NotSaveDataImage);
    return 0;
  }
  // A PS2 save has no place in the PS1-only layouts: refuse before the old
  // file is touched rather than write its first file as if it were blocks.
  const SlotData& slot = ws.At(s);
  if (!slot.open || row >= slot.RowCount() || !SaveImageCarries(index, slot.AtRow(row))) {
    ws.Ui().ShowMessage(MessageId::FileNotPreserved);
    return 0;
  }
  platform::AtomicFile out(path);
  if (!out.IsOpen() || !WriteSaveImage(ws, s, slot.AtRow(row), out.Stream(), index) ||
      !out.Commit()) {
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, out.Why());
    return 0;
  }
  return 1;
}

}  // namespace slk
