// The world checksum: the bytes of the state that the next step starts
// from, in slot order, which is the same in every run of the same game.
#include "world/world_checksum.h"

#include "app/hash.h"
#include "world/world_solver.h"

namespace {

template <class T>
void add(uint64_t& hash, const T& value) {
  hash = hashBytes(&value, sizeof value, hash);
}

void addVector(uint64_t& hash, const dReal* v, int count) {
  hash = hashBytes(v, sizeof(dReal) * size_t(count), hash);
}

}  // namespace

uint64_t worldChecksum(const World& world) {
  uint64_t hash = hashStart;
  add(hash, world.camera.x);
  add(hash, world.camera.y);
  world.forEachObject([&hash](const WorldObject& object) {
    add(hash, object.number);
    add(hash, object.sceneNumber);
    add(hash, object.lit);
    if (object.body) {
      addVector(hash, dBodyGetPosition(object.body), 3);
      addVector(hash, dBodyGetLinearVel(object.body), 3);
      addVector(hash, dBodyGetQuaternion(object.body), 4);
      addVector(hash, dBodyGetAngularVel(object.body), 3);
    } else {
      add(hash, object.position.x);
      add(hash, object.position.y);
      add(hash, object.angle);
    }
  });
  return hash;
}
