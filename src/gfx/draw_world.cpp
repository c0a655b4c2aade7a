// Drawing of the world: every object as one textured quad turned with its
// body, layer 0 under layer 1, debug outlines and the contact overlay.
#include "gfx/draw_world.h"

#include <GL/gl.h>

#include "content/world_data.h"
#include "gfx/graphics.h"
#include "world/contact_log.h"
#include "world/world.h"

namespace {

// 1/pi in single precision; multiplied in this order so that sprites turn by
// exactly the same float angle as the bodies report.
constexpr float inversePi = 0.31830987f;

// Picks the sprite's image: the lit one only when there is one.
const TextureDef* chooseImage(const ObjectDef& def, bool lit) {
  if (lit && def.litImgTexture) return def.litImgTexture;
  return def.imgTexture;
}

void drawSprite(const ObjectDef& def, const TextureDef& image) {
  float half = def.imageScale * 0.5f;
  float hw = float(image.width) * half;
  float hh = float(image.height) * half;
  float ox = def.imageOffset.x, oy = def.imageOffset.y;

  glBlendFunc(GL_SRC_ALPHA, def.blend == 1 ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, image.texture);
  glColor3f(1, 1, 1);
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 1);
  glVertex2f(ox - hw, oy + hh);
  glTexCoord2f(0, 0);
  glVertex2f(ox - hw, oy - hh);
  glTexCoord2f(1, 1);
  glVertex2f(ox + hw, oy + hh);
  glTexCoord2f(1, 0);
  glVertex2f(ox + hw, oy - hh);
  glEnd();
}

}  // namespace

void drawWorld(const World& world, const DrawFlags& flags) {
  applyCamera(world.camera.x, world.camera.y);
  for (int layer = 0; layer <= 1; ++layer) {
    world.forEachScene([&](const Scene& scene) { drawScene(world, scene.number, layer, flags); });
  }
  const Hud& hud = world.hud();
  if (hud.visible) drawHud(hud);
}

void drawScene(const World& world, int sceneNumber, int layer, const DrawFlags& flags) {
  // Backwards, so that within a scene and layer the lower slot ends on top.
  world.forEachObjectOfBackwards(sceneNumber, [&](const WorldObject& object) {
    if (!object.def || object.def->layer != layer) return;
    drawObject(object.def, object.position.x, object.position.y, object.angle, object.lit != 0,
               flags);
  });
}

void drawObject(const ObjectDef* def, float x, float y, float angle, bool lit,
                const DrawFlags& flags) {
  if (!def) return;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(x, y, 0);
  glRotatef(angle * 180.0f * inversePi, 0, 0, 1);

  const TextureDef* image = chooseImage(*def, lit);
  if (image && flags.levelImages) drawSprite(*def, *image);
  if (flags.debugHelpers) drawOutline(*def);

  glPopMatrix();
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
