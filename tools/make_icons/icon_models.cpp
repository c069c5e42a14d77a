#include "tools/make_icons/icon_models.h"

namespace slk::tools {

IconModel AnimatedModel(std::string name, std::uint32_t textureType, int shapeCount,
                        int referenceShape, const std::function<Mesh(float phase)>& pose) {
  IconModel model;
  model.name = std::move(name);
  model.textureType = textureType;
  model.referenceShape = referenceShape;
  for (int s = 0; s < shapeCount; ++s)
    model.shapes.push_back(pose(static_cast<float>(s) / static_cast<float>(shapeCount)));
  return model;
}

std::vector<IconModel> AllIconModels() {
  std::vector<IconModel> models;
  models.push_back(StandardCardIcon());
  models.push_back(BouncingBallIcon());
  models.push_back(SpinningTopIcon());
  models.push_back(WobblingJellyIcon());
  models.push_back(FlappingBirdIcon());
  models.push_back(WavingFlagIcon());
  models.push_back(HoveringRocketIcon());
  return models;
}

}  // namespace slk::tools
