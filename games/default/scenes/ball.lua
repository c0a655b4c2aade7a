-- A ball: its own scene, so that balls collide with each other and with
-- every part of the table. Spawned with its centre on the given position.
-- Its mass is the unit the other moving parts are weighed in.
local S = include("shapes.lua")

return {
  name = "Ball",
  objects = {
    { name = "Ball", id = "ball", kind = "dynamic", layer = 1, img = "Images\\ball.png",
      mass = 1, inertiaRadius = 240, outline = S.circle(12, 16) },
    { name = "Origin", id = "SpawnPoint", kind = "marker" },
  },
}
