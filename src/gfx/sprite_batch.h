// The sprites of a frame gathered into one vertex array, turned on the CPU,
// with a run for each stretch of consecutive sprites that share an image and
// a blend. Plain code; draw_world.cpp hands the array to OpenGL.
#pragma once

#include <vector>

struct ObjectDef;
struct TextureDef;

// Interleaved for glVertexPointer and glTexCoordPointer.
struct BatchVertex {
  float x, y;  // world units
  float u, v;  // texture coordinates, v = 0 at the image's first row
};

// One draw call: count vertices from first, with one texture and one blend.
struct SpriteRun {
  unsigned texture = 0;
  bool additive = false;  // the object's blend 1: the sprite adds to the picture
  int first = 0, count = 0;
  // Unscaled and unturned on whole pixels of a picture shown pixel for
  // pixel: every pixel centre is a texel centre, where the nearest filter
  // gives the very pixels of the linear one for less work.
  bool onPixels = false;
};

class SpriteBatch {
 public:
  // Two triangles per sprite, so that runs of any length are one draw.
  static constexpr int verticesPerSprite = 6;

  // Empties the batch but keeps its storage, so that a frame no larger than
  // an earlier one allocates nothing.
  void clear();
  bool empty() const { return runs_.empty(); }
  // Adds image as def draws it, centred on the offset and turned by angle
  // (radians, clockwise on screen) about (x, y).
  void add(const ObjectDef& def, const TextureDef& image, float x, float y, float angle);
  // The world position at the top-left corner of a picture shown pixel for
  // pixel, for telling sprites that lie on whole pixels; until it is set,
  // and after clearPixelOrigin, none does.
  void setPixelOrigin(float x, float y);
  void clearPixelOrigin();

  const std::vector<BatchVertex>& vertices() const { return vertices_; }
  const std::vector<SpriteRun>& runs() const { return runs_; }

 private:
  std::vector<BatchVertex> vertices_;
  std::vector<SpriteRun> runs_;
  bool hasOrigin_ = false;
  float originX_ = 0, originY_ = 0;
};
