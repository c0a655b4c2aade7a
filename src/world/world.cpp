// Placeholder world.
#include "world/world.h"
#include "world/contact_log.h"
ContactLog contactLog;
void ContactLog::add(Float2, Float2) {}
struct TriggerRecord {};
WorldObject::WorldObject() {}
WorldObject::~WorldObject() {}
void WorldObject::setVelocity(float, float) {}
void WorldObject::setTorque(float) {}
void WorldObject::addImpulse(float, float) {}
void WorldObject::addTorque(float) {}
World::World(const WorldData& data) : data_(data), hud_(new Hud(data)) {}
World::~World() {}
void World::setEvents(WorldEvents* events) { events_ = events; }
void World::setGravity(float) {}
int World::spawnScene(const SceneDef*, float, float) { return -1; }
void World::removeScene(int) {}
void World::clear() {}
Scene* World::findSceneByNumber(int) const { return nullptr; }
WorldObject* World::findObjectByNumber(int) const { return nullptr; }
WorldObject* World::findObjectByName(int, const char*) const { return nullptr; }
void World::step(float) {}
