#pragma once
// Our own PS2 icon models: the standard icon that stands in for every save
// whose icon is missing, and the sample icons of the sample cards, each made
// to show one thing the icon pipeline can do.

#include <functional>
#include <string>
#include <vector>

#include "tools/make_icons/icon_file.h"

namespace slk::tools {

// A memory card that bobs and sways gently; run-length texture, 6 shapes.
IconModel StandardCardIcon();

// A beach ball bouncing with squash and stretch; plain texture (type 0x07), 8 shapes.
IconModel BouncingBallIcon();
// A spinning top wobbling round; vertex colours only, 6 shapes.
IconModel SpinningTopIcon();
// A bird flapping its wings; run-length texture (type 0x0F), 4 shapes.
IconModel FlappingBirdIcon();
// A flag waving on its pole; plain texture (type 0x06), 8 shapes.
IconModel WavingFlagIcon();
// A toy rocket hovering on a flickering flame; plain texture after a size
// word (type 0x05), 2 shapes.
IconModel HoveringRocketIcon();
// A jelly sweet wobbling; vertex colours only, 3 shapes.
IconModel WobblingJellyIcon();

// Every model above, the standard icon first.
std::vector<IconModel> AllIconModels();

// Builds a model from a pose: shape s is pose(s / shapeCount), so the poses
// of one full cycle of the movement become the key shapes of the loop.
IconModel AnimatedModel(std::string name, std::uint32_t textureType, int shapeCount,
                        int referenceShape, const std::function<Mesh(float phase)>& pose);

}  // namespace slk::tools
