#include "ps2_saves.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "sample_text.h"
#include "tools/card_inputs/card_inputs.h"
#include "tools/make_icons/icon_models.h"

namespace slk::tools {
namespace {

// The files' mode word as these samples have always carried it.
constexpr SaveMode kModePS2File = 0x8417;

// icon.sys holds 68 title bytes, of which the program reads 64, and 64 bytes
// for each icon file name.
constexpr std::size_t kTitleBytes = 64;
constexpr std::size_t kIconNameBytes = 64;

struct Colour {
  std::uint32_t r, g, b;  // 0 to 128, as the console scales them
};

struct IconSysDesign {
  const char* line1;  // UTF-8
  const char* line2;
  std::array<Colour, 4> corners;  // top-left, top-right, bottom-left, bottom-right
  const char* listIcon;
  const char* copyIcon;
  const char* deleteIcon;
};

// Stops the generator when a design's text does not fit its field: the
// builder would cut it short.
std::string Fitting(const std::string& text, std::size_t room) {
  if (text.size() >= room) {
    std::fprintf(stderr, "make_samples: \"%s\" does not fit in %zu bytes\n", text.c_str(), room);
    std::abort();
  }
  return text;
}

std::vector<std::uint8_t> BuildIconSys(const IconSysDesign& design) {
  std::string line1 = ToShiftJis(design.line1), line2 = ToShiftJis(design.line2);
  inputs::IconSysFields sys;
  sys.title = Fitting(line1 + line2, kTitleBytes);
  sys.lineBreak = static_cast<std::uint16_t>(line1.size());
  for (std::size_t k = 0; k < 4; ++k)
    sys.corners[k] = {design.corners[k].r, design.corners[k].g, design.corners[k].b, 0};
  // Our own lighting for the console's browser: a warm key light from the
  // upper right, a cool fill from the left and a faint light from below.
  sys.lightDirections = {{{0.6f, 0.6f, 0.4f, 0}, {-0.5f, 0.2f, 0.6f, 0}, {0, -0.7f, -0.2f, 0}}};
  sys.lightColours = {{{0.56f, 0.54f, 0.48f, 0}, {0.26f, 0.3f, 0.4f, 0}, {0.12f, 0.12f, 0.14f, 0}}};
  sys.ambient = {0.3f, 0.3f, 0.3f, 0};
  sys.icons = {Fitting(design.listIcon, kIconNameBytes), Fitting(design.copyIcon, kIconNameBytes),
               Fitting(design.deleteIcon, kIconNameBytes)};
  return inputs::BuildIconSys(sys);
}

// Stands for a game's own data: a small header, then bytes from a generator
// seeded by the file's name, so every run writes the same files.
std::vector<std::uint8_t> GameData(const std::string& name, std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0);
  std::uint32_t state = 2166136261u;
  for (char c : name) state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
  inputs::PutText(bytes, 0, "SKGD");
  inputs::Put32(bytes, 4, static_cast<std::uint32_t>(size));
  inputs::FillPattern(bytes, 8, state);
  return bytes;
}

PS2SampleFile IconFile(const char* name, const IconModel& model) {
  return {name, WriteIconModel(model)};
}

PS2SampleSave BounceSave() {
  IconSysDesign sys{"ＢＯＵＮＣＥ　ＢＡＬＬ",
                    "ステージ７　ハイスコア",
                    {{{10, 70, 120}, {0, 100, 110}, {0, 20, 50}, {10, 30, 60}}},
                    "ball.ico",
                    "ball.ico",
                    "ball.ico"};
  return {"BASLUS-99101BOUNCE",
          At(2026, 6, 21, 14, 2, 11),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("ball.ico", BouncingBallIcon()),
           {"BASLUS-99101BOUNCE", GameData("BASLUS-99101BOUNCE", 12288)},
           {"replay.dat", GameData("replay.dat", 4000)}}};
}

PS2SampleSave TopSave() {
  IconSysDesign sys{"こままわし　名人戦",
                    "第３試合まで勝ち抜き",
                    {{{110, 40, 20}, {120, 80, 10}, {40, 10, 10}, {50, 20, 0}}},
                    "koma.ico",
                    "koma.ico",
                    "koma.ico"};
  return {"BISLPM-99102KOMA",
          At(2026, 1, 3, 9, 30, 0),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("koma.ico", SpinningTopIcon()),
           {"BISLPM-99102KOMA", GameData("BISLPM-99102KOMA", 8192)}}};
}

PS2SampleSave BirdSave() {
  IconSysDesign sys{"ＢＬＵＥＢＩＲＤ",
                    "ワールド２－４　クリア",
                    {{{40, 90, 128}, {70, 110, 128}, {10, 40, 80}, {20, 60, 90}}},
                    "bird.ico",
                    "bird.ico",
                    "bird.ico"};
  return {"BESLES-99103BLUEBIRD",
          At(2026, 4, 12, 18, 45, 3),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("bird.ico", FlappingBirdIcon()),
           {"flight.dat", GameData("flight.dat", 20000)},
           {"ghost.dat", GameData("ghost.dat", 6144)}}};
}

PS2SampleSave FlagSave() {
  IconSysDesign sys{"ＣＡＰＴＵＲＥ　ＴＨＥ　ＦＬＡＧ",
                    "チーム　ブルー",
                    {{{0, 60, 70}, {10, 30, 90}, {0, 20, 30}, {0, 10, 40}}},
                    "flag.ico",
                    "flag.ico",
                    "flag.ico"};
  return {"BASLUS-99104FLAGRUN",
          At(2026, 9, 1, 7, 5, 9),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("flag.ico", WavingFlagIcon()),
           {"SAVE0001.DAT", GameData("SAVE0001.DAT", 16384)},
           {"SAVE0002.DAT", GameData("SAVE0002.DAT", 16384)}}};
}

PS2SampleSave RocketSave() {
  IconSysDesign sys{"ロケット工房",
                    "ミッション０８　打ち上げ成功",
                    {{{30, 10, 60}, {60, 20, 80}, {5, 5, 20}, {10, 5, 30}}},
                    "rocket.ico",
                    "rocket.ico",
                    "rocket.ico"};
  return {"BISLPS-99105ROCKET",
          At(2026, 3, 14, 22, 10, 40),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("rocket.ico", HoveringRocketIcon()),
           {"BISLPS-99105ROCKET", GameData("BISLPS-99105ROCKET", 10000)},
           {"hangar.dat", GameData("hangar.dat", 3000)}}};
}

// icon.sys names "list.ico", which the save lacks; only its copy and delete
// icon exist, so the program shows the standard icon for it.
PS2SampleSave MissingIconSave() {
  IconSysDesign sys{"ＭＩＳＳＩＮＧ　ＩＣＯＮ",
                    "標準アイコンで表示",
                    {{{60, 60, 60}, {80, 80, 80}, {20, 20, 20}, {30, 30, 30}}},
                    "list.ico",
                    "copy.ico",
                    "copy.ico"};
  return {"BASLUS-99106NOICON",
          At(2026, 2, 28, 12, 0, 0),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("copy.ico", WobblingJellyIcon()),
           {"BASLUS-99106NOICON", GameData("BASLUS-99106NOICON", 5000)}}};
}

}  // namespace

std::vector<PS2SampleSave> MixedCardPS2Saves() {
  return {BounceSave(), TopSave(), BirdSave(), FlagSave(), RocketSave(), MissingIconSave()};
}

PS2SampleSave JellySave() {
  IconSysDesign sys{"ＪＥＬＬＹ　ＰＡＲＴＹ",
                    "いちご味　レベル１２",
                    {{{120, 30, 60}, {128, 70, 90}, {40, 10, 20}, {50, 20, 30}}},
                    "jelly.ico",
                    "jelly.ico",
                    "jelly.ico"};
  return {"BISLPM-99107JELLY",
          At(2026, 5, 5, 15, 15, 15),
          {{"icon.sys", BuildIconSys(sys)},
           IconFile("jelly.ico", WobblingJellyIcon()),
           {"BISLPM-99107JELLY", GameData("BISLPM-99107JELLY", 7000)}}};
}

bool AddPS2Save(Workspace& ws, Slot s, const PS2SampleSave& save) {
  inputs::PS2SaveInput input{save.name, {}, save.time, save.time, kModePS2File};
  for (const PS2SampleFile& file : save.files) input.files.emplace_back(file.name, file.bytes);
  return inputs::AddPS2Save(ws, s, input, inputs::IconSysUse::ReadWhenPresent);
}

}  // namespace slk::tools
