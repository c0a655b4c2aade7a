-- Comet: the rules of the table made in Tiled (maps/table.tmx). Four pop
-- bumpers in a diamond, two slingshots, three stand-up targets on the right
-- wall that raise the bonus multiplier, a shooter lane on the left, three
-- balls a player and the three best scores kept in save.dat.

-- The physics numbers, in one place to retune. The ball is 24 px across, as
-- a real one is 27 mm, and the table plays at a real machine's speed.
local GRAVITY = 1000            -- px/s^2: g sin 6.5 degrees down the playfield
local FLIP_UP = 50              -- flipper travel in degrees
local FLIP_SPEED_UP = 50        -- rad/s while rising: the whole stroke in about 23 ms
local FLIP_BUILD = 0.012        -- s for that cap to build from nothing, as a coil's pull does:
                                -- a brief tap swings softly enough to pass the ball across
local FLIP_SPEED_DOWN = 15      -- rad/s while falling back
local LAUNCH_MIN, LAUNCH_MAX = 1000, 4500   -- plunger speeds in px/s
local BUMPER_KICK, SLING_KICK = 2000, 1800  -- px/s added by a pop bumper, a slingshot

local TITLE = "Comet"
local BALLS_PER_GAME = 3
local BALL_SAVE_TIME = 5        -- seconds after the first launch of a ball
local CHARGE_TIME = 1.0         -- seconds to pull the plunger all the way
local BALL_MASS = 1             -- as in maps/ball.tmx
local STEP_FORCE = 300 * BALL_MASS  -- changes a ball's speed by 1 px/s in one step
local TABLE_HEIGHT = 1000
local HUD_ROWS_PX = 120

GfxSetTitle(TITLE)
WorldSetGravity(GRAVITY)
HudSetVisible(true)

---------------------------------------------------------------------------
-- The table: its parts are found by the names they have in the map.
---------------------------------------------------------------------------

local tableScene = SceneSpawn("Table", Vec2(0, 0))
local function part(name)
  local n = SceneGetObjectByName(tableScene, name)
  if not n then print("[COMET] missing part " .. name) end
  return n
end

local leftFlipper, rightFlipper = part("LeftFlipper"), part("RightFlipper")
local drain = part("Drain")
local ballStart = SceneGetSpecialPos(tableScene, "BallStart") or Vec2(64, 946)

local bumpers, bumperOf = {}, {}
for i = 1, 4 do
  local cap = part("Bumper" .. i)
  bumpers[i] = { cap = cap, pos = ObjectGetPos(cap), litTimer = 0 }
  bumperOf[part("Bumper" .. i .. "Ring")] = bumpers[i]
end

-- Sling kicks push along the outward normal of the rubber face, which runs
-- from (177, 660) to (310, 842) on the left and mirrored on the right.
local slings, slingOf = {}, {}
do
  local dx, dy = 133, 182
  local len = math.sqrt(dx * dx + dy * dy)
  slings.Left = { body = part("SlingLeft"), dir = Vec2(dy / len, -dx / len), litTimer = 0 }
  slings.Right = { body = part("SlingRight"), dir = Vec2(-dy / len, -dx / len), litTimer = 0 }
  slingOf[part("SlingLeftKick")] = slings.Left
  slingOf[part("SlingRightKick")] = slings.Right
end

local targets, targetOf = {}, {}
for i = 1, 3 do
  targets[i] = part("Target" .. i)
  targetOf[part("Target" .. i .. "Switch")] = i
end
local outlanes = { [part("OutlaneLeft")] = "LEFT", [part("OutlaneRight")] = "RIGHT" }
local lampAgain, lamp2x, lamp3x = part("LampAgain"), part("Lamp2x"), part("Lamp3x")

---------------------------------------------------------------------------
-- Game state
---------------------------------------------------------------------------

local mode = "attract"          -- attract, play, bonus, over
local players, current, ballNumber = 0, 1, 1
local scores = { 0, 0, 0, 0 }
local balls, ballCount = {}, 0  -- ball scene number -> ball object number
local bonus, multiplier = 0, 1
local targetLit = { false, false, false }
local ballSave, launched = 0, false
local charge, plungerScene, plungerPull = 0, nil, -1
local bonusQueue, bonusTimer, overTimer, attractTimer = 0, 0, 0, 0
local camY, attractCam = 400, 0
local prevKeys = {}

local function pressed(k) return keys[k] and not prevKeys[k] end
local function released(k) return prevKeys[k] and not keys[k] end
local function setLit(o, on) if o then ObjectSetLit(o, on) end end
local function highScore(i) return tonumber(PropertyGet("hiscore" .. i) or "") or 0 end

local function addScore(points, bonusPoints)
  if mode ~= "play" then return end
  scores[current] = scores[current] + points
  bonus = bonus + (bonusPoints or 0)
  HudSetScore(current - 1, scores[current])
end

local function showMultiplier()
  setLit(lamp2x, multiplier >= 2)
  setLit(lamp3x, multiplier >= 3)
end

---------------------------------------------------------------------------
-- Balls and the flow of a game
---------------------------------------------------------------------------

local function spawnBall(pos)
  local s = SceneSpawn("Ball", pos)
  if s < 0 then return nil end
  balls[s] = SceneGetObjectByName(s, "Ball")
  ballCount = ballCount + 1
  return balls[s]
end

local function removeBall(s)
  if not balls[s] then return end
  balls[s] = nil
  ballCount = ballCount - 1
  SceneRemove(s)
end

local function removeAllBalls()
  for s in pairs(balls) do SceneRemove(s) end
  balls, ballCount = {}, 0
end

local function inShooterLane(p) return p.x < 90 and p.y > 700 end

local function resetLamps()
  targetLit = { false, false, false }
  for i = 1, 3 do setLit(targets[i], false) end
  multiplier, bonus = 1, 0
  showMultiplier()
  setLit(lampAgain, false)
end

local function startBall()
  resetLamps()
  launched, ballSave = false, 0
  spawnBall(ballStart)
  HudShowText(players > 1 and ("P" .. current .. " BALL " .. ballNumber) or ("BALL " .. ballNumber), 2.5)
  print("[COMET] player " .. current .. " ball " .. ballNumber)
end

local function startGame(n)
  players, current, ballNumber = n, 1, 1
  for i = 1, 4 do scores[i] = 0 end
  HudSetPlayers(n)
  for i = 0, 3 do HudSetScore(i, 0) end
  removeAllBalls()
  mode = "play"
  SoundPlay("start")
  print("[COMET] game started with " .. n .. " player(s)")
  startBall()
end

local function saveHighScores()
  local list, best = { highScore(1), highScore(2), highScore(3) }, 0
  for p = 1, players do
    if scores[p] > list[3] then
      list[3] = scores[p]
      table.sort(list, function(a, b) return a > b end)
      best = math.max(best, scores[p])
    end
  end
  if best == 0 then return false end
  for i = 1, 3 do PropertySet("hiscore" .. i, list[i]) end
  print("[COMET] high score saved " .. best)
  return true
end

local function gameOver()
  mode, overTimer = "over", 5
  removeAllBalls()
  SoundPlay("game-over")
  print("[COMET] game over")
  for p = 1, players do print("[COMET] player " .. p .. " scored " .. scores[p]) end
  if saveHighScores() then HudShowText("HIGH SCORE", 2.5, 0.25) else HudShowText("GAME OVER", 4) end
  resetLamps()
end

local function nextBall()
  mode = "play"
  current = current + 1
  if current > players then current, ballNumber = 1, ballNumber + 1 end
  if ballNumber > BALLS_PER_GAME then gameOver() else startBall() end
end

local function ballDrained(s)
  removeBall(s)
  print("[COMET] ball drained")
  if mode ~= "play" or ballCount > 0 then return end
  if ballSave > 0 then
    spawnBall(ballStart)
    HudShowText("BALL SAVED", 2)
    SoundPlay("ball-saved")
    print("[COMET] ball saved")
    return
  end
  SoundPlay("drain")
  setLit(lampAgain, false)
  mode, bonusQueue, bonusTimer = "bonus", bonus * multiplier, 0.8
  print("[COMET] bonus " .. bonusQueue)
  HudShowText("BONUS X" .. multiplier, 0.8)
end

---------------------------------------------------------------------------
-- Scoring
---------------------------------------------------------------------------

local function kick(ball, dir, speed) ObjectAddImpulse(ball, dir * (speed * STEP_FORCE)) end

local function hitBumper(bp, ball)
  local d = ObjectGetPos(ball) - bp.pos
  if d:Normalize() == 0 then d = Vec2(0, -1) end
  kick(ball, d, BUMPER_KICK)
  ObjectSetLit(bp.cap, true)
  bp.litTimer = 0.12
  SoundPlay("bumper")
  addScore(100, 100)
  print("[COMET] bumper hit")
end

local function hitSling(sl, ball)
  kick(ball, sl.dir, SLING_KICK)
  ObjectSetLit(sl.body, true)
  sl.litTimer = 0.1
  SoundPlay("sling")
  addScore(50, 50)
  print("[COMET] sling hit")
end

local function hitTarget(i)
  SoundPlay("target")
  addScore(500, 500)
  print("[COMET] target " .. i .. " hit")
  if targetLit[i] then return end
  targetLit[i] = true
  setLit(targets[i], true)
  if targetLit[1] and targetLit[2] and targetLit[3] then
    targetLit = { false, false, false }
    for k = 1, 3 do setLit(targets[k], false) end
    multiplier = math.min(3, multiplier + 1)
    showMultiplier()
    addScore(5000, 0)
    SoundPlay("targets-complete")
    HudShowText("COMET X" .. multiplier, 2, 0.2)
    print("[COMET] targets complete, bonus x" .. multiplier)
  end
end

---------------------------------------------------------------------------
-- Engine entry points
---------------------------------------------------------------------------

function trigger_object_enter(tScene, tObj, oScene, oObj)
  if tScene ~= tableScene or not balls[oScene] then return end
  if tObj == drain then
    ballDrained(oScene)
  elseif bumperOf[tObj] then
    hitBumper(bumperOf[tObj], oObj)
  elseif slingOf[tObj] then
    hitSling(slingOf[tObj], oObj)
  elseif targetOf[tObj] then
    hitTarget(targetOf[tObj])
  elseif outlanes[tObj] then
    addScore(1000, 0)
    print("[COMET] outlane " .. outlanes[tObj])
  end
end

local flipHeld = {}  -- by flipper: how long its button has been held, s

local function driveFlipper(f, up, direction, dt)
  flipHeld[f] = up and (flipHeld[f] or 0) + dt or 0
  local target = up and direction * FLIP_UP or 0
  local err = target - (ObjectGetAngle(f) or 0)
  local limit = up and FLIP_SPEED_UP * math.min(1, flipHeld[f] / FLIP_BUILD) or FLIP_SPEED_DOWN
  ObjectSetTorque(f, math.max(-limit, math.min(limit, err * 3)))
end

local function updateFlippers(dt)
  local live = mode == "play" or mode == "attract"
  if live and (pressed("lpad") or pressed("rpad")) then SoundPlay("flipper", 0.7) end
  driveFlipper(leftFlipper, live and keys.lpad, -1, dt)
  driveFlipper(rightFlipper, live and keys.rpad, 1, dt)
end

-- The rod is a sprite scene respawned lower as it is pulled, in 3 px steps.
local function showPlunger(pull)
  local px = math.floor(pull / 3 + 0.5) * 3
  if px == plungerPull then return end
  plungerPull = px
  if plungerScene then SceneRemove(plungerScene) end
  plungerScene = SceneSpawn("Plunger", Vec2(ballStart.x, 960 + px))
end

local function updatePlunger(dt)
  if mode == "play" and keys.launch then
    charge = math.min(1, charge + dt / CHARGE_TIME)
  elseif mode == "play" and released("launch") and charge > 0 then
    local speed = LAUNCH_MIN + (LAUNCH_MAX - LAUNCH_MIN) * charge
    for _, b in pairs(balls) do
      local p, v = ObjectGetPos(b), ObjectGetVelocity(b)
      if inShooterLane(p) and v.length < 60 then
        ObjectSetVelocity(b, Vec2(0, -speed))
        SoundPlay("launch")
        print("[COMET] ball launched")
        if not launched then
          launched, ballSave = true, BALL_SAVE_TIME
          setLit(lampAgain, true)
        end
      end
    end
    charge = 0
  else
    charge = 0
  end
  showPlunger(charge * 24)
end

local function updateCamera(dt)
  local target, rate
  if mode == "play" or mode == "bonus" then
    local lowest
    for _, b in pairs(balls) do
      local p = ObjectGetPos(b)
      if p and (not lowest or p.y > lowest) then lowest = p.y end
    end
    if not lowest then return end
    -- Quick enough to keep a ball at 4000 px/s on the screen: the camera
    -- trails the ball by about a twentieth of a second.
    target, rate = lowest - (HUD_ROWS_PX + 600) / 2, 20
  else
    attractCam = attractCam + dt
    target, rate = 140 + 260 * math.sin(attractCam * 0.3), 7
  end
  target = math.max(-HUD_ROWS_PX, math.min(TABLE_HEIGHT - 600, target))
  camY = camY + (target - camY) * math.min(1, dt * rate)
  CamSet(Vec2(0, camY))
end

local function updateLamps(dt)
  for _, bp in ipairs(bumpers) do
    if bp.litTimer > 0 then
      bp.litTimer = bp.litTimer - dt
      if bp.litTimer <= 0 then ObjectSetLit(bp.cap, false) end
    end
  end
  for _, sl in pairs(slings) do
    if sl.litTimer > 0 then
      sl.litTimer = sl.litTimer - dt
      if sl.litTimer <= 0 then ObjectSetLit(sl.body, false) end
    end
  end
  if ballSave > 0 then
    ballSave = ballSave - dt
    setLit(lampAgain, ballSave > 0 and (ballSave > 1.5 or math.floor(ballSave * 6) % 2 == 0))
  end
  if mode == "attract" then
    local phase = math.floor(attractCam * 3) % 3
    for i = 1, 3 do setLit(targets[i], i - 1 == phase) end
  end
end

local function updateBonus(dt)
  bonusTimer = bonusTimer - dt
  if bonusTimer > 0 then return end
  if bonusQueue > 0 then
    local chunk = math.min(bonusQueue, math.max(100, math.floor(bonusQueue / 10 / 100) * 100))
    bonusQueue = bonusQueue - chunk
    scores[current] = scores[current] + chunk
    HudSetScore(current - 1, scores[current])
    HudShowText("BONUS " .. bonusQueue, 0.2)
    SoundPlay("bonus", 0.7)
    bonusTimer = 0.07
  else
    nextBall()
  end
end

local startKeyNames = { "start1", "start2", "start3", "start4" }

function update(dt)
  if mode == "attract" then
    for n, key in ipairs(startKeyNames) do
      if pressed(key) then startGame(n) break end
    end
    if mode == "attract" and HudIsClear() then
      attractTimer = attractTimer + dt
      if attractTimer > 1 then
        attractTimer = 0
        HudScrollText("COMET   HIGH SCORES  1. " .. highScore(1) .. "  2. " .. highScore(2) ..
          "  3. " .. highScore(3) .. "   PRESS F1 TO F4 TO START", 32)
      end
    end
  elseif mode == "over" then
    overTimer = overTimer - dt
    if overTimer <= 0 then
      mode = "attract"
      HudClear()
    end
  elseif mode == "bonus" then
    updateBonus(dt)
  end

  updateFlippers(dt)
  updatePlunger(dt)
  updateLamps(dt)
  updateCamera(dt)

  -- Balls that left the table (they never should).
  local lost
  for s, b in pairs(balls) do
    local p = ObjectGetPos(b)
    if not p or p.x < -50 or p.x > 850 or p.y < -50 or p.y > TABLE_HEIGHT + 50 then
      lost = lost or {}
      lost[#lost + 1] = s
    end
  end
  for _, s in ipairs(lost or {}) do
    print("[COMET] ball lost off the table")
    ballDrained(s)
  end

  for k, v in pairs(keys) do prevKeys[k] = v end
end

HudSetPlayers(0)
showPlunger(0)
CamSet(Vec2(0, camY))
print("[COMET] " .. TITLE .. " ready; high score " .. highScore(1))
