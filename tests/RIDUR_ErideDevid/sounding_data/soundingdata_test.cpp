#include "soundingdata.h"

#include <QList>
#include <gtest/gtest.h>

TEST(SoundingData, DefaultRecordIsAllZero)
{
    const SoundingData s;
    EXPECT_EQ(s.beamIndex, 0);
    EXPECT_EQ(s.depth, 0.0f);
    EXPECT_EQ(s.distanceX, 0.0f);
    EXPECT_EQ(s.distanceY, 0.0f);
    EXPECT_EQ(s.across, 0.0f);
    EXPECT_EQ(s.along, 0.0f);
    EXPECT_EQ(s.qualityFactor, 0);
    EXPECT_EQ(s.reflectivity, 0);
    EXPECT_EQ(s.sampleCount, 0);
    EXPECT_EQ(s.beamAngleAdjustment, 0);
    EXPECT_EQ(s.detectionInfo, 0);
    EXPECT_EQ(s.soundingFlag, 0);
    EXPECT_EQ(s.timeMs, 0);
    EXPECT_EQ(s.twoWayTime, 0.0f);
    EXPECT_EQ(s.txDepth, 0.0f);
    EXPECT_EQ(s.northing, 0.0);
    EXPECT_EQ(s.easting, 0.0);
    EXPECT_EQ(s.heading, 0.0f);
    EXPECT_EQ(s.latitude, 0.0);
    EXPECT_EQ(s.longitude, 0.0);
    EXPECT_EQ(s.rxIndex, 0);
    EXPECT_EQ(s.ellipsoidDepth, 0.0);
}

TEST(SoundingData, CopiesAreIndependent)
{
    QList<SoundingData> first;
    SoundingData s;
    s.depth = 12.5f;
    s.timeMs = 1600000000123;
    first << s;
    QList<SoundingData> second = first;
    second[0].depth = 99.0f;
    second[0].timeMs = 1;
    EXPECT_EQ(first[0].depth, 12.5f);
    EXPECT_EQ(first[0].timeMs, 1600000000123);
}
