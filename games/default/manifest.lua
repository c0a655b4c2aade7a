-- The default table's content, packed by orvane-pack into data.dat. The
-- images, sounds and fonts are written by the generator in gen/ first.
local textures = {}
local function texture(file)
  textures[#textures + 1] = { name = "Images\\" .. file, file = "images/" .. file }
end
for _, f in ipairs({
  "hud-lit.png", "hud-unlit.png", "playfield.png", "ball.png", "plunger.png",
  "flipper-left.png", "flipper-right.png", "sling-left.png", "sling-left-lit.png",
  "sling-right.png", "sling-right-lit.png", "bumper.png", "bumper-lit.png", "post.png",
  "lane.png", "lane-lit.png", "spinner.png", "target.png", "target-lit.png",
  "insert-extra.png", "insert-extra-lit.png", "insert-multi.png", "insert-multi-lit.png",
  "insert-again.png", "insert-again-lit.png", "insert-2x.png", "insert-2x-lit.png",
  "insert-3x.png", "insert-3x-lit.png", "insert-4x.png", "insert-4x-lit.png",
}) do
  texture(f)
end

local sounds = {}
for _, s in ipairs({
  "bumper", "sling", "flipper", "lane", "lanes-complete", "target", "spinner", "launch",
  "drain", "nudge", "tilt", "extra-ball", "multiball", "bonus", "start", "game-over",
  "ball-saved", "plunger",
}) do
  sounds[#sounds + 1] = { name = s, file = "sounds/" .. s .. ".wav" }
end

return {
  textures = textures,
  sounds = sounds,
  fonts = {
    { name = "Small.txt", file = "fonts/small.txt" },
    { name = "Big.txt", file = "fonts/big.txt" },
  },
  -- Group 0: walls, triggers and balls. Group 1: flippers and the spinner,
  -- which must not collide with the walls of their own scene.
  masks = { 0x00000001, 0x00000000 },
  scenes = { "scenes/table.lua", "scenes/ball.lua", "scenes/plunger.lua" },
}
