-- Comet: a table made in the Tiled map editor. The maps in maps/ name their
-- own images; textures listed here are the ones no map names (the HUD's).
local sounds = {}
for _, s in ipairs({
  "bumper", "sling", "flipper", "target", "targets-complete", "launch", "drain", "start",
  "game-over", "ball-saved", "bonus",
}) do
  sounds[#sounds + 1] = { name = s, file = "sounds/" .. s .. ".wav" }
end

return {
  textures = {
    { name = "Images\\hud-lit.png", file = "images/hud-lit.png" },
    { name = "Images\\hud-unlit.png", file = "images/hud-unlit.png" },
  },
  sounds = sounds,
  fonts = {
    { name = "Small.txt", file = "fonts/small.txt" },
    { name = "Big.txt", file = "fonts/big.txt" },
  },
  -- Group 0: walls, sensors and balls. Group 1: the flippers, which must not
  -- collide with the walls of their own scene.
  masks = { 0x00000001, 0x00000000 },
  scenes = { "maps/table.tmx", "maps/ball.tmx", "maps/plunger.tmx" },
}
