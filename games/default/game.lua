-- Orvane Pinball: the rules of the default table. The engine calls update()
-- every 1/300 s step and the trigger and rotation handlers as the ball moves;
-- this file lays the table out, drives the flippers, plunger and camera, and
-- keeps score, balls, bonus, tilt, multiball and the high scores.

local TITLE = "Orvane Pinball"
local BALLS_PER_GAME = 3
local BALL_SAVE_TIME = 6        -- seconds of ball save after the first launch of a ball
-- The ball is 24 px across, as a real one is 27 mm: about 0.89 px per mm.
local GRAVITY = 1000            -- px/s^2: g sin 6.5 degrees = 1.11 m/s^2 down the playfield
local FLIP_UP = 50              -- flipper travel in degrees
local FLIP_SPEED_UP = 50        -- rad/s while rising: the whole stroke in about 23 ms
local FLIP_BUILD = 0.012        -- s for that cap to build from nothing, as a coil's pull does:
                                -- a brief tap swings softly enough to pass the ball across
local FLIP_SPEED_DOWN = 15      -- rad/s while falling back
local LAUNCH_MIN, LAUNCH_MAX = 1000, 4500   -- plunger speeds in px/s
local BUMPER_KICK, SLING_KICK = 2000, 1800  -- px/s added by a pop bumper, a slingshot
local CHARGE_TIME = 1.0         -- seconds to pull the plunger all the way
local BALL_MASS = 1             -- as in scenes/ball.lua
local STEP_FORCE = 300 * BALL_MASS  -- force that changes a ball's speed by 1 px/s in one step
local HUD_ROWS_PX = 120         -- the HUD covers the top of the screen
local MUSIC = "table-theme.wav"

-- update() runs 300 times a second, so the functions it calls on every step
-- are kept in locals, and it makes no garbage on an ordinary step:
-- ObjectGetPos and Vec2 each make a new vector, which the collector must
-- then find and free.
local max, min, floor = math.max, math.min, math.floor
local ObjectGetPos, ObjectGetAngle, ObjectGetTorque = ObjectGetPos, ObjectGetAngle, ObjectGetTorque
local ObjectSetTorque, ObjectSetLit, CamSet = ObjectSetTorque, ObjectSetLit, CamSet

GfxSetTitle(TITLE)
WorldSetGravity(GRAVITY)
HudSetVisible(true)

---------------------------------------------------------------------------
-- The table and its parts
---------------------------------------------------------------------------

local tableScene = SceneSpawn("Table", Vec2(0, 0))
local function part(name)
  local n = SceneGetObjectByName(tableScene, name)
  if not n then print("[TABLE] missing part " .. name) end
  return n
end

local leftFlipper, rightFlipper = part("LeftFlipper"), part("RightFlipper")
local spinner = part("Spinner")
local drain = part("Drain")
local ballStart = SceneGetSpecialPos(tableScene, "BallStart") or Vec2(738, 1317)

local bumpers, bumperOf = {}, {}
for i = 1, 3 do
  local core = part("Bumper" .. i)
  bumpers[i] = { lamp = core, pos = ObjectGetPos(core), litTimer = 0 }
  bumperOf[part("Bumper" .. i .. "Ring")] = bumpers[i]
end

-- Slingshot kick directions: the outward normals of their rubber faces.
local slings, slingOf = {}, {}
do
  local dx, dy = 133, 172   -- the face runs from (99, 1010) to (232, 1182)
  local len = math.sqrt(dx * dx + dy * dy)
  slings.Left = { lamp = part("SlingLeft"), dir = Vec2(dy / len, -dx / len), litTimer = 0 }
  slings.Right = { lamp = part("SlingRight"), dir = Vec2(-dy / len, -dx / len), litTimer = 0 }
  slingOf[part("SlingLeftKick")] = slings.Left
  slingOf[part("SlingRightKick")] = slings.Right
end

local lanes, laneOf = {}, {}
for i = 1, 3 do
  lanes[i] = part("TopLane" .. i)
  laneOf[lanes[i]] = i
end

local targets, targetOf = {}, {}
for i = 1, 3 do
  targets[i] = part("Target" .. i)
  targetOf[part("Target" .. i .. "Switch")] = i
end

local outlaneOf = { [part("OutlaneLeft")] = "LEFT", [part("OutlaneRight")] = "RIGHT" }
local lamp = {
  extra = part("LampExtraBall"), multi = part("LampMultiball"), again = part("LampShootAgain"),
  [2] = part("LampBonus2"), [3] = part("LampBonus3"), [4] = part("LampBonus4"),
}

---------------------------------------------------------------------------
-- Game state
---------------------------------------------------------------------------

local mode = "attract"       -- attract, play, bonus, over
local players, current, ballNumber = 0, 1, 1
local scores = { 0, 0, 0, 0 }
local extraBalls = { 0, 0, 0, 0 }
local extraAwarded = { false, false, false, false }
local balls = {}             -- ball scene number -> ball object number
local ballCount = 0
local bonus, multiplier = 0, 1
local laneLit, targetLit = { false, false, false }, { false, false, false }
local laneCompletions = 0
local ballSave, launchedThisBall = 0, false
local tilted, nudgeLevel, nudgeDecay = false, 0, 0
local charge, plungerScene, plungerPull = 0, nil, -1
local autoLaunch = {}        -- balls waiting to be shot into play
local multiballPending, multiballCooldown = 0, 0
local bonusQueue, bonusTimer = 0, 0
local overTimer, attractTimer, attractCam = 0, 0, 0
local spinnerBurst, fpsTimer = 0, 0
local camY = 800
local camPos = Vec2(0, camY)  -- handed to CamSet, changed in place
local prevKeys = {}
local lastGameScores, lastGamePlayers = nil, 0

local function pressed(k) return keys[k] and not prevKeys[k] end
local function released(k) return prevKeys[k] and not keys[k] end

-- High scores: three entries kept in save.dat.
local function highScore(i) return tonumber(PropertyGet("hiscore" .. i) or "") or 0 end

-- Lamps as last set (object number -> lit): the lamps that are set on
-- every step (the attract chase, the ball-save blink) reach the engine only
-- when they change. Every lamp is set through here.
local lampLit = {}
local function setLit(o, on)
  if o and lampLit[o] ~= on then
    lampLit[o] = on
    ObjectSetLit(o, on)
  end
end

local function addScore(points, bonusPoints)
  if mode ~= "play" or tilted then return end
  scores[current] = scores[current] + points
  bonus = bonus + (bonusPoints or 0)
  HudSetScore(current - 1, scores[current])
end

local function showMultiplier()
  for m = 2, 4 do setLit(lamp[m], multiplier >= m) end
end

---------------------------------------------------------------------------
-- Balls
---------------------------------------------------------------------------

local function spawnBall(pos)
  local s = SceneSpawn("Ball", pos)
  if s < 0 then return nil end
  local b = SceneGetObjectByName(s, "Ball")
  balls[s] = b
  ballCount = ballCount + 1
  return b
end

local function removeBall(s)
  if balls[s] then
    balls[s] = nil
    ballCount = ballCount - 1
    SceneRemove(s)
  end
end

local function removeAllBalls()
  for s in pairs(balls) do SceneRemove(s) end
  balls, ballCount, autoLaunch, multiballPending = {}, 0, {}, 0
end

local function inShooterLane(x, y) return x > 712 and y > 1150 end

-- The balls of this step in the order of pairs(balls), with their scene
-- and object numbers and their positions (nil for a ball without one). Read
-- once a step: nothing moves a ball while update() runs.
local stepBalls, stepScene, stepObject, stepX, stepY = 0, {}, {}, {}, {}
local function readBalls()
  local n = 0
  for s, b in pairs(balls) do
    n = n + 1
    stepScene[n], stepObject[n] = s, b
    local p = ObjectGetPos(b)
    if p then
      stepX[n], stepY[n] = p.x, p.y
    else
      stepX[n], stepY[n] = nil, nil
    end
  end
  stepBalls = n
end

local function launch(b, speed)
  ObjectSetVelocity(b, Vec2(0, -speed))
  SoundPlay("launch")
  print("[TABLE] ball launched")
  if not launchedThisBall then
    launchedThisBall = true
    ballSave = BALL_SAVE_TIME
    setLit(lamp.again, true)
  end
end

---------------------------------------------------------------------------
-- Flow: start, balls, bonus, game over, attract
---------------------------------------------------------------------------

local function resetPlayfieldLamps()
  laneLit, targetLit = { false, false, false }, { false, false, false }
  for i = 1, 3 do setLit(lanes[i], false); setLit(targets[i], false) end
  multiplier, bonus = 1, 0
  showMultiplier()
  setLit(lamp.multi, false)
  setLit(lamp.extra, false)
  setLit(lamp.again, false)
end

local function startBall()
  resetPlayfieldLamps()
  tilted, nudgeLevel, launchedThisBall, ballSave = false, 0, false, 0
  laneCompletions = 0
  setLit(lamp.extra, extraBalls[current] > 0)
  spawnBall(ballStart)
  if players > 1 then
    HudShowText("P" .. current .. " BALL " .. ballNumber, 2.5)
  else
    HudShowText("BALL " .. ballNumber, 2.5)
  end
  print("[TABLE] player " .. current .. " ball " .. ballNumber)
end

local function startGame(n)
  players, current, ballNumber = n, 1, 1
  for i = 1, 4 do scores[i], extraBalls[i], extraAwarded[i] = 0, 0, false end
  HudSetPlayers(n)
  for i = 0, 3 do HudSetScore(i, 0) end
  removeAllBalls()
  mode = "play"
  MusicPlay(MUSIC, 0.5)
  SoundPlay("start")
  print("[TABLE] game started with " .. n .. " player(s)")
  startBall()
end

local function saveHighScores()
  local list = { highScore(1), highScore(2), highScore(3) }
  local best = 0
  for p = 1, players do
    local s = scores[p]
    if s > list[3] then
      list[3] = s
      table.sort(list, function(a, b) return a > b end)
      best = max(best, s)
    end
  end
  if best > 0 then
    for i = 1, 3 do PropertySet("hiscore" .. i, list[i]) end
    print("[TABLE] high score saved " .. best)
    return true
  end
  return false
end

local function gameOver()
  mode, overTimer = "over", 5
  removeAllBalls()
  MusicStop()
  SoundPlay("game-over")
  print("[TABLE] game over")
  for p = 1, players do print("[TABLE] player " .. p .. " scored " .. scores[p]) end
  PropertySet("games", (tonumber(PropertyGet("games") or "") or 0) + 1)
  if saveHighScores() then
    HudShowText("HIGH SCORE", 2.5, 0.25)
    overTimer = 6
  else
    HudShowText("GAME OVER", 4)
  end
  lastGameScores, lastGamePlayers = { scores[1], scores[2], scores[3], scores[4] }, players
  resetPlayfieldLamps()
end

local function nextBall()
  mode = "play"
  if extraBalls[current] > 0 then
    extraBalls[current] = extraBalls[current] - 1
    HudShowText("SHOOT AGAIN", 2)
    print("[TABLE] shoot again")
    startBall()
    return
  end
  current = current + 1
  if current > players then
    current = 1
    ballNumber = ballNumber + 1
  end
  if ballNumber > BALLS_PER_GAME then
    gameOver()
  else
    startBall()
  end
end

local function endOfBall()
  setLit(lamp.again, false)
  if tilted then
    nextBall()
    return
  end
  mode = "bonus"
  bonusQueue = bonus * multiplier
  bonusTimer = 0.8
  print("[TABLE] bonus " .. bonusQueue)
  HudShowText("BONUS X" .. multiplier, 0.8)
end

local function ballDrained(s)
  removeBall(s)
  print("[TABLE] ball drained")
  if mode ~= "play" then return end
  if ballCount > 0 then
    if ballCount == 1 then setLit(lamp.multi, false) end
    return
  end
  if ballSave > 0 and not tilted then
    spawnBall(ballStart)
    HudShowText("BALL SAVED", 2)
    SoundPlay("ball-saved")
    print("[TABLE] ball saved")
    return
  end
  SoundPlay("drain")
  endOfBall()
end

local function attractText()
  local text = "ORVANE PINBALL   HIGH SCORES  1. " .. highScore(1) .. "  2. " .. highScore(2) ..
      "  3. " .. highScore(3) .. "   PRESS F1 TO F4 TO START"
  if lastGameScores then
    text = "GAME OVER   " .. text
  end
  HudScrollText(text, 32)
end

---------------------------------------------------------------------------
-- Scoring elements
---------------------------------------------------------------------------

local function kick(ball, dir, speed)
  ObjectAddImpulse(ball, dir * (speed * STEP_FORCE))
end

local function hitBumper(bp, ball)
  local d = ObjectGetPos(ball) - bp.pos
  if d:Normalize() == 0 then d = Vec2(0, -1) end
  if not tilted then kick(ball, d, BUMPER_KICK) end
  setLit(bp.lamp, true)
  bp.litTimer = 0.12
  SoundPlay("bumper")
  addScore(100, 100)
  print("[TABLE] bumper hit")
end

local function hitSling(sl, ball)
  if not tilted then kick(ball, sl.dir, SLING_KICK) end
  setLit(sl.lamp, true)
  sl.litTimer = 0.1
  SoundPlay("sling")
  addScore(50, 50)
  print("[TABLE] sling hit")
end

local function rotateLanes(step)
  if laneLit[1] == laneLit[2] and laneLit[2] == laneLit[3] then return end
  local l = laneLit
  if step > 0 then laneLit = { l[3], l[1], l[2] } else laneLit = { l[2], l[3], l[1] } end
  for i = 1, 3 do setLit(lanes[i], laneLit[i]) end
end

local function startMultiball()
  setLit(lamp.multi, true)
  HudShowText("MULTIBALL", 3, 0.2)
  SoundPlay("multiball")
  print("[TABLE] multiball")
  multiballPending, multiballCooldown = 2, 0.5
  ballSave = max(ballSave, 6)
end

-- Multiball balls are fed into the shooter lane one at a time and shot.
local function feedMultiball(dt)
  multiballCooldown = multiballCooldown - dt
  if multiballPending <= 0 or multiballCooldown > 0 or mode ~= "play" then return end
  for _, b in pairs(balls) do
    local p = ObjectGetPos(b)
    if p and inShooterLane(p.x, p.y) then return end
  end
  local b = spawnBall(ballStart)
  if b then autoLaunch[#autoLaunch + 1] = { ball = b, wait = 0.8 } end
  multiballPending = multiballPending - 1
  multiballCooldown = 2
end

local function hitLane(i)
  if laneLit[i] then
    SoundPlay("lane", 0.4)
    addScore(100, 0)
    return
  end
  laneLit[i] = true
  setLit(lanes[i], true)
  SoundPlay("lane")
  addScore(500, 1000)
  print("[TABLE] lane " .. i .. " lit")
  if laneLit[1] and laneLit[2] and laneLit[3] then
    laneCompletions = laneCompletions + 1
    multiplier = min(4, multiplier + 1)
    showMultiplier()
    addScore(5000, 0)
    SoundPlay("lanes-complete")
    print("[TABLE] lanes complete, bonus x" .. multiplier)
    laneLit = { false, false, false }
    for k = 1, 3 do setLit(lanes[k], false) end
    if laneCompletions % 2 == 0 and ballCount == 1 and mode == "play" and not tilted then
      startMultiball()
    else
      HudShowText("BONUS X" .. multiplier, 1.5)
    end
  end
end

local function hitTarget(i)
  SoundPlay("target")
  addScore(1000, 500)
  print("[TABLE] target " .. i .. " hit")
  if targetLit[i] then return end
  targetLit[i] = true
  setLit(targets[i], true)
  if targetLit[1] and targetLit[2] and targetLit[3] then
    targetLit = { false, false, false }
    for k = 1, 3 do setLit(targets[k], false) end
    addScore(10000, 2000)
    if mode == "play" and not tilted and not extraAwarded[current] then
      extraAwarded[current] = true
      extraBalls[current] = extraBalls[current] + 1
      setLit(lamp.extra, true)
      HudShowText("EXTRA BALL", 2.5, 0.2)
      SoundPlay("extra-ball")
      print("[TABLE] extra ball")
    end
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
  elseif laneOf[tObj] then
    hitLane(laneOf[tObj])
  elseif targetOf[tObj] then
    hitTarget(targetOf[tObj])
  elseif outlaneOf[tObj] then
    addScore(2000, 0)
    SoundPlay("drain", 0.5)
    print("[TABLE] outlane " .. outlaneOf[tObj])
  end
end

function object_rotated(scene, obj, degrees)
  if obj ~= spinner then return end
  SoundPlay("spinner", 0.6)
  addScore(100, 20)
  if spinnerBurst <= 0 then print("[TABLE] spinner turned") end
  spinnerBurst = 0.5
end

local flipHeld = {}  -- by flipper: how long its button has been held, s

local function driveFlipper(f, up, direction, dt)
  flipHeld[f] = up and (flipHeld[f] or 0) + dt or 0
  local target = up and direction * FLIP_UP or 0
  local err = target - (ObjectGetAngle(f) or 0)
  local limit = up and FLIP_SPEED_UP * math.min(1, flipHeld[f] / FLIP_BUILD) or FLIP_SPEED_DOWN
  local spin = err * 3
  if spin > limit then spin = limit elseif spin < -limit then spin = -limit end
  ObjectSetTorque(f, spin)
end

local function updateFlippers(dt)
  local live = (mode == "play" or mode == "attract") and not tilted
  local l, r = live and keys.lpad, live and keys.rpad
  local lPressed, rPressed = pressed("lpad"), pressed("rpad")
  if live and (lPressed or rPressed) then SoundPlay("flipper", 0.7) end
  driveFlipper(leftFlipper, l, -1, dt)
  driveFlipper(rightFlipper, r, 1, dt)
  if mode == "play" then
    if lPressed then rotateLanes(-1) end
    if rPressed then rotateLanes(1) end
  end
end

-- The rod is a sprite scene respawned lower as it is pulled; in 3 px steps,
-- since every respawn is two lines on the console.
local function showPlunger(pull)
  if pull == 0 and plungerPull == 0 then return end  -- at rest, as on most steps
  local px = floor(pull / 3 + 0.5) * 3
  if px == plungerPull then return end
  plungerPull = px
  if plungerScene then SceneRemove(plungerScene) end
  plungerScene = SceneSpawn("Plunger", Vec2(ballStart.x, 1330 + px))
end

local function updatePlunger(dt)
  if mode ~= "play" then
    charge = 0
  elseif keys.launch then
    if charge == 0 then SoundPlay("plunger", 0.6) end
    charge = min(1, charge + dt / CHARGE_TIME)
  elseif released("launch") and charge > 0 then
    local speed = LAUNCH_MIN + (LAUNCH_MAX - LAUNCH_MIN) * charge
    for _, b in pairs(balls) do
      local p, v = ObjectGetPos(b), ObjectGetVelocity(b)
      if inShooterLane(p.x, p.y) and v.length < 60 then launch(b, speed) end
    end
    charge = 0
  else
    charge = 0
  end
  showPlunger(charge * 30)
  for i = #autoLaunch, 1, -1 do
    local a = autoLaunch[i]
    a.wait = a.wait - dt
    if a.wait <= 0 then
      local p = ObjectGetPos(a.ball)
      if p and inShooterLane(p.x, p.y) then launch(a.ball, LAUNCH_MAX * 0.85) end
      table.remove(autoLaunch, i)
    end
  end
end

local function updateNudge(dt)
  nudgeDecay = nudgeDecay + dt
  if nudgeDecay > 2.5 then
    nudgeDecay = 0
    nudgeLevel = max(0, nudgeLevel - 1)
  end
  if mode ~= "play" or not pressed("push") or tilted then return end
  local side = (math.random() < 0.5) and -1 or 1
  for _, b in pairs(balls) do
    kick(b, Vec2(side * 0.5, -1), 160)
  end
  SoundPlay("nudge")
  nudgeLevel = nudgeLevel + 1
  nudgeDecay = 0
  print("[TABLE] nudge " .. nudgeLevel)
  if nudgeLevel >= 4 then
    tilted = true
    HudShowText("TILT", 4, 0.3)
    SoundPlay("tilt")
    print("[TABLE] tilt")
  elseif nudgeLevel == 3 then
    HudShowText("DANGER", 1.5, 0.15)
  end
end

-- Follows the lowest ball (the one closest to the drain), smoothly and
-- clamped to the table; in attract mode it sweeps slowly up and down.
local function updateCamera(dt)
  local target, rate
  if mode == "attract" or mode == "over" then
    attractCam = attractCam + dt
    target, rate = 340 + 460 * math.sin(attractCam * 0.25), 7
  else
    local lowest
    for i = 1, stepBalls do
      local y = stepY[i]
      if y and (not lowest or y > lowest) then lowest = y end
    end
    if not lowest then return end
    -- Quick enough to keep a ball at 4000 px/s on the screen: the camera
    -- trails the ball by about a twentieth of a second.
    target, rate = lowest - (HUD_ROWS_PX + 600) / 2, 20
  end
  if target > 1400 - 600 then target = 1400 - 600 end
  if target < -HUD_ROWS_PX then target = -HUD_ROWS_PX end
  local follow = dt * rate
  if follow > 1 then follow = 1 end
  camY = camY + (target - camY) * follow
  camPos.y = camY
  CamSet(camPos)
end

local chaseOrder = { lamp[2], lamp[3], lamp[4], lamp.multi, lamp.extra, lamp.again }

local flashers = { bumpers[1], bumpers[2], bumpers[3], slings.Left, slings.Right }

local function updateLamps(dt)
  for i = 1, #flashers do
    local f = flashers[i]
    if f.litTimer > 0 then
      f.litTimer = f.litTimer - dt
      if f.litTimer <= 0 then setLit(f.lamp, false) end
    end
  end
  if ballSave > 0 then
    ballSave = ballSave - dt
    -- Blink the shoot-again lamp in the last two seconds of ball save.
    local on = ballSave > 2 or floor(ballSave * 6) % 2 == 0
    setLit(lamp.again, ballSave > 0 and on)
  end
  if mode == "attract" then
    -- A slow chase over the inserts.
    local phase = floor(attractCam * 4) % 6
    for i = 1, #chaseOrder do setLit(chaseOrder[i], i - 1 == phase) end
    for i = 1, 3 do setLit(lanes[i], (phase + i) % 3 == 0) end
  end
end

-- A ball that has stayed in one place away from the flippers for a while
-- (lying still, or jiggling in some corner) gets a small shove so that play
-- never stalls.
local stuckAnchor = {}       -- ball object number -> { x, y, time }
local function updateStuck(dt)
  if mode ~= "play" then
    if next(stuckAnchor) then stuckAnchor = {} end
    return
  end
  for i = 1, stepBalls do
    local b, x, y = stepObject[i], stepX[i], stepY[i]
    local a = stuckAnchor[b]
    if not x or y > 1150 or inShooterLane(x, y) then
      stuckAnchor[b] = nil
    elseif not a then
      stuckAnchor[b] = { x = x, y = y, time = 0 }
    elseif (x - a.x) * (x - a.x) + (y - a.y) * (y - a.y) > 6 * 6 then
      a.x, a.y, a.time = x, y, 0
    else
      a.time = a.time + dt
      if a.time > 4 then
        stuckAnchor[b] = nil
        kick(b, Vec2(math.random() - 0.5, -1), 300)
        print("[TABLE] ball freed")
      end
    end
  end
end

local function updateBonus(dt)
  bonusTimer = bonusTimer - dt
  if bonusTimer > 0 then return end
  if bonusQueue > 0 then
    local chunk = max(100, floor(bonusQueue / 12 / 100) * 100)
    chunk = min(chunk, bonusQueue)
    bonusQueue = bonusQueue - chunk
    scores[current] = scores[current] + chunk
    HudSetScore(current - 1, scores[current])
    HudShowText("BONUS " .. bonusQueue, 0.2)
    SoundPlay("bonus", 0.7)
    bonusTimer = 0.07
  else
    bonusTimer = 0
    nextBall()
  end
end

local startKeyNames = { "start1", "start2", "start3", "start4" }
local function startKeys()
  for n = 1, #startKeyNames do
    if pressed(startKeyNames[n]) then return n end
  end
end

function update(dt)
  if mode == "attract" then
    local n = startKeys()
    if n then startGame(n) end
    if mode == "attract" and HudIsClear() then
      attractTimer = attractTimer + dt
      if attractTimer > 1 then
        attractTimer = 0
        attractText()
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
  feedMultiball(dt)
  updateNudge(dt)
  updateLamps(dt)
  readBalls()
  updateStuck(dt)
  updateCamera(dt)

  -- The spinner has no friction of its own: slow it down here.
  local spin = ObjectGetTorque(spinner)
  if spin then ObjectSetTorque(spinner, spin * 0.996) end
  spinnerBurst = spinnerBurst - dt

  -- A guard against a ball that escaped the table (it never should).
  -- Draining changes balls, so the lost ones are gathered first; the list
  -- is made only when there is one, as this runs every step.
  local lost
  for i = 1, stepBalls do
    local x, y = stepX[i], stepY[i]
    if not x or x < -50 or x > 850 or y < -50 or y > 1450 then
      lost = lost or {}
      lost[#lost + 1] = stepScene[i]
    end
  end
  if lost then
    for _, s in ipairs(lost) do
      print("[TABLE] ball lost off the table")
      ballDrained(s)
    end
  end

  fpsTimer = fpsTimer + dt
  if fpsTimer >= 10 then
    fpsTimer = 0
    print(string.format("[TABLE] fps %d", fps))
  end

  -- The keys whose presses and releases the rules look for.
  local k = keys
  prevKeys.lpad, prevKeys.rpad, prevKeys.push, prevKeys.launch = k.lpad, k.rpad, k.push, k.launch
  prevKeys.start1, prevKeys.start2 = k.start1, k.start2
  prevKeys.start3, prevKeys.start4 = k.start3, k.start4
end

-- Attract mode at start-up, with the last high scores.
HudSetPlayers(0)
showPlunger(0)
camY = 800
CamSet(Vec2(0, camY))
print("[TABLE] " .. TITLE .. " ready; high score " .. highScore(1))
