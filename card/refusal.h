#pragma once
// Refusing a file from inside a reader. Each helper notes why on the
// workspace (Workspace::Refuse) and returns false, so that a reader can end
// with `return RefuseShort(...)`. The opener adds the file's name.

#include <cstdint>
#include <string>

#include "card/image_formats.h"
#include "card/workspace.h"
#include "platform/file.h"

namespace slk {

// A problem with the file being read; the opener fills in its path.
platform::Problem ProblemOf(platform::Reason reason, std::string field = {}, std::uint64_t have = 0,
                            std::uint64_t need = 0);

// The file holds fewer bytes than the format needs: `need`, counted from its
// start.
bool RefuseShort(Workspace& ws, const platform::File& image, std::uint64_t need);

// `field` holds what the format does not allow.
bool RefuseField(Workspace& ws, platform::Reason reason, std::string field, std::uint64_t have = 0,
                 std::uint64_t need = 0);

// Reads `n` bytes at the image's position, or notes why not: the file ends
// first, or reading failed.
bool ReadOrRefuse(Workspace& ws, platform::File& image, void* buffer, std::uint64_t n);

// A format that signs its files (.psv, .vmp) needs libcrypto: false, its
// absence shown under `message`, when the library cannot be loaded. Asked
// before the file to write is touched.
bool SigningLibraryLoads(Workspace& ws, const FormatRow& format, int message);

// Shows what a reader noted about the file at `path`, once: the reader's own
// message, or `message` when it gave none, with the reason naming the file.
void ShowRefusal(Workspace& ws, const std::string& path, int message = MessageId::FileNotOpened);

}  // namespace slk
