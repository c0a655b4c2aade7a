// Contacts between two solid outlines from their closest features: every
// outline point within reach of the other outline gives a contact carrying
// the true gap (negative depth) or overlap along the normal of the feature
// it faces. Gaps let the step stop a fast body at the surface instead of
// finding it inside on the next step.
#pragma once

#include <ode/ode.h>

#include "content/world_data.h"

struct PolygonGeomData;

// How far inside another outline a point is still pushed back out the way
// it came; deeper points are left to the other points of their outline.
constexpr float insideSearch = 4;
// Two moving convex outlines whose reach is no longer than this (so that
// they move less than a pixel or so in the step) keep only their closest
// contact, or two where faces lie flat against each other.
constexpr float settledReach = 3;

struct SolidContact {
  Float2 position;  // halfway between the two features
  Float2 normal;    // from the second outline towards the first
  float depth;      // overlap; negative: the gap still open
  // A guard keeps the outline itself from being crossed where a blended
  // normal leans away from the edge's own: it only stops, never bounces.
  bool guard;
  // Whose edge the normal belongs to (1 or 2), so that it turns with that
  // outline; 0 for two corners.
  int edgeOwner;
};

// Writes up to max contacts for the pair. Features farther apart than reach
// give nothing. With smooth set, the normals of edges are blended between
// their corner normals along the edge, as the crossing collider does for
// static shapes, and a guard along the edge's own normal goes with each
// contact whose normal leans.
int collideSolids(dGeomID o1, dGeomID o2, float reach, bool smooth, SolidContact* contacts,
                  int max);
// The same with each geom's data (polygonGeomData) already at hand.
int collideSolids(dGeomID o1, PolygonGeomData* data1, dGeomID o2, PolygonGeomData* data2,
                  float reach, bool smooth, SolidContact* contacts, int max);

// The largest distance from a geom's own origin to its outline.
float outlineReach(dGeomID geom);
