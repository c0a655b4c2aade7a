// Drawing of the world: every object as one textured quad turned with its
// body, layer 0 under layer 1, all from one vertex array; debug outlines and
// the contact overlay.
#include "gfx/draw_world.h"

#include <GL/gl.h>

#include "content/world_data.h"
#include "gfx/graphics.h"
#include "gfx/sprite_batch.h"
#include "world/contact_log.h"
#include "world/world.h"

namespace {

// 1/pi in single precision; multiplied in this order so that outlines turn by
// exactly the same float angle as the bodies report.
constexpr float inversePi = 0.31830987f;

// Every sprite of a frame, drawn from client-side arrays at the end of the
// frame's world; kept from frame to frame so that drawing allocates nothing
// once it has seen the largest frame.
SpriteBatch sprites;

// Picks the sprite's image: the lit one only when there is one.
const TextureDef* chooseImage(const ObjectDef& def, bool lit) {
  if (lit && def.litImgTexture) return def.litImgTexture;
  return def.imgTexture;
}

void drawSprites() {
  if (sprites.empty()) return;
  glEnable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  pointArraysAt(sprites.vertices().data());
  for (const SpriteRun& run : sprites.runs()) {
    glBlendFunc(GL_SRC_ALPHA, run.additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, run.texture);
    if (run.onPixels) setTextureFilter(true);
    drawArrays(GL_TRIANGLES, run.first, run.count);
    if (run.onPixels) setTextureFilter(false);  // as every texture is uploaded
  }
  releaseArrays();
  sprites.clear();
}

void drawOutlineAt(const ObjectDef& def, float x, float y, float angle) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(x, y, 0);
  glRotatef(angle * 180.0f * inversePi, 0, 0, 1);
  drawOutline(def);
  glPopMatrix();
}

// Queues the object's sprite. An outline is drawn at once, over the sprites
// queued before it, as when each sprite was drawn by itself.
void addObject(const ObjectDef* def, float x, float y, float angle, bool lit,
               const DrawFlags& flags) {
  if (!def) return;
  const TextureDef* image = chooseImage(*def, lit);
  if (image && flags.levelImages) sprites.add(*def, *image, x, y, angle);
  if (flags.debugHelpers) {
    drawSprites();
    drawOutlineAt(*def, x, y, angle);
  }
}

void addScene(const World& world, int sceneNumber, int layer, const DrawFlags& flags) {
  // Backwards, so that within a scene and layer the lower slot ends on top.
  world.forEachObjectOfBackwards(sceneNumber, [&](const WorldObject& object) {
    if (!object.def || object.def->layer != layer) return;
    addObject(object.def, object.position.x, object.position.y, object.angle, object.lit != 0,
              flags);
  });
}

}  // namespace

void pointArraysAt(const BatchVertex* vertices) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(BatchVertex), &vertices->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), &vertices->u);
}

void drawArrays(unsigned mode, int first, int count) {
  for (int end = first + count; first < end; first += maxVerticesPerDraw)
    glDrawArrays(mode, first, end - first < maxVerticesPerDraw ? end - first : maxVerticesPerDraw);
}

void releaseArrays() {
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void drawWorld(const World& world, const DrawFlags& flags) {
  const Hud& hud = world.hud();
  // What an opaque HUD will cover is not drawn: under the default table's
  // HUD that spares the software rasteriser a fifth of the picture.
  bool hidden = hidePictureTop(hudCoverHeight(hud));
  applyCamera(world.camera.x, world.camera.y);
  if (pictureIsPixelForPixel()) sprites.setPixelOrigin(world.camera.x, world.camera.y);
  for (int layer = 0; layer <= 1; ++layer) {
    world.forEachScene([&](const Scene& scene) { addScene(world, scene.number, layer, flags); });
  }
  drawSprites();
  sprites.clearPixelOrigin();
  if (hidden) showWholePicture();
  if (hud.visible) drawHud(hud);
}

void drawScene(const World& world, int sceneNumber, int layer, const DrawFlags& flags) {
  addScene(world, sceneNumber, layer, flags);
  drawSprites();
}

void drawObject(const ObjectDef* def, float x, float y, float angle, bool lit,
                const DrawFlags& flags) {
  addObject(def, x, y, angle, lit, flags);
  drawSprites();
}

void drawOutline(const ObjectDef& def) {
  glDisable(GL_TEXTURE_2D);
  switch (def.kind) {
    case KindStatic:
      glColor3f(0.6f, 0.6f, 0.6f);
      break;
    case KindDynamic:
      glColor3f(1, 1, 1);
      break;
    case KindTrigger:
      glColor3f(0, 1, 0);
      break;
    case KindMarker:
    case KindProp:
      return;
    default:
      glColor3f(1, 0, 0);
      break;
  }
  int count = def.outlineCount();
  if (count == 0) return;
  glBegin(GL_LINES);
  for (int i = 0; i < count; ++i) {
    const Float2& a = def.outline[i];
    const Float2& b = def.outline[(i + 1) % count];
    glVertex2f(a.x, a.y);
    glVertex2f(b.x, b.y);
  }
  glEnd();
}

void drawContactOverlay() {
  // The log's count is a write index that the collider keeps in range; clamp
  // anyway so that a stray value can never read past the arrays.
  int count = contactLog.count;
  if (count < 0) count = 0;
  if (count > ContactLog::wrapAt + 1) count = ContactLog::wrapAt + 1;

  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glColor3f(0, 1, 0);
  glBegin(GL_LINES);
  for (int i = 0; i < count; ++i) {
    const Float2& p = contactLog.positions[i];
    const Float2& n = contactLog.normals[i];
    glVertex2f(p.x, p.y);
    glVertex2f(p.x + 10 * n.x, p.y + 10 * n.y);
  }
  glEnd();
  glColor3f(1, 1, 0);
  glBegin(GL_POINTS);
  for (int i = 0; i < count; ++i) glVertex2f(contactLog.positions[i].x, contactLog.positions[i].y);
  glEnd();
}
