-- The shared benchmark scenes (walled box, box with ten pins) in Box2D through
-- LOVE, for setting beside bench_physics. Not built or run by CI.
--   love bench/box2d [poly|circle] [N...]
-- Prints: scene=<box|pins> N=<n> us_per_step=<cpu> wall_us=<wall> ... (median of 3).
local meter = 30 -- LOVE's default: the ball (radius 12 px) is 0.4 m, the box 26.7 x 20 m
local warmup, timed = 300, 3000
local shape, counts = "poly", {}

local function ballPoints()
  local p = {}
  for i = 0, 15 do
    local a = math.rad((i + 0.5) * 22.5)
    p[i] = { 12 * math.cos(a), 12 * math.sin(a) }
  end
  return p
end
local ring = ballPoints()
-- Box2D polygons take at most 8 vertices: the 16-gon is three convex pieces.
local pieces = { { 0, 1, 2, 3, 4, 5, 6, 7 }, { 7, 8, 9, 10, 11, 12, 13, 14 }, { 14, 15, 0, 7 } }
local ballArea = 0.5 * 16 * 144 * math.sin(math.rad(22.5)) / (meter * meter)

local function staticPoly(world, ...)
  love.physics.newFixture(love.physics.newBody(world, 0, 0, "static"),
                          love.physics.newPolygonShape(...))
end

local function build(scene, n)
  local world = love.physics.newWorld(0, 400, false) -- gravity in px/s^2, sleeping off
  staticPoly(world, 0, 0, 800, 0, 800, 20, 0, 20)
  staticPoly(world, 0, 580, 800, 580, 800, 600, 0, 600)
  staticPoly(world, 0, 20, 20, 20, 20, 580, 0, 580)
  staticPoly(world, 780, 20, 800, 20, 800, 580, 780, 580)
  if scene == "pins" then
    local c = { { 140, 400 }, { 270, 400 }, { 400, 400 }, { 530, 400 }, { 660, 400 },
                { 205, 490 }, { 335, 490 }, { 465, 490 }, { 595, 490 }, { 725, 490 } }
    for i, p in ipairs(c) do
      local x, y = p[1], p[2]
      if i % 2 == 1 then
        staticPoly(world, x - 30, y - 16, x + 30, y + 8, x + 30, y + 16, x - 30, y - 8)
      else
        staticPoly(world, x - 30, y + 8, x + 30, y - 16, x + 30, y - 8, x - 30, y + 16)
      end
    end
  end
  local balls = {}
  for k = 0, n - 1 do
    local r, c = math.floor(k / 20), k % 20
    local b = love.physics.newBody(world, 115 + 30 * c + 15 * (r % 2), 50 + 30 * r, "dynamic")
    b:setSleepingAllowed(false)
    if shape == "circle" then
      love.physics.newFixture(b, love.physics.newCircleShape(12), 1 / (math.pi * 144 / meter ^ 2))
    else
      for _, piece in ipairs(pieces) do
        local v = {}
        for _, i in ipairs(piece) do
          v[#v + 1] = ring[i][1]; v[#v + 1] = ring[i][2]
        end
        love.physics.newFixture(b, love.physics.newPolygonShape(unpack(v)), 1 / ballArea)
      end
    end
    balls[#balls + 1] = b
  end
  return world, balls
end

local function outside(balls)
  for _, b in ipairs(balls) do
    local x, y = b:getPosition()
    if x <= 20 or x >= 780 or y <= 20 or y >= 580 then return true end
  end
  return false
end

-- One run: warm-up, then the timed steps in blocks of 100, checked between blocks.
local function run(scene, n)
  local world, balls = build(scene, n)
  local escaped = false
  for _ = 1, warmup do world:update(1 / 300) end
  escaped = outside(balls)
  local cpu, wall = 0, 0
  for _ = 1, timed / 100 do
    local c0, w0 = os.clock(), love.timer.getTime()
    for _ = 1, 100 do world:update(1 / 300) end
    cpu, wall = cpu + os.clock() - c0, wall + love.timer.getTime() - w0
    escaped = escaped or outside(balls)
  end
  local mass = balls[1]:getMass()
  world:destroy()
  return cpu * 1e6 / timed, wall * 1e6 / timed, escaped, mass
end

function love.load(args)
  for _, a in ipairs(args) do
    if a == "poly" or a == "circle" then shape = a
    elseif tonumber(a) then counts[#counts + 1] = tonumber(a) end
  end
  if #counts == 0 then counts = { 1, 10, 50, 200 } end
  for _, scene in ipairs({ "box", "pins" }) do
    for _, n in ipairs(counts) do
      local runs = {}
      for i = 1, 3 do runs[i] = { run(scene, n) } end
      table.sort(runs, function(a, b) return a[1] < b[1] end)
      local m = runs[2]
      print(string.format("scene=%s N=%d us_per_step=%.2f wall_us=%.2f steps_per_s=%.0f "
                            .. "ball=%s mass=%.3f%s", scene, n, m[1], m[2], 1e6 / m[1], shape,
                          m[4], (runs[1][3] or runs[2][3] or runs[3][3]) and
                            " WARNING: a ball left the interior" or ""))
      io.stdout:flush()
    end
  end
  os.exit(0)
end
