#include "resources/strings.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <type_traits>

namespace slk::res {
namespace {

struct Entry {
  int id;
  std::string_view english;
  std::string_view japanese;
};

// Ascending by id; both languages carry every id.
constexpr std::array kTexts{
    Entry{1, "Slotkeeper 2", "Slotkeeper 2"},
    Entry{16, "<No File>", "＜Ｎｏ Ｆｉｌｅ＞"},
    Entry{17, "<New File>", "＜Ｎｅｗ Ｆｉｌｅ＞"},
    // 18/19 and 20/21 must keep equal byte lengths in Shift-JIS: the display
    // draws both members of a pair with the length of the first.
    Entry{18, "- PS2 SaveData -", "- ＰＳ２セーブデータ -"},
    Entry{19, "- PS1 SaveData -", "- ＰＳ１セーブデータ -"},
    Entry{20, "PS2 MemoryCard", "ＰＳ２メモリーカード"},
    Entry{21, "PS1 MemoryCard", "ＰＳ１メモリーカード"},
    Entry{22, "UpData", "更新日時"},
    Entry{23, "Size", "サイズ"},
    Entry{24, "The change of Left Slot is not preserved. Do you continue?",
          "左スロットの変更が保存されていません。続行しますか？"},
    Entry{25, "The change of Right Slot is not preserved. Do you continue?",
          "右スロットの変更が保存されていません。続行しますか？"},
    Entry{26, "MemoryCardImage (*.xmc,*.mem,*.mcr,*.gme,*.mcd,*.ps,*.mci)",
          "メモリーカードイメージ (*.xmc,*.mem,*.mcr,*.gme,*.mcd,*.ps,*.mci)"},
    Entry{27, "SaveDataImage (*.psu,*.psd,*.ps1,*.mcx,*.mcb,*.psm,*.mc)",
          "セーブデータイメージ (*.psu,*.psd,*.ps1,*.mcx,*.mcb,*.psm,*.mc)"},
    Entry{28, "*.xmc;*.mem;*.mcr;*.gme;*.mcd;*.ps;*.mci",
          "*.xmc;*.mem;*.mcr;*.gme;*.mcd;*.ps;*.mci"},
    Entry{29, "*.psu;*.psd;*.ps1;*.mcx;*.mcb;*.psm;*.mc",
          "*.psu;*.psd;*.ps1;*.mcx;*.mcb;*.psm;*.mc"},
    // Drawn with its own length: no other caption pairs with it.
    Entry{30, "PS2 MemoryCard Image", "ＰＳ２メモリーカードイメージ"},
    Entry{32, "Expanded MemoryCard (*.xmc)", "拡張メモリーカード (*.xmc)"},
    Entry{33, "ConectixVGS MemoryCard (*.mem)", "VGSメモリーカード (*.mem)"},
    Entry{34, "PSEmuPro MemoryCard (*.mcr)", "PSEmuProメモリーカード (*.mcr)"},
    Entry{35, "DexDrive MemoryCard (*.gme)", "メモリーステイション (*.gme)"},
    Entry{36, "bleem! MemoryCard (*.mcd)", "bleem!メモリーカード (*.mcd)"},
    Entry{37, "Winpsm MemoryCard (*.ps)", "Winpsmメモリーカード (*.ps)"},
    Entry{38, "MCExplorer MemoryCard (*.mci)", "MCExplorerメモリーカード (*.mci)"},
    Entry{39, "MemoryJuggler SaveData (*.psu)", "メモリージャグラーセーブデータ (*.psu)"},
    Entry{40, "MemoryJuggler SaveData (*.psd)", "メモリージャグラーセーブデータ (*.psd)"},
    Entry{41, "MemoryJuggler SaveData (*.ps1)", "メモリージャグラーセーブデータ (*.ps1)"},
    Entry{42, "PokcketStationBinary SaveData (*.mcx)", "PokcketStationBinaryセーブデータ (*.mcx)"},
    Entry{43, "MCExplorer SaveData (*.mcb)", "MCExplorerセーブデータ (*.mcb)"},
    Entry{44, "PSMEM SaveData (*.psm)", "PSMEMセーブデータ (*.psm)"},
    Entry{45, "MCC-Sakura SaveData (*.mc)", "MCC桜セーブデータイメージ (*.mc)"},
    // The English text ends with a blank, as it always has.
    Entry{48, "PS2 SaveData isn't able to include into PS1 MemoryCard. ",
          "ＰＳ２セーブデータはＰＳ１メモリーカードにコピーできません。"},
    Entry{49, "There is the same DataName. It is unable to copy.",
          "同じデータネームが存在します。コピーできません。"},
    Entry{50, "Do you wish to add it?", "同じセーブデータがあります。追加しますか？"},
    Entry{51, "It exceeds the capacity of 15 blocks.", "容量が１５ブロックを超えています。"},
    Entry{52, "The File wasn't opened.", "ファイルを開けませんでした。"},
    Entry{53, "The File wasn't preserved.", "ファイルを保存できませんでした。"},
    Entry{54, "It's not MemoryCard Image.", "メモリーカードイメージではありません。"},
    Entry{55, "It's not SaveData Image.", "セーブデータイメージではありません。"},
    Entry{56, "The SaveData was not LOCKed file.", "ファイルにロックできませんでした。"},
    Entry{57, "It's not ExpandedMemoryCard Image.", "拡張メモリーカードではありません。"},
    Entry{58, "The Format Version is not uncorrespondence.",
          "XMCフォーマットバージョンが未対応です。"},
    Entry{60,
          "A save's blocks break off; only the blocks found will be saved. Do you wish to save "
          "it?",
          "ブロックが途切れたセーブデータがあります。見つかったブロックだけが保存されます。保存しま"
          "すか？"},
    Entry{61, "PS1 SaveData isn't able to include into PS2 MemoryCard Image.",
          "ＰＳ１セーブデータはＰＳ２メモリーカードイメージにコピーできません。"},
    Entry{62, "There is not enough free space in the PS2 MemoryCard Image.",
          "ＰＳ２メモリーカードイメージの空き容量が足りません。"},
    Entry{63, "The MemoryCard Image is damaged. Only what could be read is shown.",
          "メモリーカードイメージが壊れています。読み込めた部分だけを表示します。"},
    Entry{64, "\"Standard.ico\" is not found.", "\"Standard.ico\"が見つかりません。"},
    Entry{65, "DirectX7 is not installed.", "DirectX7がインストールされていません。"},
    Entry{66, "Application Initialize failed.", "アプリケーションの初期化ができません。"},
    Entry{67, "Direct3D Initialize failed.", "Direct3Dが初期化できません。"},
    Entry{68, "The MemoryCard Image is damaged. Do you save it anyway?",
          "メモリーカードイメージが壊れています。このまま保存しますか？"},
    Entry{76, "The File was changed by another program after it was opened. Do you overwrite it?",
          "ファイルは開いた後に他のプログラムで変更されています。上書きしますか？"},
    Entry{77,
          "The setting file could not be read. The program runs with the default settings "
          "and keeps the file as it is.",
          "設定ファイルを読み込めませんでした。標準の設定で起動し、ファイルはそのまま残します。"},
    // Names of the formats added to the file dialogs.
    Entry{80, "RetroArch MemoryCard (*.srm)", "RetroArchメモリーカード (*.srm)"},
    Entry{81, "PS3 MemoryCard (*.vm1)", "PS3メモリーカード (*.vm1)"},
    Entry{82, "PSP/PS Vita MemoryCard (*.vmp)", "PSP/PS Vitaメモリーカード (*.vmp)"},
    Entry{83, "PSXGameEdit SaveData (*.mcs)", "PSXGameEditセーブデータ (*.mcs)"},
    Entry{84, "Raw PS1 SaveData (*.sav,*.srm)", "PS1生セーブデータ (*.sav,*.srm)"},
    Entry{85, "PS3 SaveData (*.psv)", "PS3セーブデータ (*.psv)"},
    Entry{86, "ActionReplayMax SaveData (*.max)", "アクションリプレイMAXセーブデータ (*.max)"},
    Entry{87, "CodeBreaker SaveData (*.cbs)", "コードブレイカーセーブデータ (*.cbs)"},
    Entry{88, "SharkPort SaveData (*.sps)", "SharkPortセーブデータ (*.sps)"},
    Entry{89, "X-Port SaveData (*.xps)", "X-Portセーブデータ (*.xps)"},
    Entry{90, "The SaveData was not renamed.", "セーブデータの名前を変更できませんでした。"},
    Entry{91, "New name of the SaveData:", "セーブデータの新しい名前："},
    Entry{92, "Rename", "名前の変更"},
    Entry{93,
          "The new name does not begin with a region code (BA, BI, BE). The PlayStation may not "
          "show the SaveData.",
          "新しい名前が地域コード (BA, BI, BE) "
          "で始まっていません。ＰｌａｙＳｔａｔｉｏｎで表示されない"
          "ことがあります。"},
    Entry{100, "The old file could not be kept as a backup, so the File wasn't preserved.",
          "元のファイルをバックアップできなかったため、ファイルを保存しませんでした。"},
    Entry{101, "There is no backup of this MemoryCard Image.",
          "このメモリーカードイメージのバックアップはありません。"},
    Entry{102, "Restore Backup", "バックアップから復元"},
    Entry{103, "Time", "日時"},
    Entry{104, "Size", "サイズ"},
    Entry{110, "PS2 save folder (a new folder named after the save)",
          "ＰＳ２セーブデータのフォルダ (セーブデータ名の新しいフォルダ)"},
    Entry{111, "Choose where the save's folder is made", "セーブデータのフォルダを作る場所を選択"},
    Entry{115, "SaveData", "セーブデータ数"},
    Entry{116, "Drop a card here or use File > Insert",
          "ここにカードをドロップするか、ファイル > 挿入 を使ってください"},
    Entry{117, "automatic", "自動"},
    Entry{118, "Do you delete this SaveData?", "このセーブデータを削除しますか？"},
};

constexpr auto kIds = [] {
  std::array<int, kTexts.size()> ids{};
  for (std::size_t i = 0; i < kTexts.size(); ++i) ids[i] = kTexts[i].id;
  return ids;
}();

static_assert(std::is_sorted(kIds.begin(), kIds.end()));

// -1 until the language is first asked for or set.
constexpr int kUnset = -1;
std::atomic<int> currentLanguage{kUnset};

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Iconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Converts UTF-8 to code page 932; an empty string if a character has no
// Shift-JIS form (none of the table's texts lacks one).
std::string ToShiftJis(std::string_view utf8) {
  const iconv_t handle = iconv_open("CP932", "UTF-8");
  if (handle == reinterpret_cast<iconv_t>(-1)) return {};
  const Iconv cd(handle);
  std::string in(utf8);
  // Shift-JIS never takes more bytes than UTF-8 for the same characters.
  std::string out(in.size(), '\0');
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    return {};
  }
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

Language LanguageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("ja") ? Language::Japanese : Language::English;
  }
  return Language::English;
}

Language CurrentLanguage() {
  int value = currentLanguage.load(std::memory_order_acquire);
  if (value == kUnset) {
    const int fromEnvironment = static_cast<int>(LanguageFromEnvironment());
    // A SetLanguage that got in first wins.
    if (currentLanguage.compare_exchange_strong(value, fromEnvironment,
                                                std::memory_order_acq_rel)) {
      value = fromEnvironment;
    }
  }
  return static_cast<Language>(value);
}

void SetLanguage(Language language) {
  currentLanguage.store(static_cast<int>(language), std::memory_order_release);
}

std::string_view Text(int id, Language language) {
  const auto it = std::lower_bound(kIds.begin(), kIds.end(), id);
  if (it == kIds.end() || *it != id) return {};
  const Entry& entry = kTexts[static_cast<std::size_t>(it - kIds.begin())];
  return language == Language::Japanese ? entry.japanese : entry.english;
}

std::string_view Text(int id) {
  return Text(id, CurrentLanguage());
}

std::string TextShiftJis(int id, Language language) {
  return ToShiftJis(Text(id, language));
}

std::string TextShiftJis(int id) {
  return TextShiftJis(id, CurrentLanguage());
}

std::span<const int> TextIds() {
  return kIds;
}

}  // namespace slk::res
