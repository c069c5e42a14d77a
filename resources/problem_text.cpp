#include "resources/problem_text.h"

#include <cstring>
#include <string_view>

namespace slk::res {
namespace {

using platform::Reason;

// 131072 -> "131,072": sizes are easier to compare with grouping.
std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count != 0 && count % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++count;
  }
  return out;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? path : name;
}

std::string SystemText(int error) {
  return error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

std::string English(const platform::Problem& p) {
  const std::string have = Grouped(p.have);
  const std::string need = Grouped(p.need);
  switch (p.reason) {
    case Reason::None:
      return {};
    case Reason::NotFound:
      return "no such file";
    case Reason::PermissionDenied:
      return "permission denied" + SystemText(p.error);
    case Reason::NotRegularFile:
      return "not a regular file";
    case Reason::ReadFailed:
      return "reading failed" + SystemText(p.error);
    case Reason::WriteFailed:
      return "writing failed" + SystemText(p.error);
    case Reason::DiskFull:
      return "the disk is full";
    case Reason::TempSpaceFull:
      return "the temporary folder is full ($TMPDIR)";
    case Reason::ReadOnlyFile:
      return "the file is read-only";
    case Reason::ReadOnlyFolder:
      return "the folder is read-only";
    case Reason::DanglingLink:
      return "the symbolic link points to a file that does not exist";
    case Reason::LinkLoop:
      return "the symbolic links form a loop";
    case Reason::NameTooLong:
      return "the name is too long";
    case Reason::Busy:
      return "another program is writing this card; try again";
    case Reason::ChangedOnDisk:
      return "the file changed on disk since it was opened";
    case Reason::TooShort:
      return "too short for the format: " + have + " bytes, needs " + need;
    case Reason::TooLarge:
      return "too large: " + have + " bytes, at most " + need;
    case Reason::BadMagic:
      return "bad magic in " + p.field;
    case Reason::BadField:
      return "invalid " + p.field;
    case Reason::SizeMismatch:
      return p.field + " says " + need + " bytes, the file holds " + have;
    case Reason::BrokenChain:
      return "the blocks of \"" + p.field + "\" break off: " + have + " of " + need + " kept";
    case Reason::NotASave:
      return "not a single save (" + p.field + ")";
    case Reason::WrongKind:
      return p.field;
    case Reason::NoStandardIcon:
      return "searched " + p.field;
    case Reason::PS2Save:
      return "\"" + p.field + "\" is a PS2 save";
    case Reason::SameName:
      return "the card already holds \"" + p.field + "\"";
    case Reason::OverCapacity:
      return "the card would hold " + have + " blocks, at most " + need;
    case Reason::PS1Save:
      return "\"" + p.field + "\" is a PS1 save";
    case Reason::NoCardSpace:
      return "\"" + p.field + "\" needs " + need + " KB, the card has " + have + " KB free";
    case Reason::CardDamaged:
      return p.field;
    case Reason::EmptyName:
      return "the name is empty";
    case Reason::NameWithSlash:
      return "\"" + p.field + "\" holds '/'";
    case Reason::LongName:
      return "\"" + p.field + "\" has " + have + " characters, at most " + need;
    case Reason::ReservedName:
      return "\"" + p.field + "\" is reserved on a PS2 card";
    case Reason::NameCharacters:
      return "\"" + p.field + "\" holds characters other than ASCII letters, digits and signs";
    case Reason::AlreadyExists:
      return "a file or folder of this name already exists";
    case Reason::FolderInSave:
      return "\"" + p.field + "\" is a folder; a save's folder holds files only";
    case Reason::LinkInSave:
      return "\"" + p.field + "\" is a symbolic link; a save's folder holds files only";
    case Reason::BadFileName:
      return "\"" + p.field + "\" cannot be the name of a file";
    case Reason::TooManyFiles:
      return have + " files, at most " + need;
    case Reason::LibraryMissing:
      return "could not load " + p.field;
  }
  return {};
}

std::string Japanese(const platform::Problem& p) {
  const std::string have = Grouped(p.have);
  const std::string need = Grouped(p.need);
  switch (p.reason) {
    case Reason::None:
      return {};
    case Reason::NotFound:
      return "ファイルがありません";
    case Reason::PermissionDenied:
      return "アクセスが拒否されました" + SystemText(p.error);
    case Reason::NotRegularFile:
      return "通常のファイルではありません";
    case Reason::ReadFailed:
      return "読み込みに失敗しました" + SystemText(p.error);
    case Reason::WriteFailed:
      return "書き込みに失敗しました" + SystemText(p.error);
    case Reason::DiskFull:
      return "ディスクがいっぱいです";
    case Reason::TempSpaceFull:
      return "一時フォルダ ($TMPDIR) がいっぱいです";
    case Reason::ReadOnlyFile:
      return "ファイルは読み取り専用です";
    case Reason::ReadOnlyFolder:
      return "フォルダは読み取り専用です";
    case Reason::DanglingLink:
      return "シンボリックリンクの先のファイルがありません";
    case Reason::LinkLoop:
      return "シンボリックリンクがループしています";
    case Reason::NameTooLong:
      return "名前が長すぎます";
    case Reason::Busy:
      return "別のプログラムがこのカードに書き込み中です。もう一度お試しください";
    case Reason::ChangedOnDisk:
      return "開いた後にファイルが変更されました";
    case Reason::TooShort:
      return "形式に対して短すぎます: " + have + " バイト (" + need + " バイト必要)";
    case Reason::TooLarge:
      return "大きすぎます: " + have + " バイト (最大 " + need + " バイト)";
    case Reason::BadMagic:
      return p.field + " の識別子が正しくありません";
    case Reason::BadField:
      return p.field + " の値が正しくありません";
    case Reason::SizeMismatch:
      return p.field + " は " + need + " バイトですが、ファイルには " + have +
             " バイトしかありません";
    case Reason::BrokenChain:
      return "「" + p.field + "」のブロックが途切れています: " + need + " 中 " + have + " を保持";
    case Reason::NotASave:
      return "単一のセーブデータではありません (" + p.field + ")";
    case Reason::WrongKind:
      return p.field;
    case Reason::NoStandardIcon:
      return "検索した場所: " + p.field;
    case Reason::PS2Save:
      return "「" + p.field + "」は PS2 のセーブデータです";
    case Reason::SameName:
      return "カードには既に「" + p.field + "」があります";
    case Reason::OverCapacity:
      return "カードが " + have + " ブロックになります (最大 " + need + " ブロック)";
    case Reason::PS1Save:
      return "「" + p.field + "」は PS1 のセーブデータです";
    case Reason::NoCardSpace:
      return "「" + p.field + "」には " + need + " KB 必要です (空き " + have + " KB)";
    case Reason::CardDamaged:
      return p.field;
    case Reason::EmptyName:
      return "名前が空です";
    case Reason::NameWithSlash:
      return "「" + p.field + "」に '/' が含まれています";
    case Reason::LongName:
      return "「" + p.field + "」は " + have + " 文字です (最大 " + need + " 文字)";
    case Reason::ReservedName:
      return "「" + p.field + "」は PS2 カードでは使えない名前です";
    case Reason::NameCharacters:
      return "「" + p.field + "」に英数字と記号 (ASCII) 以外の文字が含まれています";
    case Reason::AlreadyExists:
      return "同じ名前のファイルまたはフォルダが既にあります";
    case Reason::FolderInSave:
      return "「" + p.field + "」はフォルダです。セーブデータのフォルダにはファイルしか置けません";
    case Reason::LinkInSave:
      return "「" + p.field +
             "」はシンボリックリンクです。セーブデータのフォルダにはファイルしか置けません";
    case Reason::BadFileName:
      return "「" + p.field + "」はファイル名にできません";
    case Reason::TooManyFiles:
      return "ファイルが " + have + " 個あります (最大 " + need + " 個)";
    case Reason::LibraryMissing:
      return p.field + " を読み込めませんでした";
  }
  return {};
}

}  // namespace

std::string DescribeProblem(const platform::Problem& problem, Language language) {
  if (!problem) return {};
  std::string why = language == Language::Japanese ? Japanese(problem) : English(problem);
  if (problem.path.empty()) return why;
  return BaseName(problem.path) + ": " + why;
}

std::string DescribeProblem(const platform::Problem& problem) {
  return DescribeProblem(problem, CurrentLanguage());
}

}  // namespace slk::res
