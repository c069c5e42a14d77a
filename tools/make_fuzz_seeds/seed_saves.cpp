#include "seed_saves.h"

#include <cstdio>
#include <cstdlib>

namespace slk::tools {
using inputs::Put32;

void SeedSink::ShowMessage(int id) {
  std::fprintf(stderr, "make_fuzz_seeds: unexpected message %d\n", id);
  std::exit(1);
}

Bytes PS1SaveBytes(int blocks, const std::string& title, std::uint8_t seed) {
  Bytes b(static_cast<std::size_t>(blocks) * 8192, 0);
  inputs::PS1TitleFrame frame{static_cast<std::uint32_t>(blocks), title};
  for (std::size_t i = 0; i < 16; ++i)  // a ramp of greys
    frame.palette[i] = static_cast<std::uint16_t>(i * 2 * (1 + 32 + 1024));
  inputs::PutPS1TitleFrame(b, frame);
  for (std::size_t i = 0x80; i < 0x100; ++i) b[i] = static_cast<std::uint8_t>((i * 0x11) ^ seed);
  inputs::FillPattern(b, 0x100, seed);
  return b;
}

Bytes IconSysBytes(const std::string& title, std::uint16_t lineBreak, const std::string& icon) {
  inputs::IconSysFields sys;
  sys.title = title;
  sys.lineBreak = lineBreak;
  for (std::uint32_t k = 0; k < 4; ++k) sys.corners[k] = {0x40 + 16 * k, 0x20, 0x80 - 16 * k, 0};
  sys.icons = {icon, icon, icon};
  return inputs::BuildIconSys(sys);
}

bool AddPS1Save(Workspace& ws, Slot s, const std::string& name, int blocks,
                const std::string& title, std::uint8_t seed) {
  return inputs::AddPS1Save(ws, s, name, PS1SaveBytes(blocks, title, seed), inputs::Day(seed));
}

bool AddPS2Save(Workspace& ws, Slot s, const std::string& name,
                const std::vector<NamedFile>& files) {
  return inputs::AddPS2Save(ws, s, {name, files}, inputs::IconSysUse::ReadWhenPresent);
}

std::vector<NamedFile> SmallPS2Files(const std::string& title) {
  Bytes model(600);
  Put32(model, 0, 0x010000);  // an icon model header: version, then counts
  Put32(model, 4, 1);         // shapes
  Put32(model, 8, 0x07);      // attributes
  Put32(model, 16, 3);        // vertices
  for (std::size_t i = 20; i < model.size(); ++i) model[i] = static_cast<std::uint8_t>(i * 5);
  Bytes data(1500);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i ^ 0x5A);
  return {{"icon.sys", IconSysBytes(title, 8, "list.ico")}, {"list.ico", model}, {"DATA", data}};
}

}  // namespace slk::tools
