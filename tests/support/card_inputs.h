#pragma once
// The input builders of tools/card_inputs under the names the tests use.

#include "tools/card_inputs/card_inputs.h"

namespace slk::testing {

using inputs::Append;
using inputs::Buffer;
using inputs::BuildIconSys;
using inputs::DirFrame;
using inputs::FileSpec;
using inputs::FramedBlocks;
using inputs::FramedSingle;
using inputs::Get16;
using inputs::Get32;
using inputs::IconSys;
using inputs::IconSysFields;
using inputs::NamedFile;
using inputs::NameOf;
using inputs::PadTo;
using inputs::Pattern;
using inputs::PS1Blocks;
using inputs::PS1CardBuilder;
using inputs::PS1Save;
using inputs::Psu;
using inputs::PsuHeader;
using inputs::Put16;
using inputs::Put32;
using inputs::PutText;
using inputs::Record80;
using inputs::SaveSpec;
using inputs::ShortHeaderSingle;
using inputs::Time;
using inputs::Xmc;
using inputs::XmcHeader;
using inputs::XmcSave;

}  // namespace slk::testing
