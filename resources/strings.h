#pragma once
// The program's string table: every text it shows, in English and Japanese,
// under the same ids in both languages. Texts are UTF-8; the display draws
// some of them as Shift-JIS byte strings (TextShiftJis).

#include <span>
#include <string>
#include <string_view>

namespace slk::res {

enum class Language { English, Japanese };

// The user's language from the locale variables: the first non-empty of
// LC_ALL, LC_MESSAGES and LANG; Japanese when it begins with "ja".
Language LanguageFromEnvironment();

// The language Text(id) uses. Until SetLanguage is called it is taken from
// the environment on first use. Safe to read from several threads.
Language CurrentLanguage();
void SetLanguage(Language language);

// UTF-8 text of the id; an empty view for an id without a text.
std::string_view Text(int id, Language language);
std::string_view Text(int id);

// The same text as Shift-JIS (code page 932) bytes. The display measures and
// draws the list texts in these bytes, so their byte lengths matter.
std::string TextShiftJis(int id, Language language);
std::string TextShiftJis(int id);

// Every id that has a text, ascending.
std::span<const int> TextIds();

namespace TextId {
constexpr int WindowTitle = 1;
constexpr int NoFile = 16;
constexpr int NewFile = 17;
constexpr int PS2SaveDataCaption = 18;
constexpr int PS1SaveDataCaption = 19;
constexpr int PS2MemoryCard = 20;
constexpr int PS1MemoryCard = 21;
constexpr int UpdateLabel = 22;
constexpr int SizeLabel = 23;
constexpr int LeftSlotNotSaved = 24;  // ConfirmDiscard uses LeftSlotNotSaved + slot
constexpr int RightSlotNotSaved = 25;
constexpr int CardImageFilterName = 26;
constexpr int SaveDataImageFilterName = 27;
constexpr int CardImageFilterPattern = 28;
constexpr int SaveDataImageFilterPattern = 29;
constexpr int PS2CardImage = 30;  // the kind line of a PS2 card image
// Format names, in the order of the card image list then the save data image
// list: FormatXmc + i names card image format i, FormatPsu + i save data
// image format i.
constexpr int FormatXmc = 32;
constexpr int FormatMem = 33;
constexpr int FormatMcr = 34;
constexpr int FormatGme = 35;
constexpr int FormatMcd = 36;
constexpr int FormatPs = 37;
constexpr int FormatMci = 38;
constexpr int FormatPsu = 39;
constexpr int FormatPsd = 40;
constexpr int FormatPs1 = 41;
constexpr int FormatMcx = 42;
constexpr int FormatMcb = 43;
constexpr int FormatPsm = 44;
constexpr int FormatMc = 45;
constexpr int PS2SaveNotForPS1Card = 48;
constexpr int SameDataName = 49;
constexpr int AddSameSave = 50;  // a Yes/No question
constexpr int Exceeds15Blocks = 51;
constexpr int FileNotOpened = 52;
constexpr int FileNotSaved = 53;
constexpr int NotCardImage = 54;
constexpr int NotSaveDataImage = 55;
constexpr int LockFailed = 56;
constexpr int NotExpandedCardImage = 57;
constexpr int UnsupportedXmcVersion = 58;
constexpr int SaveShortened = 60;  // a Yes/No question
constexpr int PS1SaveNotForPS2Card = 61;
constexpr int PS2CardFull = 62;
constexpr int PS2CardDamaged = 63;
constexpr int StandardIconNotFound = 64;
constexpr int DirectX7NotInstalled = 65;
constexpr int ApplicationInitFailed = 66;
constexpr int Direct3DInitFailed = 67;
constexpr int SaveDamagedCard = 68;  // a Yes/No question before Save
// Texts of this program's own, not of the original table.
constexpr int CardChangedOnDisk = 76;  // a Yes/No question before Save
constexpr int SettingsFileKept = 77;   // once, when qovan2.ini could not be read whole
// Names of the formats added to the file dialogs after the two lists above,
// named by the format table (card/image_formats.h).
constexpr int FormatSrm = 80;
constexpr int FormatVm1 = 81;
constexpr int FormatVmp = 82;
constexpr int FormatMcs = 83;
constexpr int FormatRawPs1 = 84;
constexpr int FormatPsv = 85;
constexpr int FormatMax = 86;
constexpr int FormatCbs = 87;
constexpr int FormatSps = 88;
constexpr int FormatXps = 89;
constexpr int SaveNotRenamed = 90;  // with the reason as its second line
constexpr int RenamePrompt = 91;    // the label of the Rename dialog
constexpr int RenameCaption = 92;   // its caption
constexpr int NoRegionCode = 93;    // a PS1 save renamed without its region code
constexpr int BackupNotMade = 100;  // a save stopped because its backup failed
constexpr int NoBackups = 101;      // Restore Backup on a card without backups
constexpr int RestoreBackupTitle = 102;
constexpr int BackupTimeColumn = 103;
constexpr int BackupSizeColumn = 104;
// SaveSDI of a PS2 save: the entry of the file dialog that leads to a folder
// chooser, and that chooser's caption.
constexpr int SaveFolderChoice = 110;
constexpr int SaveFolderCaption = 111;
constexpr int BackupSavesColumn = 115;
constexpr int EmptySlotHint = 116;  // drawn over an empty slot's panel
constexpr int WindowScaleAutomatic = 117;
constexpr int ConfirmDelete = 118;  // the Delete key in the detail view, a Yes/No question
}  // namespace TextId

}  // namespace slk::res
