// The rules every scene meets before it is packed, whichever source it came
// from, so that a table drawn in Tiled or written in Lua gets the same
// refusals and the same messages.
#pragma once

#include <string>
#include <vector>

#include "content/world_data.h"

struct OutlinePoint {
  double x = 0, y = 0;
};

// Ranges of the object fields that have no natural bound of their own.
constexpr float kMinScale = 1e-6f, kMaxScale = 1e6f;
constexpr float kMinMass = 1e-6f, kMaxMass = 1e9f;  // mass and inertiaRadius

// Static outlines of Tiled maps get a point at least this often: the
// collider blends contact normals along an edge between its corners.
constexpr double kMaxStaticEdge = 30;

// Sum of x_i*y_(i+1) - x_(i+1)*y_i over the closed outline. Negative means the
// edge normals (-d.y, d.x) point out of the shape, as the collider needs.
double shoelaceSum(const std::vector<OutlinePoint>& outline);
double shoelaceSum(const std::vector<Float2>& outline);

// The rules for a closed outline of three or more points: it may not cross
// itself and must have an area; one wound clockwise on screen is turned
// round. Each source calls this where it makes the outline, before anything
// is derived from its points. Returns the fault, or "" with points settled.
std::string settleOutline(std::vector<OutlinePoint>& points);

// points with points added so that no edge is longer than maxEdge.
std::vector<OutlinePoint> subdivided(const std::vector<OutlinePoint>& points, double maxEdge);

// Checks the fields of every object of scene: imageScale in range, mass and
// inertiaRadius of dynamic bodies in range, and the values of a material.
// where[i] names scene.objects[i] ("file: object 'Wall'"); a refusal is one
// line, where then the fault.
bool checkScene(const SceneDef& scene, const std::vector<std::string>& where, std::string& error);

// Mistakes that pack but play wrong: a link to a static object (it holds
// nothing), and a dynamic object with no link in a scene that has static
// walls (a flipper without its pivot falls off the table) unless isFree[i]
// says it is meant to move freely. Appends one line per mistake to warnings,
// worded as checkScene's refusals.
void warnAboutScene(const SceneDef& scene, const std::vector<std::string>& where,
                    const std::vector<bool>& isFree, std::vector<std::string>& warnings);
