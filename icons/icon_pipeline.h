#pragma once
// The icon pipeline: turns a save's icon into meshes in the display engine's
// ModelFrames and a picture in its IconTexture, pre-renders the visible saves'
// frames into the list's IconFrameCache, and builds the detail screen.
//
// Everything here runs on the user-interface thread while the rendering
// thread is paused: it owns the device, the IconTarget, the ModelFrames, the
// IconTexture and the IconFrameCache for as long as a call lasts.
//
// Icon data is untrusted. An icon that does not fit its bytes builds nothing
// (DecodeIcon returns 0), and the list cell and the detail screen show the
// standard icon instead; if even that cannot be read, the cell is left
// transparent and the detail screen shows no model.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "card/workspace.h"
#include "display/display_engine.h"
#include "display/frame_counters.h"
#include "display/shell_state.h"
#include "display/text_drawing.h"
#include "gfx/direct3d.h"
#include "icons/icon_image.h"
#include "icons/ps1_icon.h"

namespace slk {

// Vertex formats of the meshes: position, normal and one texture
// co-ordinate; or position, normal, diffuse and specular colour.
inline constexpr std::uint32_t kTexturedVertexFormat = 0x112;
inline constexpr std::uint32_t kColouredVertexFormat = 0xD2;

// The most frames a list cell caches.
inline constexpr std::uint32_t kListFramesPerCell = 8;

// The most bytes of an icon file that are read. A PS1 icon is its title
// frame and at most four frames of pixels; a PS2 icon model's size is only
// what the save claims, and every real one is far below 1 MiB. An icon whose
// file is larger is decoded from its first bytes.
inline constexpr std::uint64_t kPS1IconBytes =
    ps1icon::kBitmapOffset + ps1icon::kMaxFrames * ps1icon::kBitmapSize;
inline constexpr std::uint64_t kIconModelBytes = 1u << 20;

class IconPipeline {
 public:
  // Builds the slab. `standardIconPath` is the file the shell found for
  // "psicon/standard.ico"; it is read whenever an icon falls back to it.
  IconPipeline(DisplayEngine& engine, Workspace& ws, std::string standardIconPath);
  IconPipeline(const IconPipeline&) = delete;
  IconPipeline& operator=(const IconPipeline&) = delete;

  void SetStandardIconPath(std::string path) { standardIconPath_ = std::move(path); }
  const std::string& StandardIconPath() const { return standardIconPath_; }

  // --- Decoding (one icon at a time) ---

  // Decodes the list icon of entries[entryIndex] of the slot: 1 when its
  // meshes and texture were built, 0 when not (then ModelFrames is empty,
  // CurrentIcon's counts are 0 and the texture binding is unchanged).
  std::uint32_t DecodeIcon(Slot slot, std::uint32_t entryIndex);
  // Decodes the standard icon file the same way.
  std::uint32_t DecodeStandardIcon();
  // DecodeIcon, falling back to the standard icon when it fails. Returns
  // DecodeIcon's own result.
  std::uint32_t DecodeIconOrStandard(Slot slot, std::uint32_t entryIndex);

  void BuildSlab();
  void SetSlabFrame(std::uint32_t frame);
  void ReleaseModelFrames();
  void CreateMeshBuffer(gfx::VertexBufferPtr& entry, std::uint32_t vertexCount,
                        std::uint32_t vertexFormat);
  std::uint32_t PackColor15(ConsoleColour colour) const;
  void SetViewportRect(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height);

  // The PS2 decoder: fills CurrentIcon and ModelFrames[0 .. 4S-1] and, when
  // textured, the staging image. False when the model does not fit its bytes
  // (nothing is built then).
  bool ReadIconModel(std::span<const std::uint8_t> bytes);

  // --- The list ---

  // Renders every frame (at most 8) of the saves of rows first .. first+8 into
  // IconFrameCache[slot][cell], with a colour key per frame, and records the
  // counts in CellFrameCount. Leaves the render target on the RenderTarget,
  // the world transform at ListIconWorld and the viewport at 64 x 64. The
  // list draws only a PS2 model's key shapes, so only their meshes (0, 4,
  // 8, ...) are built here; ModelFrames keeps those of the last save, and
  // the detail screen decodes its own save in full.
  //
  // `which` splits the work for the start, whose first frame shows only
  // frame 0 of each cell: FirstOnly draws that frame and records a count of
  // 1; Rest draws the others and records the full counts. Together they
  // leave what All leaves.
  enum class ListFrames { All, FirstOnly, Rest };
  void PrerenderSlotIcons(Slot slot, std::uint32_t first, ListFrames which = ListFrames::All);

  // --- The detail screen ---

  // What the detail screen needs from outside the icon pipeline: the text
  // and number drawing, the texts (strings 18, 19, 22, 23), and the rendering
  // thread's counters, whose SpinAngle and ModelFrame it sets back to 0 (the
  // thread is paused then). Each may be null: that part is then skipped.
  void SetDetailContext(const TextDrawing* drawing, const ListTexts* texts,
                        FrameCounters* counters) {
    drawing_ = drawing;
    texts_ = texts;
    counters_ = counters;
  }
  // Composes the static detail screen of entries[entryIndex] onto the
  // RenderTarget, keeps it in the ComposeSurface, sets the model viewport and
  // decodes the icon (the standard icon when it cannot be built). Returns
  // DecodeIcon's result. The ComposeSurface must hold the list panels and the
  // TitleSurface the save's title box.
  std::uint32_t BuildDetailScreen(Slot slot, std::uint32_t entryIndex);
  void FillBackgroundQuad(Slot slot, std::uint32_t entryIndex);

  // The staging image of the last textured decode (for tests and export).
  const IconImage& StagingImage() const { return *image_; }
  // Meshes per picture of the icon decoded last: 1 for a PS1 icon, 4 for a
  // PS2 model (its key shapes are meshes 0, 4, 8, ...).
  std::uint32_t MeshStride() const { return meshStride_; }

 private:
  enum class Decoder { PS1, Model };

  bool FetchEntryIcon(Slot slot, std::uint32_t entryIndex, std::vector<std::uint8_t>& bytes);
  bool FetchStandardIcon(std::vector<std::uint8_t>& bytes);
  std::uint32_t Decode(std::span<const std::uint8_t> bytes, Decoder decoder);
  bool DecodePS1(std::span<const std::uint8_t> bytes);
  void UploadTexture();
  void ClearCurrentIcon();
  void RecycleMesh(gfx::VertexBufferPtr mesh);
  bool ReuseMesh(gfx::VertexBufferPtr& entry, std::uint32_t vertexCount, std::uint32_t format);
  void RenderCellFrame(Slot slot, std::uint32_t cell, std::uint32_t frame, std::uint32_t mesh);
  void DrawMesh(std::uint32_t mesh);
  void DrawDetailBackground();
  void DrawDetailTexts(gfx::Surface& target, const SaveEntry& entry);
  void DrawDetailNumbers(gfx::Surface& target, const SaveEntry& entry);

  DisplayEngine& engine_;
  Workspace& ws_;
  std::string standardIconPath_;
  std::unique_ptr<IconImage> image_;
  std::uint32_t meshStride_ = 1;
  // While the list is pre-rendered: only the first this many key shapes are
  // built (0: every mesh).
  std::uint32_t keyShapes_ = 0;
  // Released meshes, oldest first, kept for a later decode that asks for the
  // same format and vertex count: the list and the detail screen decode the
  // same icons again and again, and fresh buffers cost an allocation and a
  // zero fill each. Bounded by kMeshPoolBytes.
  std::vector<gfx::VertexBufferPtr> meshPool_;
  std::size_t meshPoolBytes_ = 0;
  const TextDrawing* drawing_ = nullptr;
  const ListTexts* texts_ = nullptr;
  FrameCounters* counters_ = nullptr;
};

}  // namespace slk
