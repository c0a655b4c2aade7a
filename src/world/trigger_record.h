// Which objects touch a trigger, with the hysteresis that turns touching
// into enter and exit events per object and per scene.
#pragma once

#include "world/world_events.h"

struct WorldObject;

struct TriggerContact {
  unsigned char inside = 0;   // 1 once the enter event was raised
  unsigned char touched = 0;  // contacts with the trigger in this step
  int sceneNumber = 0;
  int objectNumber = 0;  // the entry's key
  int counter = 0;
};

struct TriggerRecord {
  static constexpr int capacity = 32;

  explicit TriggerRecord(WorldObject* object) : owner(object) {}

  // Marks the object as touching in this step; new objects are appended
  // while there is room, later ones are ignored.
  void touch(int sceneNumber, int objectNumber);
  // Once per step after the integration: counts, raises the events and
  // drops finished entries. Stops at once when a handler removes the owner.
  void updateTriggers(WorldEvents* events);

  WorldObject* owner;
  TriggerContact entries[capacity];
  int count = 0;

 private:
  bool onlyInsideOfScene(int index) const;
  void erase(int index);
};
