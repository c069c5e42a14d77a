// Writes our own PS2 icon models: psicon/standard.ico, which the program
// shows for every save whose icon is missing. The sample icons are built by
// the same code and stored inside the sample saves by make_samples. With
// --preview it also draws every model as the program's views would show it.
//
//   make_icons PSICON_DIR [--preview DIR]

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/make_icons/icon_models.h"
#include "tools/make_icons/preview.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
         std::fflush(file.get()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace slk::tools;
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: make_icons PSICON_DIR [--preview DIR]\n");
    return 2;
  }
  std::vector<IconModel> models = AllIconModels();
  for (const IconModel& model : models) {
    std::string problem = CheckIconModel(model);
    if (!problem.empty()) {
      std::fprintf(stderr, "make_icons: %s: %s\n", model.name.c_str(), problem.c_str());
      return 1;
    }
  }
  const IconModel& standard = models.front();
  std::vector<std::uint8_t> bytes = WriteIconModel(standard);
  if (!WriteFile(std::string(argv[1]) + "/standard.ico", bytes)) {
    std::fprintf(stderr, "make_icons: cannot write %s/standard.ico\n", argv[1]);
    return 1;
  }
  if (argc == 4) {
    std::error_code ignored;
    std::filesystem::create_directories(argv[3], ignored);
    for (const IconModel& model : models) {
      std::string path = std::string(argv[3]) + "/" + model.name + ".png";
      int cut = WritePreviewSheet(model, path);
      std::printf("%-14s %zu shapes, %zu vertices, type 0x%02X, %zu bytes%s\n", model.name.c_str(),
                  model.shapes.size(), model.shapes.front().Size(), model.textureType,
                  WriteIconModel(model).size(),
                  cut < 0   ? ", preview not written"
                  : cut > 0 ? ", TRIANGLES CUT BY THE CAMERA"
                            : "");
    }
  }
  return 0;
}
