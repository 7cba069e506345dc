#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

constexpr double kVerticalSlope = 9999999.0;
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

template <typename Set>
std::unique_ptr<Set> newSet(qint32 n, int valuesPerItem)
{
    if (n <= 0)
        return nullptr;
    std::unique_ptr<Set> set(new (std::nothrow) Set);
    if (!set)
        return nullptr;
    const size_t size = size_t(n) * size_t(valuesPerItem);
    set->values.reset(new (std::nothrow) double[size]());
    if (!set->values)
        return nullptr;
    set->count = n;
    return set;
}

enum class SegmentKind { Horizontal, Vertical, Sloped };

SegmentKind classify(double x1, double y1, double x2, double y2)
{
    if (std::fabs(y2 - y1) < 1e-6)
        return SegmentKind::Horizontal;
    if (std::fabs(x2 - x1) < 1e-6)
        return SegmentKind::Vertical;
    return SegmentKind::Sloped;
}

double slope(SegmentKind kind, double x1, double y1, double x2, double y2)
{
    switch (kind) {
    case SegmentKind::Horizontal:
        return 0.0;
    case SegmentKind::Vertical:
        return kVerticalSlope;
    case SegmentKind::Sloped:
        break;
    }
    return (y2 - y1) / (x2 - x1);
}

bool within(double v, double a, double b)
{
    return std::min(a, b) <= v && v <= std::max(a, b);
}

} // namespace

std::unique_ptr<PointArray> newPointArray(qint32 n)
{
    return newSet<PointArray>(n, 2);
}

std::unique_ptr<SegmentArray> newSegmentArray(qint32 n)
{
    return newSet<SegmentArray>(n, 4);
}

bool segmentIntersection(const SegmentArray &segments)
{
    if (segments.count < 2 || !segments.values)
        return false;
    const double *v = segments.values.get();
    const double x1 = v[0], y1 = v[1], x2 = v[2], y2 = v[3];
    const double x3 = v[4], y3 = v[5], x4 = v[6], y4 = v[7];

    const SegmentKind kindA = classify(x1, y1, x2, y2);
    const SegmentKind kindB = classify(x3, y3, x4, y4);
    if (kindA == kindB && kindA != SegmentKind::Sloped)
        return false;

    double x = 0.0;
    double y = 0.0;
    if (kindA == SegmentKind::Horizontal && kindB == SegmentKind::Vertical) {
        x = x4;
        y = y2;
    } else if (kindA == SegmentKind::Vertical && kindB == SegmentKind::Horizontal) {
        x = x2;
        y = y4;
    } else {
        const double kA = slope(kindA, x1, y1, x2, y2);
        const double kB = slope(kindB, x3, y3, x4, y4);
        if (std::fabs(kA - kB) < 1e-5)
            return false;
        if (kindA == SegmentKind::Vertical) {
            x = x2;
            y = y4 - kB * x4 + kB * x2;
        } else if (kindB == SegmentKind::Vertical) {
            x = x4;
            y = y2 - kA * x2 + kA * x4;
        } else if (kindA == SegmentKind::Horizontal) {
            y = y2;
            x = (y2 - (y4 - kB * x4)) / kB;
        } else if (kindB == SegmentKind::Horizontal) {
            y = y4;
            x = (y4 - (y2 - kA * x2)) / kA;
        } else {
            const double bA = y2 - kA * x2;
            const double bB = y4 - kB * x4;
            x = (bB - bA) / (kA - kB);
            y = kA * x + bA;
        }
    }
    return within(x, x1, x2) && within(x, x3, x4) && within(y, y1, y2) && within(y, y3, y4);
}

double distancePointToLine(double x1, double y1, double x2, double y2, double px, double py)
{
    if (std::fabs(x2 - x1) < 1e-4) {
        const double d = std::fabs(px - x2);
        return d < 1e-4 ? 0.0 : d;
    }
    const double k = (y2 - y1) / (x2 - x1);
    if (std::fabs(k) < 1e-4) {
        const double d = std::fabs(py - y2);
        return d < 1e-4 ? 0.0 : d;
    }
    const double b = y2 - k * x2;
    const double m = -1.0 / k;
    const double c = py - m * px;
    const double fx = (b - c) / (m - k);
    const double fy = k * fx + b;
    const double ax = std::fabs(px - fx);
    const double ay = std::fabs(py - fy);
    if (ax < 1e-4)
        return ay;
    if (ay < 1e-4)
        return ax;
    const double q = ay / ax;
    return ax * std::sqrt(q * q + 1.0);
}

PolygonBounds polygonBounds(const PointArray &polygon)
{
    const qint32 n = polygon.count;
    if (n <= 0 || !polygon.values) {
        const double inf = std::numeric_limits<double>::infinity();
        return {inf, -inf, inf, -inf};
    }
    const double *p = polygon.values.get();
    PolygonBounds box{p[0], p[0], p[1], p[1]};
    for (qint32 i = 0; i < n; ++i) {
        box.minX = std::min(box.minX, p[2 * i]);
        box.maxX = std::max(box.maxX, p[2 * i]);
        box.minY = std::min(box.minY, p[2 * i + 1]);
        box.maxY = std::max(box.maxY, p[2 * i + 1]);
    }
    return box;
}

int pointInPolygon(const PointArray &polygon, double x, double y, SegmentArray &scratch)
{
    const qint32 n = polygon.count;
    if (n <= 0 || !polygon.values || scratch.count < 2 || !scratch.values)
        return 0;
    const double *p = polygon.values.get();

    const PolygonBounds box = polygonBounds(polygon);
    if (!box.contains(x, y))
        return 0;

    bool vertexOnRayY = false;
    for (qint32 i = 0; i < n; ++i) {
        if (p[2 * i] == x && p[2 * i + 1] == y)
            return 1;
        if (p[2 * i + 1] == y)
            vertexOnRayY = true;
    }

    // The ray is segment B; a vertex on the ray's line makes it slanted.
    double *s = scratch.values.get();
    scratch.count = 2;
    s[4] = x;
    s[5] = y;
    s[6] = box.maxX + 1.0;
    s[7] = vertexOnRayY ? box.maxY + 1.0 : y;

    int crossings = 0;
    auto countEdge = [&](qint32 from, qint32 to) {
        s[0] = p[2 * from];
        s[1] = p[2 * from + 1];
        s[2] = p[2 * to];
        s[3] = p[2 * to + 1];
        if (segmentIntersection(scratch))
            ++crossings;
    };
    for (qint32 i = 0; i + 1 < n; ++i)
        countEdge(i, i + 1);
    countEdge(0, n - 1);
    return (crossings % 2) == 1 ? 1 : 0;
}

int offsetLatLon(double latitude, double longitude, double heading, double a,
                 double inverseFlattening, qint32 across, qint32 along,
                 double *newLatitude, double *newLongitude)
{
    const double f = 1.0 / inverseFlattening;
    const double e2 = (2.0 - f) * f;
    const double phi = latitude * kDegToRad;
    const double sinPhi = std::sin(phi);
    const double w = 1.0 - e2 * sinPhi * sinPhi;
    const double k = kRadToDeg * 0.01;
    const double cosH = std::cos(heading);
    const double sinH = std::sin(heading);
    const double alongCm = along;
    const double acrossCm = across;

    const double north = alongCm * cosH - acrossCm * sinH;
    const double east = alongCm * sinH + acrossCm * cosH;
    if (newLatitude)
        *newLatitude = latitude + std::sqrt(w * w * w) * k / ((1.0 - e2) * a) * north;
    if (newLongitude)
        *newLongitude = longitude + std::sqrt(w) * k / (std::cos(phi) * a) * east;
    return 0;
}

LatLonOffsetFactors::LatLonOffsetFactors(double latitude, double heading, double a,
                                         double inverseFlattening)
{
    const double f = 1.0 / inverseFlattening;
    const double e2 = (2.0 - f) * f;
    const double phi = latitude * kDegToRad;
    const double sinPhi = std::sin(phi);
    const double w = 1.0 - e2 * sinPhi * sinPhi;
    const double k = kRadToDeg * 0.01;
    cosHeading = std::cos(heading);
    sinHeading = std::sin(heading);
    latitudeScale = std::sqrt(w * w * w) * k / ((1.0 - e2) * a);
    longitudeScale = std::sqrt(w) * k / (std::cos(phi) * a);
}
