#pragma once
// The settings file: sections of "key=value" lines, read the way Windows'
// private-profile functions read them and rewritten with everything we do not
// own (other sections, comments, unknown keys) kept in place.
//
// Reading rules: lines end with LF or CRLF; "[name]" starts a section; a line
// whose first non-blank character is ';' or '#' is a comment; "key=value"
// splits at the first '=', the key loses surrounding blanks, the value is kept
// as it stands. Section and key names compare case-insensitively (ASCII). The
// first of several equal keys wins, and only the first of several equal
// sections is looked at. Entries before any section belong to the unnamed
// section "". Any other line is kept and otherwise ignored.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/problem.h"

namespace slk::platform {

struct IniEntry {
  std::string key;
  std::string value;
};

class IniFile {
 public:
  // Never fails: whatever the bytes, the result is a file that keeps them.
  static IniFile Parse(std::string_view text);

  // The value as it stands, or nullopt when the section or key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
  // Like GetPrivateProfileInt: leading blanks, an optional sign and the
  // decimal digits that follow ("12abc" is 12, "abc" is 0), clamped to the
  // int range. A missing key or an empty value gives the default.
  int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

  // Replaces every entry of the section by `entries`, in their order; the
  // section's comment lines stay. A missing section is appended at the end.
  // Line breaks in keys or values cannot be stored and become blanks; an '='
  // in a key becomes '_'.
  void ReplaceSection(std::string_view section, std::span<const IniEntry> entries);

  // The text, every line ended the way the parsed text ended its first line
  // (LF when it had none).
  std::string Serialize() const;

 private:
  struct Line {
    bool isEntry = false;
    std::string text;  // the whole line when not an entry
    std::string key;   // trimmed
    std::string value;
  };
  struct Section {
    std::string name;
    std::string header;  // the header line as it was read; empty for the leading section
    std::vector<Line> lines;
  };

  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;

  // sections_[0] holds the lines before any header.
  std::vector<Section> sections_ = std::vector<Section>(1);
  std::string newline_ = "\n";
};

// nullopt when the file does not exist or cannot be read whole, with the
// reason in `why` when given (NotFound for no file at all).
std::optional<IniFile> LoadIniFile(const std::string& path, Problem* why = nullptr);
// Creates the folder if needed and replaces the file atomically; false if
// anything failed (the old file is then untouched).
bool SaveIniFile(const std::string& path, const IniFile& ini);

// Where per-user settings live: $XDG_CONFIG_HOME, else $HOME/.config.
std::string UserConfigFolder();

}  // namespace slk::platform
