// Writes the sample card images in samples/ from our own synthetic saves:
// made-up product codes and titles (English and Japanese), the pixel icons
// of pixel_icons.cpp and, for the PS2 saves of ps2_saves.cpp, the 3D icons of
// tools/make_icons. Run by the generate_samples target; the output is
// committed so that a build never needs this program. The PS2 card keeps
// Japan time, so the generator works in UTC: the card comes out the same
// wherever it is made.
//
//   make_samples OUTDIR [--preview DIR]

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_card_image.h"
#include "card/save_data_image.h"
#include "card/utility.h"
#include "card/workspace.h"
#include "pixel_icons.h"
#include "ps2_saves.h"
#include "sample_text.h"
#include "tools/card_inputs/card_inputs.h"

namespace slk::tools {
namespace {

class Silent : public MessageSink {
 public:
  void ShowMessage(int id) override {
    std::fprintf(stderr, "card operation refused: message %d\n", id);
  }
  bool AskYesNo(int) override { return true; }
  CardKind AskCardKind(CardKind preselected) override { return preselected; }
};

struct SampleSave {
  const char* name;   // card file name, at most 20 characters
  const char* title;  // UTF-8, stored as Shift-JIS
  PixelIcon (*icon)();
  int blocks;
  TimeStamp time;
};

// The save's blocks: title frame (magic, icon flag, block count, title,
// palette), the icon frames, then deterministic filler standing for game data.
std::vector<std::uint8_t> BuildPS1Save(const SampleSave& save) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(save.blocks) * 8192, 0);
  PixelIcon icon = save.icon();
  inputs::PutPS1TitleFrame(bytes,
                           {static_cast<std::uint32_t>(save.blocks), ToShiftJis(save.title),
                            static_cast<std::uint8_t>(0x10 + icon.frames.size()), icon.palette});
  inputs::PutPS1IconFrames(bytes, icon.frames);
  std::uint32_t state = static_cast<std::uint32_t>(save.blocks * 2654435761u) ^ bytes[4];
  inputs::FillPattern(bytes, 0x80 + 128 * icon.frames.size(), state);
  return bytes;
}

bool AddPS1Save(Workspace& ws, Slot s, const SampleSave& save) {
  return inputs::AddPS1Save(ws, s, save.name, BuildPS1Save(save), save.time);
}

const SampleSave kPS1Saves[] = {
    {"BASLUS-90001STARVOY", "ＳＴＡＲ　ＶＯＹＡＧＥＲ　　　　　　　セクター３　残り２機", StarIcon,
     1, At(2026, 11, 2, 21, 14, 5)},
    {"BESLES-90002HEARTQ", "ＨＥＡＲＴ　ＱＵＥＳＴ　第２章", HeartIcon, 2,
     At(2026, 10, 24, 5, 7, 9)},
    {"BISLPS-90003NEKO", "ねこのさんぽ　　　　　　　　　　　日曜日の公園", CatIcon, 1,
     At(2026, 9, 13, 16, 45, 30)},
    {"BASLUS-90004DUNGEON", "ＤＵＮＧＥＯＮ　ＫＥＹＳ　　　　　　地下５階", KeyIcon, 3,
     At(2025, 12, 31, 23, 59, 58)},
    {"BESLES-90005RALLY", "ＲＡＬＬＹ　ＳＰＲＩＮＴ　タイムアタック", CarIcon, 1,
     At(2026, 7, 4, 10, 0, 0)},
    {"BISLPS-90006HANABI", "はなび大会　　　　　　　　　　　　夏まつりの記録", FireworkIcon, 2,
     At(2026, 8, 15, 20, 30, 0)},
};

bool WriteCard(const std::string& path, CardKind kind, std::size_t saveCount) {
  Silent sink;
  Settings settings;
  Workspace ws(sink, settings);
  ws.CreateSlotStore(kLeft, 0);
  ws.At(kLeft).kind = kind;
  for (std::size_t i = 0; i < saveCount; ++i)
    if (!AddPS1Save(ws, kLeft, kPS1Saves[i])) return false;
  return SaveCardImage(ws, kLeft, path) == 1;
}

// The expanded card: three PS1 saves among six PS2 saves, nine in all so that
// they fill the list's first page; the last PS2 save shows the standard icon.
bool WriteMixedCard(const std::string& path) {
  Silent sink;
  Settings settings;
  Workspace ws(sink, settings);
  ws.CreateSlotStore(kLeft, 0);
  ws.At(kLeft).kind = CardKind::PS2;
  std::vector<PS2SampleSave> ps2 = MixedCardPS2Saves();
  struct Place {
    bool ps1;
    std::size_t index;
  };
  const Place order[] = {{false, 0}, {true, 0},  {false, 1}, {false, 2}, {true, 1},
                         {false, 3}, {false, 4}, {true, 2},  {false, 5}};
  for (const Place& place : order) {
    bool added = place.ps1 ? AddPS1Save(ws, kLeft, kPS1Saves[place.index])
                           : AddPS2Save(ws, kLeft, ps2[place.index]);
    if (!added) return false;
  }
  return SaveCardImage(ws, kLeft, path) == 1;
}

// Saves on their own, for trying Add: a PS2 save as .psu, a PS1 save as .ps1.
bool WriteSingleSaves(const std::string& out) {
  Silent sink;
  Settings settings;
  Workspace ws(sink, settings);
  ws.CreateSlotStore(kLeft, 0);
  ws.At(kLeft).kind = CardKind::PS2;
  if (!AddPS2Save(ws, kLeft, JellySave()) || !AddPS1Save(ws, kLeft, kPS1Saves[3])) return false;
  return SaveSaveImage(ws, kLeft, 0, out + "/slotkeeper-jelly.psu") == 1 &&
         SaveSaveImage(ws, kLeft, 1, out + "/slotkeeper-dungeon.ps1") == 1;
}

// An 8 MB PS2 card image with ECC, as the PS2 emulator keeps it, holding the
// PS2 saves of the mixed card and the jelly save. Made by the card library
// itself, with a fixed time for the root folder, so that the file does not
// change from one run to the next.
bool WritePS2Card(const std::string& path) {
  ps2::FormatOptions options;
  options.time = ps2::LocalToCardTime(At(2026, 6, 1, 9, 0, 0));
  platform::Problem why;
  std::optional<ps2::Ps2CardImage> card = ps2::Ps2CardImage::Open(ps2::FormatCard(options), why);
  if (!card) return false;
  std::vector<PS2SampleSave> saves = MixedCardPS2Saves();
  saves.push_back(JellySave());
  for (const PS2SampleSave& sample : saves) {
    ps2::NewSave save;
    save.name = sample.name;
    save.created = save.modified = sample.time;
    for (const PS2SampleFile& file : sample.files) {
      ps2::NewFile added;
      added.name = file.name;
      added.created = added.modified = sample.time;
      added.bytes = file.bytes;
      save.files.push_back(added);
    }
    if (card->AddSave(save).result != ps2::AddResult::Added) return false;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  const std::vector<std::uint8_t>& bytes = card->Serialize();
  return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

bool WritePreview(const std::string& path, const PixelIcon& icon) {
  constexpr int kScale = 8;
  int width = 16 * kScale * static_cast<int>(icon.frames.size());
  int height = 16 * kScale;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Frame16& f = icon.frames[x / (16 * kScale)];
      std::uint16_t c = icon.palette[f[y / kScale][(x / kScale) % 16]];
      row[3 * x] = static_cast<png_byte>((c & 31) << 3);
      row[3 * x + 1] = static_cast<png_byte>(((c >> 5) & 31) << 3);
      row[3 * x + 2] = static_cast<png_byte>(((c >> 10) & 31) << 3);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace
}  // namespace slk::tools

int main(int argc, char** argv) {
  using namespace slk;
  using namespace slk::tools;
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_samples OUTDIR [--preview DIR]\n");
    return 2;
  }
  std::string out = argv[1];
  setenv("TZ", "UTC", 1);
  tzset();
  if (argc >= 4 && std::string(argv[2]) == "--preview") {
    for (const SampleSave& save : kPS1Saves)
      WritePreview(std::string(argv[3]) + "/" + save.name + ".png", save.icon());
  }
  bool ok = WriteCard(out + "/slotkeeper-ps1.mcr", CardKind::PS1, std::size(kPS1Saves)) &&
            WriteMixedCard(out + "/slotkeeper-mixed.xmc") && WriteSingleSaves(out) &&
            WritePS2Card(out + "/slotkeeper-ps2.ps2");
  if (!ok) {
    std::fprintf(stderr, "make_samples: could not write the sample cards\n");
    return 1;
  }
  return 0;
}
