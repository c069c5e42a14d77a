#pragma once
// A look at the models before they are committed: a small software renderer
// that draws a model the way the program's list and detail views do (their
// camera, lights and material), written to PNG. For the generator only.

#include <string>
#include <vector>

#include "tools/make_icons/icon_file.h"

namespace slk::tools {

struct Image {
  Image(int w, int h, Rgb fill)
      : width(w), height(h), pixels(static_cast<std::size_t>(w * h), fill) {}
  Rgb& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
  int width;
  int height;
  std::vector<Rgb> pixels;
};

enum class View { List, Detail };

struct Viewport {
  int x = 0, y = 0, size = 64;
};

// Draws mesh k of the model (shape k / 4 moved (k mod 4) quarters towards the
// next) into the viewport; the detail view turns it by spinDegrees first.
// Returns the number of triangles left out because they cross the camera's
// near or far plane, which the program would cut.
int RenderMesh(const IconModel& model, int mesh, View view, int spinDegrees, Image& target,
               Viewport viewport);

bool WritePng(const std::string& path, const Image& image);

// One sheet per model: the list cell of every key shape (enlarged), the detail
// view at six turns, and the texture. Returns the triangles left out.
int WritePreviewSheet(const IconModel& model, const std::string& path);

}  // namespace slk::tools
