#pragma once
// Plain numeric helpers shared by the sounding selection, the corridor
// distances and the recalculation: point and segment sets, a segment
// intersection test, the distance of a point to a line, a point-in-polygon
// test and the displacement of a geographic position on an ellipsoid.
// No state; every helper may run in any thread.
#include <QtGlobal>

#include <limits>
#include <memory>

// count points, laid out as x, y per point; zero-filled.
struct PointArray {
    qint32 count = 0;
    std::unique_ptr<double[]> values;
};

// count segments, laid out as x1, y1, x2, y2 per segment; zero-filled.
// Segment 0 is A, segment 1 is B.
struct SegmentArray {
    qint32 count = 0;
    std::unique_ptr<double[]> values;
};

// A new set of n points, or null when n <= 0 or an allocation fails.
std::unique_ptr<PointArray> newPointArray(qint32 n);

// A new set of n segments, or null when n <= 0 or an allocation fails.
std::unique_ptr<SegmentArray> newSegmentArray(qint32 n);

// True when segments A and B of the set intersect (bounds included).
// Parallel, collinear or both axis-parallel in the same direction: false.
bool segmentIntersection(const SegmentArray &segments);

// Distance of (px, py) to the infinite line through (x1, y1) and (x2, y2);
// never negative, in the units of the inputs.
double distancePointToLine(double x1, double y1, double x2, double y2, double px, double py);

// Extent of a polygon's vertices. A point outside it is outside the polygon:
// pointInPolygon gives 0 for every point that contains() rejects, so callers
// may test the box first. An empty polygon has an empty box.
struct PolygonBounds {
    double minX, maxX, minY, maxY;
    bool contains(double x, double y) const
    {
        return !(y < minY || y > maxY || x < minX || x > maxX);
    }
};

PolygonBounds polygonBounds(const PointArray &polygon);

// 1 when (x, y) lies inside the polygon (vertices in walking order) or on one
// of its vertices, else 0. scratch holds at least two segments and is
// overwritten; the test allocates nothing.
int pointInPolygon(const PointArray &polygon, double x, double y, SegmentArray &scratch);

// Moves the position (degrees) by along (forward along the heading, radians
// clockwise from north) and across (to starboard) in centimetres on the
// ellipsoid with semi-major axis a (metres) and inverse flattening. Radii are
// taken at the starting latitude. Always 0.
int offsetLatLon(double latitude, double longitude, double heading, double a,
                 double inverseFlattening, qint32 across, qint32 along,
                 double *newLatitude, double *newLongitude);

// offsetLatLon in two steps, for many offsets from one latitude and heading:
// the constructor forms what depends on latitude and heading only, apply()
// the rest. Same expressions in the same order, so the results are
// bit-identical to offsetLatLon's.
struct LatLonOffsetFactors {
    double cosHeading = 1.0;
    double sinHeading = 0.0;
    double latitudeScale = 0.0;  // degrees of latitude per centimetre north
    double longitudeScale = 0.0; // degrees of longitude per centimetre east

    LatLonOffsetFactors() = default;
    LatLonOffsetFactors(double latitude, double heading, double a, double inverseFlattening);

    void apply(double latitude, double longitude, qint32 across, qint32 along,
               double *newLatitude, double *newLongitude) const
    {
        const double alongCm = along;
        const double acrossCm = across;
        const double north = alongCm * cosHeading - acrossCm * sinHeading;
        const double east = alongCm * sinHeading + acrossCm * cosHeading;
        *newLatitude = latitude + latitudeScale * north;
        *newLongitude = longitude + longitudeScale * east;
    }
};

// The nearest int32 to the value.
inline qint32 clampToInt32(qint64 value)
{
    return qint32(qBound<qint64>(std::numeric_limits<qint32>::min(), value,
                                 std::numeric_limits<qint32>::max()));
}

// Truncation toward zero to int32; NaN gives 0 and values beyond the range
// give its nearest end.
inline qint32 truncateToInt32(double value)
{
    // The open interval holds every value that truncates into the range.
    if (value > -2147483649.0 && value < 2147483648.0)
        return qint32(value);
    if (value != value) // NaN
        return 0;
    return value > 0 ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint32>::min();
}
