#pragma once
// Synthetic saves for the seed corpora: made-up names, titles and bytes, put
// into a slot the way a reader would (through tools/card_inputs), so that the
// program's own writers can turn them into files of every format.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "card/workspace.h"
#include "tools/card_inputs/card_inputs.h"

namespace slk::tools {

using Bytes = inputs::Buffer;

// Answers Yes and the preselected kind; complains about any message, which
// would mean a seed is not what it should be.
class SeedSink : public MessageSink {
 public:
  void ShowMessage(int id) override;
  bool AskYesNo(int) override { return true; }
  CardKind AskCardKind(CardKind preselected) override { return preselected; }
};

// The blocks of a PS1 save: title frame ("SC", icon flag, block count, title,
// palette), one icon frame, then a pattern that differs per block.
Bytes PS1SaveBytes(int blocks, const std::string& title, std::uint8_t seed);

// A 964-byte icon.sys naming `icon` as all three icons.
Bytes IconSysBytes(const std::string& title, std::uint16_t lineBreak, const std::string& icon);

bool AddPS1Save(Workspace& ws, Slot s, const std::string& name, int blocks,
                const std::string& title, std::uint8_t seed);

using inputs::NamedFile;
bool AddPS2Save(Workspace& ws, Slot s, const std::string& name,
                const std::vector<NamedFile>& files);

// A PS2 save of a few small files: icon.sys, an icon model, game data.
std::vector<NamedFile> SmallPS2Files(const std::string& title);

}  // namespace slk::tools
