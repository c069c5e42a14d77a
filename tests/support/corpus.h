#pragma once
// Where the corpus of real files lies: $SLOTKEEPER_CORPUS, else the folder
// beside the project. Tests that read it skip when it is absent.

#include <cstdlib>
#include <filesystem>

namespace slk::testing {

inline std::filesystem::path CorpusDir() {
  const char* env = std::getenv("SLOTKEEPER_CORPUS");
  return env != nullptr && *env != '\0' ? std::filesystem::path(env)
                                        : std::filesystem::path(SLOTKEEPER_CORPUS_DIR);
}

}  // namespace slk::testing
