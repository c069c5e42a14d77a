#include "icons/icon_pipeline.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include "icons/icon_model.h"
#include "icons/pack_color.h"
#include "icons/ps1_icon.h"
#include "icons/slab.h"
#include "platform/bytes.h"
#include "platform/file.h"

namespace slk {

namespace {

constexpr std::size_t kMeshPoolBytes = 8u << 20;

void PutFloat(std::uint8_t* p, float f) {
  platform::PutU32LE(p, std::bit_cast<std::uint32_t>(f));
}

void WriteSlabVertices(const CurrentIcon& icon, std::span<std::uint8_t> out) {
  for (std::size_t i = 0; i < icon.slab.size() && (i + 1) * kMeshVertexSize <= out.size(); ++i) {
    const SlabVertex& v = icon.slab[i];
    std::uint8_t* p = out.data() + i * kMeshVertexSize;
    const float fields[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
    for (std::size_t k = 0; k < 8; ++k) PutFloat(p + 4 * k, fields[k]);
  }
}

// Fills a freshly created vertex buffer; a buffer that could not be made or
// locked is left alone, as a failed device call is everywhere else.
template <typename Fill>
void FillBuffer(const gfx::VertexBufferPtr& buffer, Fill fill) {
  if (!buffer) return;
  std::span<std::uint8_t> bytes;
  if (buffer->Lock(bytes) != gfx::Result::Ok) return;
  fill(bytes);
  buffer->Unlock();
}

}  // namespace

IconPipeline::IconPipeline(DisplayEngine& engine, Workspace& ws, std::string standardIconPath)
    : engine_(engine),
      ws_(ws),
      standardIconPath_(std::move(standardIconPath)),
      image_(std::make_unique<IconImage>()) {
  BuildSlab();
}

void IconPipeline::BuildSlab() {
  slk::BuildSlab(ws_.Icon());
}

void IconPipeline::SetSlabFrame(std::uint32_t frame) {
  slk::SetSlabFrame(ws_.Icon(), frame);
}

void IconPipeline::ReleaseModelFrames() {
  for (gfx::VertexBufferPtr& entry : engine_.ModelFrames()) RecycleMesh(std::move(entry));
}

void IconPipeline::RecycleMesh(gfx::VertexBufferPtr mesh) {
  // A buffer someone else still holds is theirs to release.
  if (!mesh || mesh.use_count() != 1 || mesh->IsLocked()) return;
  meshPoolBytes_ += mesh->Bytes().size();
  meshPool_.push_back(std::move(mesh));
  while (meshPoolBytes_ > kMeshPoolBytes) {
    meshPoolBytes_ -= meshPool_.front()->Bytes().size();
    meshPool_.erase(meshPool_.begin());
  }
}

bool IconPipeline::ReuseMesh(gfx::VertexBufferPtr& entry, std::uint32_t vertexCount,
                             std::uint32_t format) {
  for (std::size_t i = meshPool_.size(); i-- > 0;) {
    gfx::VertexBufferPtr& mesh = meshPool_[i];
    if (mesh->Fvf() != format || mesh->VertexCount() != vertexCount) continue;
    meshPoolBytes_ -= mesh->Bytes().size();
    entry = std::move(mesh);
    meshPool_.erase(meshPool_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  return false;
}

void IconPipeline::CreateMeshBuffer(gfx::VertexBufferPtr& entry, std::uint32_t vertexCount,
                                    std::uint32_t vertexFormat) {
  RecycleMesh(std::move(entry));
  entry.reset();
  // Every caller overwrites all vertices, so a recycled buffer serves as well
  // as a new one.
  if (ReuseMesh(entry, vertexCount, vertexFormat)) return;
  if (!engine_.Direct3D()) return;
  gfx::VertexBufferDesc description;
  description.caps = 0;
  description.fvf = vertexFormat;
  description.numVertices = vertexCount;
  engine_.Direct3D()->CreateVertexBuffer(description, entry, 0);
}

std::uint32_t IconPipeline::PackColor15(ConsoleColour colour) const {
  return slk::PackColor15(colour, engine_.PixelLayout());
}

void IconPipeline::SetViewportRect(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                                   std::uint32_t height) {
  if (!engine_.Device()) return;
  gfx::Viewport viewport;
  viewport.x = x;
  viewport.y = y;
  viewport.width = width;
  viewport.height = height;
  viewport.minZ = 0.0f;
  viewport.maxZ = 1.0f;
  engine_.Device()->SetViewport(viewport);
}

void IconPipeline::ClearCurrentIcon() {
  CurrentIcon& icon = ws_.Icon();
  icon.frameCount = 0;
  icon.meshCount = 0;
  icon.vertexCount = 0;
  icon.textured = 0;
}

std::uint32_t IconPipeline::DecodeIcon(Slot slot, std::uint32_t entryIndex) {
  ReleaseModelFrames();
  ClearCurrentIcon();
  std::vector<std::uint8_t> bytes;
  const SlotData& data = ws_.At(slot);
  if (entryIndex >= data.EntryCount()) return 0;
  const SaveEntry& entry = data.entries[entryIndex];
  if (entry.useStandardIcon != 0) {
    // The standard icon is a PS2 icon model whatever the save is.
    if (!FetchStandardIcon(bytes)) return 0;
    return Decode(bytes, Decoder::Model);
  }
  if (!FetchEntryIcon(slot, entryIndex, bytes)) return 0;
  return Decode(bytes, entry.IsPS1() ? Decoder::PS1 : Decoder::Model);
}

std::uint32_t IconPipeline::DecodeStandardIcon() {
  ReleaseModelFrames();
  ClearCurrentIcon();
  std::vector<std::uint8_t> bytes;
  if (!FetchStandardIcon(bytes)) return 0;
  return Decode(bytes, Decoder::Model);
}

std::uint32_t IconPipeline::DecodeIconOrStandard(Slot slot, std::uint32_t entryIndex) {
  std::uint32_t result = DecodeIcon(slot, entryIndex);
  if (result == 0) DecodeStandardIcon();
  return result;
}

bool IconPipeline::FetchEntryIcon(Slot slot, std::uint32_t entryIndex,
                                  std::vector<std::uint8_t>& bytes) {
  const SaveEntry& entry = ws_.At(slot).entries[entryIndex];
  const std::uint64_t offset = entry.iconOffsets[0];
  const std::uint64_t size = entry.iconSizes[0];
  // Sizes come from the card image: never allocate past what the slot holds,
  // nor past what an icon can use (a PS1 save's icon "file" is the whole save).
  const platform::File& file = ws_.At(slot).dataFile;
  if (!file.IsOpen() || size == 0 || offset + size > file.Size()) return false;
  const std::uint64_t used = std::min(size, entry.IsPS1() ? kPS1IconBytes : kIconModelBytes);
  bytes.assign(static_cast<std::size_t>(used), 0);
  return ws_.ReadSlotBytes(slot, offset, bytes.data(), used);
}

bool IconPipeline::FetchStandardIcon(std::vector<std::uint8_t>& bytes) {
  platform::File file = platform::File::OpenForReading(standardIconPath_);
  if (!file.IsOpen()) return false;
  bytes.assign(static_cast<std::size_t>(std::min(file.Size(), kIconModelBytes)), 0);
  return file.ReadExact(bytes.data(), bytes.size());
}

std::uint32_t IconPipeline::Decode(std::span<const std::uint8_t> bytes, Decoder decoder) {
  bool built = decoder == Decoder::PS1 ? DecodePS1(bytes) : ReadIconModel(bytes);
  meshStride_ = decoder == Decoder::PS1 ? 1 : 4;
  if (!built) {
    ReleaseModelFrames();
    ClearCurrentIcon();
    return 0;
  }
  if (!engine_.Device()) return 1;
  if (ws_.Icon().textured != 0) {
    UploadTexture();
    engine_.Device()->SetTexture(0, engine_.IconTexture());
  } else {
    engine_.Device()->SetTexture(0, nullptr);
  }
  return 1;
}

bool IconPipeline::DecodePS1(std::span<const std::uint8_t> bytes) {
  auto frames = DecodePS1Image(bytes, *image_);
  if (!frames) return false;
  CurrentIcon& icon = ws_.Icon();
  icon.frameCount = icon.meshCount = *frames;
  icon.vertexCount = kSlabVertexCount;
  icon.textured = 1;
  for (std::uint32_t f = 0; f < *frames; ++f) {
    gfx::VertexBufferPtr& mesh = engine_.ModelFrames()[f];
    CreateMeshBuffer(mesh, kSlabVertexCount, kTexturedVertexFormat);
    SetSlabFrame(f);
    FillBuffer(mesh, [&](std::span<std::uint8_t> out) { WriteSlabVertices(icon, out); });
  }
  return true;
}

bool IconPipeline::ReadIconModel(std::span<const std::uint8_t> bytes) {
  auto model = ParseIconModel(bytes, *image_);
  if (!model) return false;
  CurrentIcon& icon = ws_.Icon();
  icon.frameCount = model->shapeCount;
  icon.meshCount = 4 * model->shapeCount;
  icon.vertexCount = model->vertexCount;
  icon.textured = model->textured ? 1 : 0;
  const std::uint32_t format = model->textured ? kTexturedVertexFormat : kColouredVertexFormat;
  for (std::uint32_t k = 0; k < icon.meshCount; ++k) {
    if (keyShapes_ != 0 && (k % 4 != 0 || k / 4 >= keyShapes_)) continue;
    gfx::VertexBufferPtr& mesh = engine_.ModelFrames()[k];
    CreateMeshBuffer(mesh, model->vertexCount, format);
    FillBuffer(mesh, [&](std::span<std::uint8_t> out) { WriteMeshVertices(*model, k, out); });
  }
  return true;
}

void IconPipeline::UploadTexture() {
  const gfx::SurfacePtr& texture = engine_.IconTexture();
  if (!texture) return;
  gfx::LockedRect locked;
  if (texture->Lock(locked) != gfx::Result::Ok) return;
  const std::uint32_t bytesPerTexel = std::min(engine_.PixelLayout().textureBytesPerPixel, 4u);
  const int width = std::min(texture->Width(), kIconImageSize);
  const int height = std::min(texture->Height(), kIconImageSize);
  // The three components pack independently: each 5-bit value's share of
  // the texel is looked up, not worked out for each of the 16,384 texels.
  std::array<std::uint32_t, 32> red, green, blue;
  for (std::uint32_t v = 0; v < 32; ++v) {
    red[v] = PackColor15(static_cast<ConsoleColour>(v));
    green[v] = PackColor15(static_cast<ConsoleColour>(v << 5));
    blue[v] = PackColor15(static_cast<ConsoleColour>(v << 10));
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* texel = locked.bits.data() + static_cast<std::size_t>(y) * locked.pitch;
    for (int x = 0; x < width; ++x, texel += bytesPerTexel) {
      const ConsoleColour c = TexelAt(*image_, x, y);
      const std::uint32_t value = red[c & 31] | green[(c >> 5) & 31] | blue[(c >> 10) & 31];
      for (std::uint32_t b = 0; b < bytesPerTexel; ++b)
        texel[b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
  }
  texture->Unlock();
}

}  // namespace slk
