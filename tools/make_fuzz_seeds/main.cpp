// Writes the seed corpora of the fuzz targets: small valid files of every
// format, made from synthetic saves by the program's own writers (never from
// anyone's real saves), into OUTDIR/<target>/.
//
//   make_fuzz_seeds OUTDIR

#include <cstdio>
#include <fstream>

#include "seeds.h"

namespace slk::tools {

bool Corpus::Add(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
  std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

SeedFolders::SeedFolders(std::filesystem::path root)
    : root_(std::move(root)), scratch_(root_ / ".scratch") {
  std::filesystem::create_directories(scratch_);
}

Corpus SeedFolders::For(const std::string& target) const {
  std::filesystem::create_directories(root_ / target);
  return Corpus(root_ / target, scratch_);
}

}  // namespace slk::tools

int main(int argc, char** argv) {
  using namespace slk::tools;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUTDIR\n");
    return 2;
  }
  SeedFolders folders{std::filesystem::path(argv[1])};
  bool ok = WriteCardSeeds(folders) && WriteSaveImageSeeds(folders) && WriteIniSeeds(folders) &&
            WriteBmpSeeds(folders) && WriteIconSeeds(folders) && WritePs2CardSeeds(folders) &&
            WriteFormatSeeds(folders);
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(argv[1]) / ".scratch", ignored);
  if (!ok) {
    std::fprintf(stderr, "make_fuzz_seeds: could not write the seeds\n");
    return 1;
  }
  return 0;
}
