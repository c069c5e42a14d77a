#include "gfx/vertex_batch.h"

#include <cstring>

namespace slk::gfx::detail {

namespace {

// Vertices are compared as 64-bit words and a tail of bytes; the sizes of
// the usual formats are known at compile time (0: given at run time).
template <std::uint32_t Width>
struct VertexBytes {
  std::uint32_t runtimeSize;

  std::uint32_t Size() const { return Width != 0 ? Width : runtimeSize; }

  // Equal bytes give equal hashes whatever the byte order of the machine;
  // only equality matters here.
  std::uint32_t Hash(const std::uint8_t* p) const {
    const std::uint32_t size = Size();
    std::uint64_t h = size;
    std::uint32_t i = 0;
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, sizeof word);
      h = (h ^ word) * 0x9E3779B97F4A7C15ull;
    }
    for (; i < size; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
  }
  bool Same(const std::uint8_t* a, const std::uint8_t* b) const {
    const std::uint32_t size = Size();
    std::uint64_t difference = 0;
    std::uint32_t i = 0;
    for (; i + 8 <= size; i += 8) {
      std::uint64_t x, y;
      std::memcpy(&x, a + i, sizeof x);
      std::memcpy(&y, b + i, sizeof y);
      difference |= x ^ y;
    }
    for (; i < size; ++i) difference |= static_cast<std::uint64_t>(a[i] ^ b[i]);
    return difference == 0;
  }
};

std::size_t TableSize(std::uint32_t count) {
  std::size_t size = 16;
  while (size < 2 * static_cast<std::size_t>(count)) size *= 2;
  return size;
}

}  // namespace

void VertexBatch::FindDistinct(const std::uint8_t* vertices, std::uint32_t count,
                               std::uint32_t stride) {
  // The table only grows; the slots a call fills are emptied at its end, which
  // is cheaper than clearing the whole table each time.
  if (slots_.size() < TableSize(count)) slots_.assign(TableSize(count), 0);
  hashes_.clear();
  sources_.clear();
  filled_.clear();
  corners_.resize(count);
  switch (stride) {
    case 32:  // position, normal and colour or texture co-ordinates
      Index(VertexBytes<32>{32}, vertices, count);
      break;
    case 36:  // position, normal, colour and texture co-ordinates
      Index(VertexBytes<36>{36}, vertices, count);
      break;
    default:
      Index(VertexBytes<0>{stride}, vertices, count);
      break;
  }
  for (std::size_t slot : filled_) slots_[slot] = 0;
}

template <class Bytes>
void VertexBatch::Index(const Bytes& bytes, const std::uint8_t* vertices, std::uint32_t count) {
  const std::size_t mask = slots_.size() - 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* vertex = vertices + static_cast<std::size_t>(i) * bytes.Size();
    const std::uint32_t hash = bytes.Hash(vertex);
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t entry = slots_[slot];
      if (entry == 0) {
        hashes_.push_back(hash);
        sources_.push_back(vertex);
        filled_.push_back(slot);
        slots_[slot] = static_cast<std::uint32_t>(sources_.size());
        corners_[i] = static_cast<std::uint32_t>(sources_.size() - 1);
        break;
      }
      if (hashes_[entry - 1] == hash && bytes.Same(sources_[entry - 1], vertex)) {
        corners_[i] = entry - 1;
        break;
      }
    }
  }
}

void VertexBatch::Draw(const std::uint8_t* vertices, std::uint32_t vertexCount,
                       const FvfLayout& layout, const VertexTransformer& transformer,
                       const Viewport& viewport, Rasterizer& rasterizer) {
  const std::uint32_t used = vertexCount / 3 * 3;
  FindDistinct(vertices, used, layout.stride);
  prepared_.resize(sources_.size());
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    PreparedVertex& p = prepared_[i];
    p.clip = transformer.Process(sources_[i], layout);
    p.outCode = OutCode(p.clip);
    if (p.outCode == 0) p.screen = PrepareVertex(ToScreen(p.clip, viewport));
  }
  for (std::uint32_t i = 0; i < used; i += 3) {
    const PreparedVertex& a = prepared_[corners_[i]];
    const PreparedVertex& b = prepared_[corners_[i + 1]];
    const PreparedVertex& c = prepared_[corners_[i + 2]];
    if ((a.outCode & b.outCode & c.outCode) != 0) continue;  // wholly outside one plane
    if ((a.outCode | b.outCode | c.outCode) == 0) {
      rasterizer.Triangle(a.screen, b.screen, c.screen);
    } else {
      ClipAndDraw(a.clip, b.clip, c.clip, viewport, rasterizer);
    }
  }
}

}  // namespace slk::gfx::detail
