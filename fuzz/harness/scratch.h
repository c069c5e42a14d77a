#pragma once
// Files that a fuzz target hands to the program's entry points. Every process
// gets one private folder in memory-backed storage ($TMPDIR when set, else
// /dev/shm, else /tmp) and reuses one path per name, so that millions of runs
// neither wear a disk nor leave files behind. The folder also becomes the
// process's TMPDIR, so that the slots' temporary data files live there too.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace slk::fuzz {

// "<folder>/<name>", the same path on every call with the same name.
std::string ScratchPath(std::string_view name);

// Replaces the file `name` by `bytes` and returns its path.
std::string WriteScratchFile(std::string_view name, std::span<const std::uint8_t> bytes);

// True when both files can be read and hold the same bytes. Compares in
// chunks: under ASan, buffers of a whole card cost more than the rest of a run.
bool SameFileBytes(const std::string& a, const std::string& b);

// Aborts if the scratch folder holds a hidden file: the temporary file of a
// save that was not removed.
void CheckNoTemporaryFiles();

}  // namespace slk::fuzz
