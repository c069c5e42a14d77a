#include "platform/ini_file.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/file.h"

namespace slk::platform {
namespace {

// Larger files are not settings files; reading them whole is not worth it.
constexpr std::uint64_t kMaxIniSize = 16 * 1024 * 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

bool IsCommentOrBlank(std::string_view line) {
  std::string_view t = Trim(line);
  return t.empty() || t.front() == ';' || t.front() == '#';
}

// What a single line can hold: no line breaks, and for keys no '='.
std::string Sanitize(std::string_view s, bool isKey) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
    if (isKey && c == '=') c = '_';
  }
  return out;
}

int ParseLeadingInt(std::string_view value, int defaultValue) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  if (value.empty()) return defaultValue;
  bool negative = value.front() == '-';
  if (negative || value.front() == '+') value.remove_prefix(1);
  std::int64_t magnitude = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    magnitude = std::min<std::int64_t>(magnitude * 10 + (c - '0'), std::int64_t{INT_MAX} + 1);
  }
  std::int64_t result = negative ? -magnitude : magnitude;
  return static_cast<int>(std::clamp<std::int64_t>(result, INT_MIN, INT_MAX));
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  bool newlineKnown = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    // Every CR before the LF goes, so that no line keeps a CR that would
    // turn into part of a CRLF when it is written again.
    bool crlf = !line.empty() && line.back() == '\r';
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!newlineKnown && end != std::string_view::npos) {
      ini.newline_ = crlf ? "\r\n" : "\n";
      newlineKnown = true;
    }

    std::string_view trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      std::string_view name = trimmed.substr(1);
      name = Trim(name.substr(0, name.find(']')));
      ini.sections_.push_back(Section{std::string(name), std::string(line), {}});
      continue;
    }
    Line entry;
    entry.text = line;
    std::size_t eq = line.find('=');
    if (!IsCommentOrBlank(line) && eq != std::string_view::npos) {
      entry.isEntry = true;
      entry.key = Trim(line.substr(0, eq));
      entry.value = line.substr(eq + 1);
    }
    ini.sections_.back().lines.push_back(std::move(entry));
  }
  return ini;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  if (name.empty()) return &sections_.front();
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    if (EqualNoCase(sections_[i].name, name)) return &sections_[i];
  }
  return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::nullopt;
  for (const Line& line : s->lines) {
    if (line.isEntry && EqualNoCase(line.key, key)) return line.value;
  }
  return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  auto value = Find(section, key);
  return value ? *value : std::string(defaultValue);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  auto value = Find(section, key);
  return value ? ParseLeadingInt(*value, defaultValue) : defaultValue;
}

void IniFile::ReplaceSection(std::string_view section, std::span<const IniEntry> entries) {
  Section* s = FindSection(section);
  if (s == nullptr) {
    std::string name = Sanitize(section, false);
    sections_.push_back(Section{name, "[" + name + "]", {}});
    s = &sections_.back();
  }
  std::vector<Line>& lines = s->lines;
  // The new entries go where the old ones began; in a section without
  // entries, after its last non-blank line, so that blank lines stay
  // between it and the next header.
  auto isEntry = [](const Line& line) { return line.isEntry; };
  auto first = std::find_if(lines.begin(), lines.end(), isEntry);
  std::size_t at = static_cast<std::size_t>(first - lines.begin());
  if (first == lines.end()) {
    while (at > 0 && Trim(lines[at - 1].text).empty()) --at;
  }
  lines.erase(std::remove_if(lines.begin(), lines.end(), isEntry), lines.end());

  std::vector<Line> fresh;
  for (const IniEntry& entry : entries) {
    Line line;
    line.isEntry = true;
    line.key = Trim(Sanitize(entry.key, true));
    line.value = Sanitize(entry.value, false);
    line.text = line.key + "=" + line.value;
    fresh.push_back(std::move(line));
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
}

std::string IniFile::Serialize() const {
  std::string out;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (i > 0) out += sections_[i].header + newline_;
    for (const Line& line : sections_[i].lines) out += line.text + newline_;
  }
  return out;
}

std::optional<IniFile> LoadIniFile(const std::string& path, Problem* why) {
  Problem problem;
  File file = File::OpenForReading(path, &problem);
  std::uint64_t size = file.Size();
  if (file.IsOpen() && size > kMaxIniSize) {
    problem = FileProblem(Reason::TooLarge, path);
    problem.have = size;
    problem.need = kMaxIniSize;
  }
  std::string text;
  if (!problem) {
    text.resize(static_cast<std::size_t>(size));
    if (!file.ReadExact(text.data(), size)) problem = FileProblem(Reason::ReadFailed, path);
  }
  if (problem) {
    if (why != nullptr) *why = std::move(problem);
    return std::nullopt;
  }
  return IniFile::Parse(text);
}

bool SaveIniFile(const std::string& path, const IniFile& ini) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  }
  AtomicFile out(path);
  if (!out.IsOpen()) return false;
  std::string text = ini.Serialize();
  out.Stream().WriteExact(text.data(), text.size());
  return out.Commit();
}

std::string UserConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return std::string(pw->pw_dir) + "/.config";
  }
  return ".";
}

}  // namespace slk::platform
