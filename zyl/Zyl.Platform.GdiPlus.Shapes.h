// Geometry of the GDI+ canvas's shapes that needs no GDI+: the polygon that
// stands for an elliptic arc. No Windows interface here.
#pragma once

#include <array>
#include <cstdint>

#include "Zyl.Platform.GdiPlus.Api.h"

namespace Zyl {

// Room for an arc's points plus the centre that a pie adds.
constexpr int32_t MaxArcPoints = 1001;
using TArcPoints = std::array<TGpPointF, 1010>;

// The arc of the ellipse in the device rectangle (right and bottom
// exclusive), shrunk by inset on every side, running counter-clockwise on the
// screen from the radial through (x3, y3) to the radial through (x4, y4); the
// same radial twice gives the whole ellipse. About one point per 1.5 pixels
// of the larger radius, at least 5 and at most 1001. Returns the number of
// points, 0 when a radius is 0 or less.
int32_t ArcPoints(int64_t left, int64_t top, int64_t right, int64_t bottom, int64_t x3, int64_t y3, int64_t x4,
                  int64_t y4, double inset, TArcPoints& points);

} // namespace Zyl
