// LatLonOffsetFactors, formed once per latitude and heading, must place every
// offset on exactly the bits that offsetLatLon gives.
#include "geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kA = 6378137.0;
constexpr double kInverseFlattening = 298.257223563;

std::uint64_t bits(double value)
{
    std::uint64_t out;
    std::memcpy(&out, &value, sizeof out);
    return out;
}

TEST(LatLonOffsetFactors, BitIdenticalToOffsetLatLon)
{
    const double latitudes[] = {0.0, -0.0, 12.5, -33.75, 60.0, 78.25, -85.0, 89.9, 89.999999};
    const double longitudes[] = {0.0, 5.0, -179.99, 180.0};
    // Headings in radians, among them the float-rounded values the
    // recalculation passes.
    const double headings[] = {0.0,
                               -0.0,
                               M_PI / 2,
                               -M_PI / 2,
                               M_PI,
                               -M_PI,
                               double(float(M_PI / 2)),
                               double(float(359.99 * 0.017453292519943295)),
                               0.7,
                               -2.2};
    const struct {
        qint32 across, along;
    } offsets[] = {{0, 0},       {100, 0},      {0, 100},         {-174, 0},
                   {4825, -174}, {-30000, 513}, {123456, -98765}, {2147483647, -2147483647 - 1}};

    for (double latitude : latitudes) {
        for (double heading : headings) {
            const LatLonOffsetFactors factors(latitude, heading, kA, kInverseFlattening);
            for (double longitude : longitudes) {
                for (const auto &o : offsets) {
                    SCOPED_TRACE(testing::Message() << "latitude " << latitude << " heading " << heading
                                                    << " longitude " << longitude << " across " << o.across
                                                    << " along " << o.along);
                    double expectedLatitude = 0, expectedLongitude = 0;
                    offsetLatLon(latitude, longitude, heading, kA, kInverseFlattening, o.across, o.along,
                                 &expectedLatitude, &expectedLongitude);
                    double latitudeOut = 1, longitudeOut = 1;
                    factors.apply(latitude, longitude, o.across, o.along, &latitudeOut, &longitudeOut);
                    EXPECT_EQ(bits(latitudeOut), bits(expectedLatitude));
                    EXPECT_EQ(bits(longitudeOut), bits(expectedLongitude));
                }
            }
        }
    }
}

} // namespace
