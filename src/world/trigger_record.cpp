// Trigger bookkeeping: an object must touch on five more steps than it
// misses to enter, and leaves after five steps in a row without contact.
#include "world/trigger_record.h"

#include "world/world.h"

void TriggerRecord::touch(int sceneNumber, int objectNumber) {
  for (int i = 0; i < count; ++i) {
    if (entries[i].objectNumber == objectNumber) {
      entries[i].touched = 1;
      return;
    }
  }
  if (count >= capacity) return;
  TriggerContact& e = entries[count++];
  e = TriggerContact();
  e.touched = 1;
  e.sceneNumber = sceneNumber;
  e.objectNumber = objectNumber;
}

bool TriggerRecord::onlyInsideOfScene(int index) const {
  int scene = entries[index].sceneNumber;
  for (int j = 0; j < count; ++j) {
    if (j != index && entries[j].inside && entries[j].sceneNumber == scene) return false;
  }
  return entries[index].inside != 0;
}

void TriggerRecord::erase(int index) {
  for (int j = index + 1; j < count; ++j) entries[j - 1] = entries[j];
  --count;
}

void TriggerRecord::updateTriggers(WorldEvents* events) {
  const int scene = owner->sceneNumber;
  const int number = owner->number;
  // A handler may remove the owner's scene; the record itself stays alive
  // until the step ends, but it must not raise anything more.
  auto live = [this] { return !owner->removed; };

  int i = 0;
  while (i < count) {
    TriggerContact& e = entries[i];
    bool remove = false;
    if (e.inside) {
      e.counter = e.touched ? 0 : e.counter + 1;
      if (e.counter >= 5) {
        int otherScene = e.sceneNumber, other = e.objectNumber;
        if (onlyInsideOfScene(i) && events) {
          events->callSceneExit(scene, number, otherScene);
          if (!live()) return;
        }
        if (events) {
          events->callObjectExit(scene, number, otherScene, other);
          if (!live()) return;
        }
        remove = true;
      }
    } else {
      e.counter += e.touched ? 1 : -1;
      if (e.counter < -2) remove = true;
      if (e.counter >= 5) {
        e.inside = 1;
        e.counter = 0;
        int otherScene = e.sceneNumber, other = e.objectNumber;
        if (events) {
          events->callObjectEnter(scene, number, otherScene, other);
          if (!live()) return;
        }
        if (onlyInsideOfScene(i) && events) {
          events->callSceneEnter(scene, number, otherScene);
          if (!live()) return;
        }
      }
    }
    entries[i].touched = 0;
    if (remove) {
      erase(i);
    } else {
      ++i;
    }
  }
}
