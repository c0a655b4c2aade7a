-- Outline builders for the default table. The scene files and the art
-- generator both run this file, so the painted walls match the colliders.
-- Every outline comes back wound the way the collider wants: edge normals
-- (-dy, dx) point out of the shape, i.e. a negative shoelace sum.
local S = {}

local sin, cos, rad, sqrt = math.sin, math.cos, math.rad, math.sqrt

local function shoelace(pts)
  local sum = 0
  for i = 1, #pts do
    local a, b = pts[i], pts[i % #pts + 1]
    sum = sum + a[1] * b[2] - b[1] * a[2]
  end
  return sum
end

-- A copy of pts, reversed if needed so that its shoelace sum is negative.
function S.wound(pts)
  local out = {}
  if shoelace(pts) > 0 then
    for i = #pts, 1, -1 do out[#out + 1] = { pts[i][1], pts[i][2] } end
  else
    for i = 1, #pts do out[#out + 1] = { pts[i][1], pts[i][2] } end
  end
  return out
end

-- Inserts points so that no edge of the closed outline is longer than
-- maxEdge. Long flat edges need them: the collider blends the normals of an
-- edge's two corners, so a long edge would tilt towards its ends.
function S.subdivide(pts, maxEdge)
  local out = {}
  for i = 1, #pts do
    local a, b = pts[i], pts[i % #pts + 1]
    local dx, dy = b[1] - a[1], b[2] - a[2]
    local n = math.max(1, math.ceil(sqrt(dx * dx + dy * dy) / maxEdge))
    for k = 0, n - 1 do
      out[#out + 1] = { a[1] + dx * k / n, a[2] + dy * k / n }
    end
  end
  return out
end

-- Regular polygon; vertex i at angle (i + 0.5) * 360 / n degrees.
function S.circle(r, n, cx, cy)
  cx, cy = cx or 0, cy or 0
  local pts = {}
  for i = 0, n - 1 do
    local a = rad((i + 0.5) * 360 / n)
    pts[#pts + 1] = { cx + r * cos(a), cy + r * sin(a) }
  end
  return S.wound(pts)
end

function S.box(x0, y0, x1, y1, maxEdge)
  local pts = S.wound({ { x0, y0 }, { x1, y0 }, { x1, y1 }, { x0, y1 } })
  if maxEdge then pts = S.subdivide(pts, maxEdge) end
  return pts
end

-- Points along an arc (a path, not an outline). Angles in degrees, measured
-- clockwise on screen from +x (y grows down).
function S.arc(cx, cy, r, from, to, segments)
  local pts = {}
  for i = 0, segments do
    local a = rad(from + (to - from) * i / segments)
    pts[#pts + 1] = { cx + r * cos(a), cy + r * sin(a) }
  end
  return pts
end

-- Appends the points of b to a (skipping a duplicate joint) and returns a.
function S.join(a, b)
  for i = 1, #b do
    local last = a[#a]
    if not (last and math.abs(last[1] - b[i][1]) < 0.01 and math.abs(last[2] - b[i][2]) < 0.01) then
      a[#a + 1] = { b[i][1], b[i][2] }
    end
  end
  return a
end

-- A solid band `thickness` wide along an open polyline, with mitred joins
-- and intermediate points every maxEdge (default 30) pixels. With `round`
-- its ends are half circles.
function S.band(path, thickness, maxEdge, round)
  local h = thickness / 2
  local n = #path
  local left, right, normals = {}, {}, {}
  local function normal(a, b)
    local dx, dy = b[1] - a[1], b[2] - a[2]
    local len = sqrt(dx * dx + dy * dy)
    return -dy / len, dx / len
  end
  for i = 1, n do
    local nx, ny
    if i == 1 then
      nx, ny = normal(path[1], path[2])
    elseif i == n then
      nx, ny = normal(path[n - 1], path[n])
    else
      local ax, ay = normal(path[i - 1], path[i])
      local bx, by = normal(path[i], path[i + 1])
      local mx, my = ax + bx, ay + by
      local ml = sqrt(mx * mx + my * my)
      mx, my = mx / ml, my / ml
      local scale = 1 / math.max(0.5, mx * ax + my * ay)
      nx, ny = mx * scale, my * scale
    end
    normals[i] = { nx, ny }
    local p = path[i]
    left[i] = { p[1] + nx * h, p[2] + ny * h }
    right[i] = { p[1] - nx * h, p[2] - ny * h }
  end
  local function cap(p, nrm, fromAngle)
    if not round then return {} end
    local pts = {}
    local base = math.atan2(nrm[2], nrm[1])
    for k = 1, 7 do
      local a = base + fromAngle - math.pi * k / 8
      pts[#pts + 1] = { p[1] + h * cos(a), p[2] + h * sin(a) }
    end
    return pts
  end
  local pts = {}
  for i = 1, n do pts[#pts + 1] = left[i] end
  for _, q in ipairs(cap(path[n], normals[n], 0)) do pts[#pts + 1] = q end
  for i = n, 1, -1 do pts[#pts + 1] = right[i] end
  for _, q in ipairs(cap(path[1], normals[1], math.pi)) do pts[#pts + 1] = q end
  return S.subdivide(S.wound(pts), maxEdge or 30)
end

-- A tapered bar with round ends: radius r0 around (0, 0), radius r1 around
-- the point `length` away at angle `angle` degrees. Flippers and posts.
function S.capsule(length, angle, r0, r1, segments)
  segments = segments or 8
  local a = angle
  local tx, ty = length * cos(rad(a)), length * sin(rad(a))
  local pts = S.arc(0, 0, r0, a + 90, a + 270, segments)
  S.join(pts, S.arc(tx, ty, r1, a - 90, a + 90, segments))
  return S.wound(pts)
end

-- Axis-aligned bounds of an outline rounded outwards, plus a margin: the
-- art generator renders a sprite of exactly this size, and the scene uses
-- its centre as the sprite's imageOffset.
function S.spriteBox(pts, margin)
  margin = margin or 2
  local x0, y0, x1, y1 = math.huge, math.huge, -math.huge, -math.huge
  for i = 1, #pts do
    x0, y0 = math.min(x0, pts[i][1]), math.min(y0, pts[i][2])
    x1, y1 = math.max(x1, pts[i][1]), math.max(y1, pts[i][2])
  end
  x0, y0 = math.floor(x0) - margin, math.floor(y0) - margin
  x1, y1 = math.ceil(x1) + margin, math.ceil(y1) + margin
  return x0, y0, x1, y1
end

function S.spriteOffset(pts)
  local x0, y0, x1, y1 = S.spriteBox(pts)
  return { (x0 + x1) / 2, (y0 + y1) / 2 }
end

-- Mirror image about the vertical line x = axis (winding not restored).
function S.mirrorX(pts, axis)
  local out = {}
  for i = 1, #pts do out[i] = { 2 * axis - pts[i][1], pts[i][2] } end
  return out
end

return S
