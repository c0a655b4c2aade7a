-- bench_draw's scene drawn by LOVE, batched as a LOVE program would be: every
-- image in one atlas, the HUD's dots in one SpriteBatch and each run of
-- sprites with one blend mode in a SpriteBatch of its own. For setting beside
-- bench_draw on the same display. Not built or run by CI.
--   tests/run_in_xvfb.sh env LIBGL_ALWAYS_SOFTWARE=1 love bench/love_draw
-- beside
--   tests/run_in_xvfb.sh env LIBGL_ALWAYS_SOFTWARE=1 build/bench/bench_draw
-- run in turn, a few times each; compare medians. Needs `apt-get install love`.
-- Prints: love_draw scene=1 sprites=100 hud=100x20 frames=<n> frames_per_s=<f>
-- cpu_ms_per_frame=<f> (os.clock: the whole process, threads included)
local spriteCount = 100
local warmUpFrames, minimumSeconds = 30, 3.0
local columns, rows = 100, 20
local camera = { x = 10, y = 5 }

-- The images of bench_draw, side by side in one atlas with a gap between them
-- so that linear filtering never reads a neighbour.
local images = {
  { name = "hudLit", size = 8, r = 255, g = 160, b = 0 },
  { name = "hudUnlit", size = 8, r = 60, g = 30, b = 0 },
  { name = "ball", size = 32, r = 200, g = 200, b = 220 },
  { name = "lamp", size = 24, r = 255, g = 40, b = 40 },
  { name = "lampLit", size = 24, r = 255, g = 255, b = 80 },
  { name = "wall", size = 64, r = 90, g = 90, b = 120 },
}
local gap = 2
local atlas, quads = nil, {}

local function buildAtlas()
  local width, height = gap, 0
  for _, image in ipairs(images) do
    image.x = width
    width = width + image.size + gap
    height = math.max(height, image.size + 2 * gap)
  end
  local data = love.image.newImageData(width, height)
  for _, image in ipairs(images) do
    for y = 0, image.size - 1 do
      for x = 0, image.size - 1 do
        -- Every third pixel half transparent, as in bench_draw.
        local alpha = (y * image.size + x) % 3 ~= 0 and 1 or 128 / 255
        data:setPixel(image.x + x, gap + y, image.r / 255, image.g / 255, image.b / 255, alpha)
      end
    end
  end
  atlas = love.graphics.newImage(data)
  atlas:setFilter("linear", "linear")
  for _, image in ipairs(images) do
    quads[image.name] = love.graphics.newQuad(image.x, gap, image.size, image.size, width, height)
    image.quad = quads[image.name]
  end
end

-- The same objects as bench_draw: position, scale, image, layer and blend
-- from the index; every odd slot lit.
local objects = {}
local function buildObjects()
  local kinds = { images[3], images[4], images[6], images[4] }
  for i = 0, spriteCount - 1 do
    local image = kinds[i % 4 + 1]
    local lit = i % 2 == 1
    if lit and image.name == "lamp" then image = images[5] end
    objects[i] = {
      image = image,
      scale = 1 + (i % 3) * 0.5,
      x = 40 + (i % 10) * 75,
      y = 180 + math.floor(i / 10) * 40,
      layer = i % 2,
      additive = i % 5 == 0,
    }
  end
end

-- The HUD grid with nothing lit: bench_draw's table has no fonts.
local cells = {}
for i = 1, columns * rows do cells[i] = 0 end

local hudBatch
local runBatches, runBlends = {}, {}

local function runBatch(index)
  if not runBatches[index] then
    runBatches[index] = love.graphics.newSpriteBatch(atlas, spriteCount, "stream")
  end
  local batch = runBatches[index]
  batch:clear()
  return batch
end

local function drawFrame()
  love.graphics.clear(0, 0, 0, 0)
  love.graphics.origin()
  love.graphics.translate(-camera.x, -camera.y)
  -- Layer 0 under layer 1; within a layer the higher index first, so that
  -- the lower one ends on top; a new batch wherever the blend changes.
  local runs, batch, additive = 0, nil, nil
  for layer = 0, 1 do
    for i = spriteCount - 1, 0, -1 do
      local o = objects[i]
      if o.layer == layer then
        if o.additive ~= additive then
          runs = runs + 1
          batch, additive = runBatch(runs), o.additive
          runBlends[runs] = additive and "add" or "alpha"
        end
        local half = o.image.size * 0.5
        batch:add(o.image.quad, o.x, o.y, 0, o.scale, o.scale, half, half)
      end
    end
  end
  for k = 1, runs do
    love.graphics.setBlendMode(runBlends[k])
    love.graphics.draw(runBatches[k])
  end

  -- The HUD in screen space: unlit dots, then lit ones, each stretched to
  -- the lit image's size.
  love.graphics.origin()
  love.graphics.setBlendMode("alpha")
  hudBatch:clear()
  local w, h = images[1].size, images[1].size
  for value = 0, 1 do
    local image = value == 1 and images[1] or images[2]
    local sx, sy = w / image.size, h / image.size
    for row = 0, rows - 1 do
      for column = 0, columns - 1 do
        if cells[row * columns + column + 1] == value then
          hudBatch:add(image.quad, column * w, row * h, 0, sx, sy)
        end
      end
    end
  end
  love.graphics.draw(hudBatch)
  love.graphics.present()
end

function love.run()
  buildAtlas()
  buildObjects()
  hudBatch = love.graphics.newSpriteBatch(atlas, columns * rows, "stream")
  return function()
    for _ = 1, warmUpFrames do drawFrame() end
    local frames, start, cpuStart = 0, love.timer.getTime(), os.clock()
    local seconds = 0
    while seconds < minimumSeconds do
      drawFrame()
      frames = frames + 1
      seconds = love.timer.getTime() - start
    end
    local cpuPerFrame = (os.clock() - cpuStart) / frames
    print(string.format("love_draw scene=1 sprites=%d hud=%dx%d frames=%d frames_per_s=%.1f "
                        .. "cpu_ms_per_frame=%.2f", spriteCount, columns, rows, frames,
                        frames / seconds, cpuPerFrame * 1000))
    print("love_draw renderer: " .. select(4, love.graphics.getRendererInfo()))
    return 0
  end
end
