-- The playfield of the default table: walls, flippers, slingshots, pop
-- bumpers, top lanes, spinner, targets, outlanes and the drain. 800 x 1400
-- pixels; the camera scrolls over it. game.lua looks objects up by name.
local S = include("shapes.lua")

local AXIS = 366            -- the playfield's mirror line (shooter lane on the right)
local WALL = 40             -- outer wall thickness
-- The outer wall's inner face over the top: a half circle, whose ends run
-- on straight down the sides.
local ARCH_X, ARCH_Y, ARCH_R = 400, 420, 360

local objects = {}
local links = {}

-- What each part is made of (docs/table.md tells how each was chosen):
-- elasticity at a gentle impact, its falloff per 1000 px/s of impact speed,
-- friction. The ball sets none, so a contact takes the part's own.
local RUBBER_POST = { 0.9, 0.1, 0.3 }     -- lane posts and bumper caps
local RUBBER_BAND = { 0.85, 0.13, 0.3 }   -- the slingshots' faces
local FLIPPER_RUBBER = { 0.88, 0.15, 0.9 }
local METAL = { 0.3, 0, 0.05 }            -- wire guides and the shooter lane
local TARGETS = { 0.4, 0, 0.05 }          -- plastic targets on a wooden bank
local DEAD = { 0.1, 0, 0.3 }              -- the drain trough and the plunger's tip

local function add(o, material)
  if material then
    o.elasticity, o.elasticityFalloff, o.friction = material[1], material[2], material[3]
  end
  objects[#objects + 1] = o
  return o
end

local function wall(name, outline, material)
  return add({ name = name, kind = "static", layer = 1, outline = outline }, material)
end

-- Everything that moves in this scene is in group 1, which collides with
-- nothing of its own scene (the ball is a scene of its own).
local MOVING = 1

-- Background: the generated playfield art, with the walls painted in.
add({ name = "Playfield", kind = "prop", layer = 0, img = "Images\\playfield.png",
      position = { 400, 700 } })

-- Outer wall: up the left side, over the top in an arc, down the right.
-- Like the orbit below, the plain contact: shots that ride the arch and the
-- orbit keep to their paths only on a dead, smooth wall (docs/table.md).
do
  local r = ARCH_R + WALL / 2
  local path = { { ARCH_X - r, 1420 }, { ARCH_X - r, ARCH_Y } }
  S.join(path, S.arc(ARCH_X, ARCH_Y, r, 180, 360, 36))
  S.join(path, { { ARCH_X + r, ARCH_Y }, { ARCH_X + r, 1420 } })
  wall("OuterWall", S.band(path, WALL))
end

-- Drain trough floor and the shooter lane.
wall("DrainFloor", S.band({ { 0, 1387 }, { 800, 1387 } }, 34), DEAD)
wall("ShooterWall", S.band({ { 704, 1380 }, { 704, 470 } }, 24, 30, true), METAL)
-- The plunger's floor reaches into the walls on both sides, with a point
-- 4 px inside each wall: the floor's open stretch then pushes straight up
-- from wall to wall, instead of tilting towards its buried corners and
-- squeezing a ball into the corner it meets.
do
  local top = { { 700, 1330 } }
  for x = 712, 764, 13 do top[#top + 1] = { x, 1330 } end
  top[#top + 1] = { 772, 1330 }
  S.join(top, { { 772, 1375 }, { 700, 1375 } })
  wall("ShooterFloor", S.subdivide(S.wound(top), 13), DEAD)
end
add({ name = "ShooterLane", id = "BallStart", kind = "marker", position = { 738, 1317 } })

-- Inlane guides feed the flippers; the gap between guide and outer wall is
-- the outlane.
local guideL = { { 92, 990 }, { 92, 1120 }, { 262, 1210 } }
wall("GuideLeft", S.band(guideL, 40, 30, true), METAL)
wall("GuideRight", S.band(S.mirrorX(guideL, AXIS), 40, 30, true), METAL)

-- Slingshots: a rubber face towards the middle, with a thin trigger just
-- outside it that kicks the ball away from the face. Every corner but the
-- face is buried in the inlane guide, so that the face meets the guide in
-- two corners that shed the ball: a gap between sling and guide, or a top
-- that slopes towards the guide, is a pocket a ball comes to rest in.
local SLING_A, SLING_B, SLING_C = { 99, 1010 }, { 99, 1126 }, { 232, 1182 }
local function sling(side)
  local A, B, C = SLING_A, SLING_B, SLING_C
  local sign = 1
  if side == "Right" then
    A, B, C = { 2 * AXIS - A[1], A[2] }, { 2 * AXIS - B[1], B[2] }, { 2 * AXIS - C[1], C[2] }
    sign = -1
  end
  local function towards(p, q, d)
    local dx, dy = q[1] - p[1], q[2] - p[2]
    local len = math.sqrt(dx * dx + dy * dy)
    return { p[1] + dx / len * d, p[2] + dy / len * d }
  end
  -- Points of the face still inside the guide at both ends: from there on
  -- the face's corner normals are its own, not blended with a buried side's.
  local A1, C1 = towards(A, C, 6), towards(C, A, 10)
  local cx, cy = (A[1] + B[1] + C[1]) / 3, (A[2] + B[2] + C[2]) / 3
  local function at(p) return { p[1] - cx, p[2] - cy } end
  local body = S.subdivide(S.wound({ at(A), at(A1), at(C1), at(C), at(B) }), 30)
  add({ name = "Sling" .. side, kind = "static", layer = 1, position = { cx, cy },
        img = "Images\\sling-" .. side:lower() .. ".png",
        litImg = "Images\\sling-" .. side:lower() .. "-lit.png",
        imageOffset = S.spriteOffset(body), outline = body }, RUBBER_BAND)
  -- Kick strip: 5 px outside the open part of the face, between where it
  -- leaves the guide at the top (16 px from A) and at the bottom (about
  -- 24 px from C).
  local E0, E1 = towards(A, C, 16), towards(C, A, 24)
  local dx, dy = E1[1] - E0[1], E1[2] - E0[2]
  local len = math.sqrt(dx * dx + dy * dy)
  local nx, ny = sign * dy / len, -sign * dx / len
  local p0 = { E0[1] + dx * 0.1 + nx * 5, E0[2] + dy * 0.1 + ny * 5 }
  local p1 = { E0[1] + dx * 0.9 + nx * 5, E0[2] + dy * 0.9 + ny * 5 }
  add({ name = "Sling" .. side .. "Kick", id = "sling", kind = "trigger", layer = 1,
        outline = S.band({ p0, p1 }, 6, 20) })
end
sling("Left")
sling("Right")

-- Flippers: bodies on a ball joint to the fixed world at the pivot, drawn
-- at rest; game.lua turns them between 0 and 50 degrees. The tips pass
-- horizontal on the way up, where they come closest: 98 - 74 = 24 px from
-- the middle each, which leaves 30 px between the tip rubbers, so that a
-- ball coming straight down the middle drains. Next to the ball (mass 1)
-- a flipper weighs some four balls at its tip: a full swing that strikes a
-- ball there loses about a third of its speed for that step, and game.lua,
-- which sets the swing's speed every step, gives it back on the next.
local FLIPPER_LENGTH = 74
local function flipper(side, px, angle)
  local outline = S.capsule(FLIPPER_LENGTH, angle, 14, 9, 8)
  add({ name = side .. "Flipper", kind = "dynamic", layer = 1, collisionGroup = MOVING,
        mass = 60, inertiaRadius = 600, position = { px, 1222 },
        img = "Images\\flipper-" .. side:lower() .. ".png",
        imageOffset = S.spriteOffset(outline), outline = outline }, FLIPPER_RUBBER)
  links[#links + 1] = { name = side:lower() .. "-pivot", obj1 = side .. "Flipper", obj2 = "",
                        anchor = { px, 1222 } }
end
flipper("Left", 268, 30)
flipper("Right", 2 * AXIS - 268, 150)

-- Outlanes (ball lost) and inlanes; thin vertical strips the ball falls through.
add({ name = "OutlaneLeft", id = "outlane", kind = "trigger", layer = 1,
      outline = S.box(58, 1150, 62, 1200) })
add({ name = "OutlaneRight", id = "outlane", kind = "trigger", layer = 1,
      outline = S.box(2 * AXIS - 62, 1150, 2 * AXIS - 58, 1200) })
-- Drain: the ball comes to rest on the trough floor, across this strip.
add({ name = "Drain", kind = "trigger", layer = 1, outline = S.box(40, 1358, 692, 1366, 30) })

-- Pop bumpers: a solid cap with a slightly larger trigger ring around it.
local bumpers = { { 292, 330 }, { 440, 330 }, { 366, 440 } }
for i, b in ipairs(bumpers) do
  add({ name = "Bumper" .. i, id = "bumper", kind = "static", layer = 1, position = b,
        img = "Images\\bumper.png", litImg = "Images\\bumper-lit.png", outline = S.circle(24, 16) },
      RUBBER_POST)
  add({ name = "Bumper" .. i .. "Ring", id = "bumper", kind = "trigger", layer = 1, position = b,
        outline = S.circle(32, 16) })
end

-- Top lanes: rounded posts, with a thin rollover strip down each lane. A
-- full shot orbits the arch riding its wall, and the collider meets
-- whatever lies within a step's travel of the ball (15 px at 4500 px/s) as
-- if it stood in the ball's way: a post top that near turns an orbiting
-- ball back, to drop down the shooter lane. So the posts stand back from
-- the orbit, all at the height the outermost one needs to be
-- ORBIT_CLEARANCE clear of it: more than a step's travel at any plunger
-- speed, with room for the ball's small bounces off the wall.
local BALL_RADIUS = 12                        -- as scenes/ball.lua makes it
local ORBIT_CLEARANCE = 20                    -- px from the orbiting ball to a post top
local POST_RADIUS, POST_LENGTH = 9, 56        -- px; cap centre to cap centre
local LANE_POSTS = { 305, 360, 415, 470 }
local postTop = 0                             -- the upper caps' centres, y
for _, x in ipairs(LANE_POSTS) do
  local r = ARCH_R - 2 * BALL_RADIUS - ORBIT_CLEARANCE - POST_RADIUS
  postTop = math.max(postTop, math.ceil(ARCH_Y - math.sqrt(r * r - (x - ARCH_X) ^ 2)))
end
for i, x in ipairs(LANE_POSTS) do
  local post = S.capsule(POST_LENGTH, 90, POST_RADIUS, POST_RADIUS, 6)
  add({ name = "LanePost" .. i, kind = "static", layer = 1, position = { x, postTop },
        img = "Images\\post.png", imageOffset = S.spriteOffset(post), outline = post }, RUBBER_POST)
end
for i = 1, #LANE_POSTS - 1 do
  local x = (LANE_POSTS[i] + LANE_POSTS[i + 1]) / 2
  add({ name = "TopLane" .. i, id = "toplane", kind = "trigger", layer = 1,
        position = { x, postTop + POST_LENGTH / 2 + 2 }, img = "Images\\lane.png",
        litImg = "Images\\lane-lit.png", outline = S.box(-2, -22, 2, 22) })
end

-- Left orbit with the spinner: a thin gate on a ball joint across the lane.
-- A full shot from the plunger goes round the arch and down the orbit; the
-- deflector at its foot turns it back into play instead of down the outlane.
wall("OrbitWall", S.band({ { 122, 790 }, { 122, 430 } }, 30, 30, true))
wall("OrbitDeflector", S.band({ { 30, 800 }, { 118, 856 } }, 16, 30, true))
do
  local bar = S.box(-27, -3, 27, 3, 14)
  add({ name = "Spinner", kind = "dynamic", layer = 1, collisionGroup = MOVING,
        mass = 0.2, inertiaRadius = 300, position = { 78, 590 },
        img = "Images\\spinner.png", imageOffset = S.spriteOffset(bar), outline = bar })
  links[#links + 1] = { name = "spinner-axle", obj1 = "Spinner", obj2 = "", anchor = { 78, 590 } }
end

-- Stand-up targets on the right: one solid bank (no corners or gaps to
-- catch the ball), three target faces drawn on it, each with a thin switch
-- just in front of it.
wall("TargetBank", S.band({ { 684, 572 }, { 684, 713 } }, 16, 15, true), TARGETS)
for i, y in ipairs({ 585, 642.5, 700 }) do
  add({ name = "Target" .. i, id = "target", kind = "prop", layer = 1, position = { 684, y },
        img = "Images\\target.png", litImg = "Images\\target-lit.png" })
  add({ name = "Target" .. i .. "Switch", id = "target", kind = "trigger", layer = 1,
        position = { 684, y }, outline = S.box(-14, -22, -5, 22, 15) })
end

-- Lamps that only show state.
local lamps = {
  { "LampExtraBall", { 366, 1010 }, "Images\\insert-extra.png", "Images\\insert-extra-lit.png" },
  { "LampMultiball", { 366, 900 }, "Images\\insert-multi.png", "Images\\insert-multi-lit.png" },
  { "LampShootAgain", { 366, 1300 }, "Images\\insert-again.png", "Images\\insert-again-lit.png" },
  { "LampBonus2", { 306, 800 }, "Images\\insert-2x.png", "Images\\insert-2x-lit.png" },
  { "LampBonus3", { 366, 780 }, "Images\\insert-3x.png", "Images\\insert-3x-lit.png" },
  { "LampBonus4", { 426, 800 }, "Images\\insert-4x.png", "Images\\insert-4x-lit.png" },
}
for _, l in ipairs(lamps) do
  add({ name = l[1], kind = "prop", layer = 1, position = l[2], img = l[3], litImg = l[4] })
end

return { name = "Table", objects = objects, links = links }
