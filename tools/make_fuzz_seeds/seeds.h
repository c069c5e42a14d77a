#pragma once
// Where the seed files of each fuzz target go.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace slk::tools {

// One target's seed folder, and a scratch folder beside it for files that the
// program's writers produce before they are copied in.
class Corpus {
 public:
  Corpus(std::filesystem::path folder, std::filesystem::path scratch)
      : folder_(std::move(folder)), scratch_(std::move(scratch)) {}
  bool Add(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
  std::filesystem::path Scratch(const std::string& name) const { return scratch_ / name; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path scratch_;
};

// OUTDIR/<target>/ for each target; created on first use.
class SeedFolders {
 public:
  explicit SeedFolders(std::filesystem::path root);
  Corpus For(const std::string& target) const;

 private:
  std::filesystem::path root_;
  std::filesystem::path scratch_;
};

bool WriteCardSeeds(const SeedFolders& folders);
bool WriteSaveImageSeeds(const SeedFolders& folders);
bool WriteIniSeeds(const SeedFolders& folders);
bool WriteBmpSeeds(const SeedFolders& folders);
bool WriteIconSeeds(const SeedFolders& folders);
bool WritePs2CardSeeds(const SeedFolders& folders);
bool WriteFormatSeeds(const SeedFolders& folders);

}  // namespace slk::tools
