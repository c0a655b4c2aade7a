// Building the sprite batch: the transform that glTranslatef and glRotatef
// used to apply per object, done here once per corner.
#include "gfx/sprite_batch.h"

#include <cmath>

#include "content/world_data.h"

namespace {

bool whole(float v) {
  return std::floor(v) == v;
}

}  // namespace

void SpriteBatch::setPixelOrigin(float x, float y) {
  hasOrigin_ = true;
  originX_ = x;
  originY_ = y;
}

void SpriteBatch::clearPixelOrigin() {
  hasOrigin_ = false;
}

void SpriteBatch::clear() {
  vertices_.clear();
  runs_.clear();
}

void SpriteBatch::add(const ObjectDef& def, const TextureDef& image, float x, float y,
                      float angle) {
  float half = def.imageScale * 0.5f;
  float hw = float(image.width) * half;
  float hh = float(image.height) * half;
  float ox = def.imageOffset.x, oy = def.imageOffset.y;
  float c = std::cos(angle), s = std::sin(angle);
  auto corner = [&](float cx, float cy, float u, float v) {
    return BatchVertex{x + c * cx - s * cy, y + s * cx + c * cy, u, v};
  };
  BatchVertex leftBottom = corner(ox - hw, oy + hh, 0, 1);
  BatchVertex leftTop = corner(ox - hw, oy - hh, 0, 0);
  BatchVertex rightBottom = corner(ox + hw, oy + hh, 1, 1);
  BatchVertex rightTop = corner(ox + hw, oy - hh, 1, 0);
  // Split along the same diagonal as the triangle strip each sprite once was.
  for (const BatchVertex& vertex :
       {leftBottom, leftTop, rightBottom, rightBottom, leftTop, rightTop})
    vertices_.push_back(vertex);

  bool additive = def.blend == 1;
  // The same float differences as the camera's translation makes.
  bool onPixels = hasOrigin_ && c == 1 && s == 0 && def.imageScale == 1 &&
                  whole(leftTop.x - originX_) && whole(leftTop.y - originY_) &&
                  whole(rightBottom.x - originX_) && whole(rightBottom.y - originY_);
  if (runs_.empty() || runs_.back().texture != image.texture || runs_.back().additive != additive ||
      runs_.back().onPixels != onPixels)
    runs_.push_back(
        {image.texture, additive, int(vertices_.size()) - verticesPerSprite, 0, onPixels});
  runs_.back().count += verticesPerSprite;
}
