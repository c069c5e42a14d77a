#pragma once
// The menu and dialog resources as plain tables: every text in English and
// Japanese (UTF-8), with the ids, start states and dialog-unit rectangles
// that the window builds its menu bar and dialogs from.

#include <array>
#include <span>

#include "resources/strings.h"

namespace slk::res {

struct LocalText {
  const char* english;
  const char* japanese;
  const char* In(Language language) const {
    return language == Language::Japanese ? japanese : english;
  }
};

// ---- Menu 140 ---------------------------------------------------------------

namespace MenuId {
// Slot commands come in Left/Right pairs: Left = the odd id, Right = id + 1.
constexpr int NewFile = 40001;
constexpr int InsertChange = 40003;
constexpr int Eject = 40005;
constexpr int AddSaveDataImage = 40007;
constexpr int Save = 40009;
constexpr int SaveAs = 40011;
constexpr int Exit = 40013;
constexpr int Copy = 40014;
constexpr int Delete = 40015;
constexpr int SaveSdi = 40016;
constexpr int Lock = 40017;
constexpr int Setting = 40018;
constexpr int Info = 40019;
// Edit commands of this program's own, after the menu resource's ids.
constexpr int Undo = 40020;
constexpr int Redo = 40021;
constexpr int Rename = 40022;
// Slot items of this program's own, apart from the original range.
constexpr int RestoreBackup = 40101;  // Left; Right is 40102
}  // namespace MenuId

enum class MenuEntryKind {
  Popup,  // opens a submenu; the entries up to its PopupEnd belong to it
  PopupEnd,
  Item,  // a command with its id
  Separator,
};

struct MenuEntry {
  MenuEntryKind kind;
  int id;  // command id of an Item, else 0
  LocalText text;
  bool startsGrey;  // an Item that starts disabled
};

namespace detail {
constexpr MenuEntry Popup(const char* en, const char* ja) {
  return {MenuEntryKind::Popup, 0, {en, ja}, false};
}
constexpr MenuEntry End() {
  return {MenuEntryKind::PopupEnd, 0, {"", ""}, false};
}
constexpr MenuEntry Separator() {
  return {MenuEntryKind::Separator, 0, {"", ""}, false};
}
constexpr MenuEntry Item(int id, const char* en, const char* ja, bool grey = false) {
  return {MenuEntryKind::Item, id, {en, ja}, grey};
}
}  // namespace detail

// The menu bar in order, submenus nested between Popup and PopupEnd.
inline constexpr std::array kMenu140{
    detail::Popup("File (&F)", "ファイル(&F)"),
    detail::Popup("Left Slot (&L)", "左スロット(&L)"),
    detail::Item(MenuId::NewFile, "New File (&N)", "新規作成(&N)"),
    detail::Item(MenuId::InsertChange, "Insert, Change (&I)", "挿入・入れ換え(&I)"),
    detail::Item(MenuId::Eject, "Eject (&E)", "取り出し(&E)", true),
    detail::Item(MenuId::AddSaveDataImage, "Add SaveDataImage (&A)", "セーブデータ追加(&A)"),
    detail::Separator(),
    detail::Item(MenuId::Save, "Save (&S)", "上書き保存(&S)", true),
    detail::Item(MenuId::SaveAs, "SaveAs...", "名前を付けて保存", true),
    detail::Separator(),
    detail::Item(MenuId::RestoreBackup, "Restore Backup... (&B)", "バックアップから復元...(&B)",
                 true),
    detail::End(),
    detail::Popup("Right Slot (&R)", "右スロット(&R)"),
    detail::Item(MenuId::NewFile + 1, "New File (&N)", "新規作成(&N)"),
    detail::Item(MenuId::InsertChange + 1, "Insert, Change (&I)", "挿入・入れ換え(&I)"),
    detail::Item(MenuId::Eject + 1, "Eject (&E)", "取り出し(&E)", true),
    detail::Item(MenuId::AddSaveDataImage + 1, "Add SaveDataImage (&A)", "セーブデータ追加(&A)"),
    detail::Separator(),
    detail::Item(MenuId::Save + 1, "Save (&S)", "上書き保存(&S)", true),
    detail::Item(MenuId::SaveAs + 1, "SaveAs...", "名前を付けて保存", true),
    detail::Separator(),
    detail::Item(MenuId::RestoreBackup + 1, "Restore Backup... (&B)", "バックアップから復元...(&B)",
                 true),
    detail::End(),
    detail::Separator(),
    detail::Item(MenuId::Exit, "Exit (&X)", "終了(&X)"),
    detail::End(),
    detail::Popup("Edit (&E)", "編集(&E)"),
    detail::Item(MenuId::Undo, "Undo (&U)", "元に戻す(&U)", true),
    detail::Item(MenuId::Redo, "Redo (&R)", "やり直し(&R)", true),
    detail::Separator(),
    detail::Item(MenuId::Copy, "Copy (&C)", "Ｃｏｐｙ(&C)", true),
    detail::Item(MenuId::Delete, "Delete (&D)", "Ｄｅｌｅｔｅ(&D)", true),
    detail::Item(MenuId::Rename, "Rename (&N)", "名前の変更(&N)", true),
    detail::Separator(),
    detail::Item(MenuId::SaveSdi, "SaveSDI(&S)", "ＳａｖｅＳＤＩ(&S)", true),
    detail::Item(MenuId::Lock, "Lock (&L)", "Ｌｏｃｋ(&L)", true),
    detail::End(),
    detail::Popup("Options (&O)", "オプション(&O)"),
    detail::Item(MenuId::Setting, "Setting (&S)", "設定(&S)"),
    detail::End(),
    detail::Popup("Help (&H)", "ヘルプ(&H)"),
    detail::Item(MenuId::Info, "Info (&A)", "バージョン情報(&A)"),
    detail::End(),
};

// ---- Dialogs 141, 142, 143 --------------------------------------------------

// Dialog units: x, y, width, height.
struct DialogRect {
  int x, y, w, h;
};

enum class ControlKind {
  GroupBox,
  Frame,  // an etched rectangle without a caption
  Label,
  RadioButtonFirst,  // first radio button of a group
  RadioButton,
  CheckBox,
  CheckBoxMultiLine,
  EditBox,  // auto-scrolling
  PushButton,
  DefaultPushButton,
  DropDownList,
  Icon,  // the program icon, 110, at its own size (the rectangle's w and h are 0)
};

struct DialogControl {
  int id;  // -1 for static controls without an id
  ControlKind kind;
  LocalText text;
  DialogRect english;
  DialogRect japanese;
};

struct DialogTemplate {
  int resourceId;
  LocalText title;
  bool closeBox;       // the caption has a close box
  DialogRect english;  // x and y unused (0)
  DialogRect japanese;
  std::span<const DialogControl> controls;
};

namespace ControlId {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int PS2MemoryCard = 1000;  // radio buttons: 1000 + CardKind
constexpr int PS1MemoryCard = 1001;
constexpr int UseDefaultImage = 1002;
constexpr int LockFolder = 1003;
constexpr int Browse = 1004;
constexpr int LockFormatPS1 = 1005;
constexpr int LockFormatPS2 = 1006;
constexpr int LockAutoIconic = 1007;
constexpr int HalPriority = 1008;
constexpr int AnimationCut = 1009;
constexpr int UseSlotPath = 1010;
constexpr int PS2CardImage = 1011;  // the Image Select dialog's third choice
constexpr int WindowScale = 1012;   // automatic, 1x, 2x, 3x
constexpr int BackupGenerations = 1013;
}  // namespace ControlId

inline constexpr DialogControl kSettingControls[] = {
    {-1,
     ControlKind::GroupBox,
     {"Default Image", "デフォルトのイメージ"},
     {7, 7, 126, 48},
     {7, 7, 121, 54}},
    {ControlId::PS2MemoryCard,
     ControlKind::RadioButtonFirst,
     {"PS2 MemoryCard", "ＰＳ２メモリーカード"},
     {31, 21, 72, 10},
     {31, 21, 71, 10}},
    {ControlId::PS1MemoryCard,
     ControlKind::RadioButton,
     {"PS1 MemoryCard", "ＰＳ１メモリーカード"},
     {31, 36, 72, 10},
     {31, 40, 71, 10}},
    {ControlId::UseDefaultImage,
     ControlKind::CheckBox,
     {"DefaultImage is used when NewMemoryCard is made.", "新規作成時、デフォルトのイメージを使う"},
     {16, 64, 193, 10},
     {14, 69, 133, 10}},
    {-1,
     ControlKind::GroupBox,
     {"Lock System", "ＬＯＣＫ機能"},
     {7, 80, 202, 139},
     {7, 87, 201, 146}},
    {-1,
     ControlKind::Label,
     {"Folder for LOCK file (&F):", "ロック先のフォルダ名(&F)："},
     {18, 94, 90, 8},
     {18, 101, 75, 8}},
    {ControlId::LockFolder, ControlKind::EditBox, {"", ""}, {18, 108, 180, 12}, {16, 115, 180, 14}},
    {ControlId::Browse,
     ControlKind::PushButton,
     {"Browse(&B)...", "参照(&B)..."},
     {148, 126, 50, 14},
     {146, 135, 50, 14}},
    {-1,
     ControlKind::Label,
     {"Image Format (&I)", "イメージフォーマット(&I)"},
     {19, 141, 61, 8},
     {18, 155, 66, 8}},
    {-1, ControlKind::Label, {"PS1", "ＰＳ１"}, {16, 164, 12, 8}, {16, 172, 16, 8}},
    {ControlId::LockFormatPS1,
     ControlKind::DropDownList,
     {"", ""},
     {40, 155, 150, 83},
     {39, 169, 150, 83}},
    {-1, ControlKind::Label, {"PS2", "ＰＳ２"}, {16, 182, 12, 8}, {16, 190, 16, 8}},
    {ControlId::LockFormatPS2,
     ControlKind::DropDownList,
     {"", ""},
     {40, 173, 150, 83},
     {39, 187, 150, 83}},
    {ControlId::LockAutoIconic,
     ControlKind::CheckBoxMultiLine,
     {"The Window becomes Iconic one automatically after the SaveData is LOCKed.",
      "ロック後、自動的にウィンドウを最小化する"},
     {13, 192, 188, 19},
     {22, 211, 133, 10}},
    {ControlId::HalPriority,
     ControlKind::CheckBox,
     {"3DHardwareRendaring is given priority to.", "ハードウェアレンダリングを優先する"},
     {16, 229, 153, 10},
     {14, 245, 119, 10}},
    {ControlId::AnimationCut,
     ControlKind::CheckBox,
     {"The animation is cut.", "アニメーションをカットする"},
     {16, 242, 82, 10},
     {14, 264, 91, 10}},
    {ControlId::UseSlotPath,
     ControlKind::CheckBox,
     {"Slots are Loaded Last files next time.", "起動時に前回のスロット状態を読み込む"},
     {16, 255, 145, 10},
     {14, 283, 130, 10}},
    {-1,
     ControlKind::Label,
     {"Window scale (&W):", "ウィンドウの倍率(&W)："},
     {16, 272, 90, 8},
     {14, 302, 90, 8}},
    {ControlId::WindowScale,
     ControlKind::DropDownList,
     {"", ""},
     {118, 270, 60, 50},
     {118, 300, 60, 50}},
    {-1,
     ControlKind::Label,
     {"Backups kept per card (&K):", "カードごとのバックアップ数(&K)："},
     {16, 289, 100, 8},
     {14, 319, 100, 8}},
    {ControlId::BackupGenerations,
     ControlKind::DropDownList,
     {"", ""},
     {118, 287, 60, 40},
     {118, 317, 60, 40}},
    {ControlId::Ok,
     ControlKind::DefaultPushButton,
     {"OK", "OK"},
     {159, 306, 50, 14},
     {158, 336, 50, 14}},
    {ControlId::Cancel,
     ControlKind::PushButton,
     {"Cancel", "ｷｬﾝｾﾙ"},
     {94, 306, 50, 14},
     {94, 336, 50, 14}},
};

inline constexpr DialogControl kImageSelectControls[] = {
    {-1,
     ControlKind::GroupBox,
     {"MemoryCard Image", "メモリーカードイメージ"},
     {7, 7, 141, 71},
     {7, 7, 141, 73}},
    {ControlId::PS2MemoryCard,
     ControlKind::RadioButtonFirst,
     {"PS2 MemoryCard", "ＰＳ２メモリーカード"},
     {32, 21, 70, 10},
     {32, 21, 71, 10}},
    {ControlId::PS1MemoryCard,
     ControlKind::RadioButton,
     {"PS1 MemoryCard", "ＰＳ１メモリーカード"},
     {32, 40, 71, 10},
     {32, 40, 71, 10}},
    {ControlId::PS2CardImage,
     ControlKind::RadioButton,
     {"PS2 MemoryCard Image", "ＰＳ２メモリーカードイメージ"},
     {32, 59, 95, 10},
     {32, 59, 105, 10}},
    {ControlId::Ok,
     ControlKind::DefaultPushButton,
     {"OK", "OK"},
     {98, 83, 50, 14},
     {98, 87, 50, 14}},
};

inline constexpr DialogControl kInfoControls[] = {
    {-1, ControlKind::Frame, {"", ""}, {7, 7, 173, 86}, {7, 7, 173, 100}},
    {-1, ControlKind::Icon, {"", ""}, {18, 23, 0, 0}, {18, 23, 0, 0}},
    {-1, ControlKind::Label, {"Slotkeeper 2", "Slotkeeper 2"}, {51, 20, 85, 8}, {45, 24, 97, 8}},
    {-1, ControlKind::Label, {"Version 2.00", "バージョン 2.00"}, {71, 38, 45, 8}, {70, 45, 45, 8}},
    {ControlId::Ok,
     ControlKind::DefaultPushButton,
     {"OK", "OK"},
     {68, 100, 50, 14},
     {68, 116, 50, 14}},
};

inline constexpr DialogTemplate kImageSelectDialog{141,
                                                   {"Image Select", "イメージ選択"},
                                                   false,
                                                   {0, 0, 155, 104},
                                                   {0, 0, 155, 108},
                                                   kImageSelectControls};
inline constexpr DialogTemplate kSettingDialog{
    142, {"Setting", "設定"}, true, {0, 0, 216, 327}, {0, 0, 215, 357}, kSettingControls};
inline constexpr DialogTemplate kInfoDialog{
    143, {"Info", "バージョン情報"}, true, {0, 0, 187, 121}, {0, 0, 187, 137}, kInfoControls};

}  // namespace slk::res
