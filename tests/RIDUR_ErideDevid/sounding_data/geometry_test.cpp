#include "geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::unique_ptr<SegmentArray> segments(double x1, double y1, double x2, double y2,
                                       double x3, double y3, double x4, double y4)
{
    std::unique_ptr<SegmentArray> s = newSegmentArray(2);
    const double v[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    std::copy(v, v + 8, s->values.get());
    return s;
}

std::unique_ptr<PointArray> polygon(std::initializer_list<double> xy)
{
    std::unique_ptr<PointArray> p = newPointArray(qint32(xy.size() / 2));
    std::copy(xy.begin(), xy.end(), p->values.get());
    return p;
}

} // namespace

TEST(GeometrySets, CountsAndZeroFill)
{
    EXPECT_EQ(newPointArray(0), nullptr);
    EXPECT_EQ(newPointArray(-3), nullptr);
    EXPECT_EQ(newSegmentArray(-1), nullptr);
    EXPECT_EQ(newSegmentArray(0), nullptr);

    const std::unique_ptr<PointArray> points = newPointArray(3);
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(points->count, 3);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(points->values[i], 0.0);

    const std::unique_ptr<SegmentArray> segs = newSegmentArray(2);
    ASSERT_NE(segs, nullptr);
    EXPECT_EQ(segs->count, 2);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(segs->values[i], 0.0);
}

struct IntersectionCase {
    const char *name;
    double a[4];
    double b[4];
    bool intersects;
};

class SegmentIntersectionTable : public ::testing::TestWithParam<IntersectionCase> {};

TEST_P(SegmentIntersectionTable, Result)
{
    const IntersectionCase &c = GetParam();
    const auto s = segments(c.a[0], c.a[1], c.a[2], c.a[3], c.b[0], c.b[1], c.b[2], c.b[3]);
    EXPECT_EQ(segmentIntersection(*s), c.intersects) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentIntersectionTable,
    ::testing::Values(
        IntersectionCase{"crossingDiagonals", {0, 0, 10, 10}, {0, 10, 10, 0}, true},
        IntersectionCase{"touchAtEndPoint", {0, 0, 10, 10}, {10, 10, 20, 0}, true},
        IntersectionCase{"slopedApart", {0, 0, 10, 10}, {20, 0, 30, -10}, false},
        IntersectionCase{"horizontalMeetsVertical", {0, 5, 10, 5}, {3, 0, 3, 10}, true},
        IntersectionCase{"horizontalMissesVertical", {0, 5, 2, 5}, {3, 0, 3, 10}, false},
        IntersectionCase{"verticalMeetsHorizontal", {3, 0, 3, 10}, {0, 5, 10, 5}, true},
        IntersectionCase{"collinearHorizontal", {0, 0, 10, 0}, {5, 0, 15, 0}, false},
        IntersectionCase{"collinearVertical", {0, 0, 0, 10}, {0, 5, 0, 15}, false},
        // Slopes 1 and 0.999998: taken as parallel, though the lines cross at (5, 5).
        IntersectionCase{"nearlyParallelSloped", {0, 0, 10, 10}, {0, 1e-5, 10, 9.99999}, false},
        IntersectionCase{"tinySegmentCountsHorizontal", {5, 5, 5 + 1e-7, 5 + 1e-7}, {5, 0, 5, 10}, true},
        IntersectionCase{"verticalAndSloped", {5, 0, 5, 10}, {0, 0, 10, 10}, true},
        IntersectionCase{"slopedAndHorizontal", {0, 0, 10, 10}, {0, 4, 10, 4}, true},
        IntersectionCase{"horizontalAndSlopedMiss", {0, 20, 10, 20}, {0, 0, 10, 10}, false}),
    [](const ::testing::TestParamInfo<IntersectionCase> &info) { return std::string(info.param.name); });

TEST(GeometryIntersection, HorizontalVerticalCandidateUsesSecondEnds)
{
    // The candidate is (x4, y2): the vertical segment's second x, the
    // horizontal segment's second y; an inexact vertical moves the point.
    auto s = segments(0, 5, 10, 5 + 5e-7, 3, 0, 3 + 5e-7, 10);
    EXPECT_TRUE(segmentIntersection(*s));
    s = segments(0, 5, 10, 5 + 5e-7, 10 + 5e-7, 0, 10 + 5e-7, 10);
    EXPECT_FALSE(segmentIntersection(*s)); // x4 just beyond A's box
}

TEST(GeometryDistance, PointToLine)
{
    EXPECT_EQ(distancePointToLine(0, 0, 10, 10, 5, 5), 0.0);
    EXPECT_NEAR(distancePointToLine(0, 0, 10, 10, 0, 10), std::sqrt(50.0), 1e-12);
    // Beyond the two points: distance to the infinite line.
    EXPECT_NEAR(distancePointToLine(0, 0, 10, 10, 100, 80), std::sqrt(200.0), 1e-9);
    EXPECT_EQ(distancePointToLine(3, 0, 3, 10, -2, 100), 5.0);
    EXPECT_EQ(distancePointToLine(3, 0, 3, 10, 3 + 5e-5, 100), 0.0);
    EXPECT_EQ(distancePointToLine(0, 2, 10, 2, 7, -1), 3.0);
    EXPECT_EQ(distancePointToLine(0, 2, 10, 2, 7, 2 - 5e-5), 0.0);
    // Slope below 1e-4 counts as horizontal: |py - y2|.
    EXPECT_EQ(distancePointToLine(0, 0, 100000, 5, 0, 10), 5.0);
    EXPECT_GE(distancePointToLine(0, 0, 3, -7, -20, 1), 0.0);
}

TEST(GeometryPolygon, InsideOutsideAndVertices)
{
    const auto square = polygon({0, 0, 10, 0, 10, 10, 0, 10});
    auto scratch = newSegmentArray(2);
    EXPECT_EQ(pointInPolygon(*square, 5, 5, *scratch), 1);
    EXPECT_EQ(scratch->count, 2);
    EXPECT_EQ(pointInPolygon(*square, 10, 10, *scratch), 1); // a vertex
    EXPECT_EQ(pointInPolygon(*square, 0, 0, *scratch), 1);
    EXPECT_EQ(pointInPolygon(*square, std::nextafter(10.0, 11.0), 5, *scratch), 0);
    EXPECT_EQ(pointInPolygon(*square, 5, std::nextafter(0.0, -1.0), *scratch), 0);
    EXPECT_EQ(pointInPolygon(*square, 15, 5, *scratch), 0);

    // Left and right vertices share the test point's y: slanted ray.
    const auto diamond = polygon({0, 5, 5, 0, 10, 5, 5, 10});
    EXPECT_EQ(pointInPolygon(*diamond, 5, 5, *scratch), 1);
    EXPECT_EQ(pointInPolygon(*diamond, 1, 1, *scratch), 0);

    // A rotated rectangle in the order the corridor gives it.
    const auto corridor = polygon({-328, 457, 528, -57, 828, 442, -28, 957});
    EXPECT_EQ(pointInPolygon(*corridor, 250, 450, *scratch), 1);
    EXPECT_EQ(pointInPolygon(*corridor, 700, 0, *scratch), 0);
}

TEST(GeometryOffset, WorkedExamples)
{
    const double a = 6378137.0;
    const double inverseFlattening = 298.257223563;
    const double f = 1.0 / inverseFlattening;
    const double e2 = (2.0 - f) * f;
    const double northStep = 57.29577951308232 / ((1.0 - e2) * a); // 100 cm at the equator
    const double eastStep = 57.29577951308232 / a;
    EXPECT_NEAR(northStep, 9.0436948e-6, 1e-13);
    EXPECT_NEAR(eastStep, 8.9831528e-6, 1e-13);

    double lat = 1, lon = 1;
    EXPECT_EQ(offsetLatLon(12.5, -3.25, 0.7, a, inverseFlattening, 0, 0, &lat, &lon), 0);
    EXPECT_EQ(lat, 12.5);
    EXPECT_EQ(lon, -3.25);

    offsetLatLon(0, 0, 0, a, inverseFlattening, 0, 100, &lat, &lon);
    EXPECT_NEAR(lat, northStep, 1e-18);
    EXPECT_EQ(lon, 0.0);
    offsetLatLon(0, 0, 0, a, inverseFlattening, 100, 0, &lat, &lon);
    EXPECT_EQ(lat, 0.0);
    EXPECT_NEAR(lon, eastStep, 1e-18);

    const double east = M_PI / 2;
    offsetLatLon(0, 0, east, a, inverseFlattening, 0, 100, &lat, &lon);
    EXPECT_NEAR(lat, 0.0, 1e-20);
    EXPECT_NEAR(lon, eastStep, 1e-18);
    offsetLatLon(0, 0, east, a, inverseFlattening, 100, 0, &lat, &lon);
    EXPECT_NEAR(lat, -northStep, 1e-18);
    EXPECT_NEAR(lon, 0.0, 1e-20);
}

TEST(GeometryTruncation, TowardZeroAndClamped)
{
    EXPECT_EQ(truncateToInt32(-70.71), -70);
    EXPECT_EQ(truncateToInt32(70.99), 70);
    EXPECT_EQ(truncateToInt32(std::nan("")), 0);
    EXPECT_EQ(truncateToInt32(1e12), 2147483647);
    EXPECT_EQ(truncateToInt32(-1e12), -2147483647 - 1);
}
