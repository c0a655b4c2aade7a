// How the world hands its events to whoever runs the game rules (the script
// host), so that the world runs and is tested without Lua.
#pragma once

class WorldEvents {
 public:
  virtual ~WorldEvents() = default;
  virtual void callObjectEnter(int triggerScene, int triggerObject, int otherScene,
                               int otherObject) = 0;
  virtual void callObjectExit(int triggerScene, int triggerObject, int otherScene,
                              int otherObject) = 0;
  virtual void callSceneEnter(int triggerScene, int triggerObject, int otherScene) = 0;
  virtual void callSceneExit(int triggerScene, int triggerObject, int otherScene) = 0;
  virtual void callObjectRotated(int scene, int object, float degrees) = 0;
  // After the object pass of every step: refresh the keys and run update(dt).
  virtual void callScriptUpdate(float dt) = 0;
};
