#pragma once
// Internal to gfx: the vertices of one triangle-list draw. A mesh repeats
// each corner for every triangle that shares it; the batch finds the
// distinct vertices (by their bytes) and transforms, lights, clip-tests and
// maps each of them once, then draws the triangles in their order.

#include <cstdint>
#include <vector>

#include "gfx/pipeline.h"
#include "gfx/raster.h"

namespace slk::gfx::detail {

// A vertex after the per-vertex stages: in clip space with the clip planes it
// lies outside, and ready for triangle set-up when it lies inside all of them.
struct PreparedVertex {
  ClipVertex clip;
  unsigned outCode = 0;
  SetupVertex screen;  // only when outCode is 0
};

class VertexBatch {
 public:
  // Draws `vertexCount / 3` triangles from `vertexCount` vertices of
  // `layout.stride` bytes each. The buffers are kept for the next call.
  void Draw(const std::uint8_t* vertices, std::uint32_t vertexCount, const FvfLayout& layout,
            const VertexTransformer& transformer, const Viewport& viewport, Rasterizer& rasterizer);

 private:
  void FindDistinct(const std::uint8_t* vertices, std::uint32_t count, std::uint32_t stride);
  template <class Bytes>
  void Index(const Bytes& bytes, const std::uint8_t* vertices, std::uint32_t count);

  std::vector<std::uint32_t> slots_;          // hash table: distinct index + 1, or 0
  std::vector<std::size_t> filled_;           // the slots this call filled
  std::vector<std::uint32_t> hashes_;         // of each distinct vertex
  std::vector<const std::uint8_t*> sources_;  // the bytes of each distinct vertex
  std::vector<std::uint32_t> corners_;        // the distinct vertex of each vertex drawn
  std::vector<PreparedVertex> prepared_;      // of each distinct vertex
};

}  // namespace slk::gfx::detail
