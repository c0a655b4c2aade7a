-- The plunger's rod: a sprite only. game.lua respawns it lower as the
-- launch key is held, and back at rest when the key is let go.
return {
  name = "Plunger",
  objects = {
    { name = "Rod", kind = "prop", layer = 0, img = "Images\\plunger.png", position = { 0, 0 } },
    { name = "Origin", id = "SpawnPoint", kind = "marker", position = { 0, -50 } },
  },
}
