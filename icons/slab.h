#pragma once
// The slab: the thin square tile a PS1 icon is shown on. Its 36 vertices (six
// faces of two triangles) are built once; only the texture co-ordinates of
// the front and back faces change, to point at one frame's cell of the
// texture.

#include <cstdint>

#include "card/current_icon.h"

namespace slk {

inline constexpr std::uint32_t kSlabVertexCount = 36;

// Positions and normals of the tile, 1.6 wide and high and 0.2 thick;
// texture co-ordinates left at zero.
void BuildSlab(CurrentIcon& icon);

// Front and back faces show frame f's cell (frames 0-3 in a 2 x 2 grid); the
// four edges take the colour at (0.75, 0.75), inside cell 3.
void SetSlabFrame(CurrentIcon& icon, std::uint32_t frame);

}  // namespace slk
