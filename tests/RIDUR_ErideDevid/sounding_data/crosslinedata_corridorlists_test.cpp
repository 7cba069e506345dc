#include "crosslinedata_test_support.h"

#include "log_capture.h"

namespace {

SoundingData at(double easting, double northing, int beam = 0)
{
    SoundingData s;
    s.beamIndex = beam;
    s.easting = easting;
    s.northing = northing;
    s.depth = 30.0f;
    return s;
}

} // namespace

// Cross line (0, 0) to (0, 100000), 2 m wide: P0 (-100, 0), P1 (100, 0), P3 (-100, 100000).
class CorridorLists : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.setCrossLine(0, 0, 0, 100000);
        data.setCorridorWidth(2.0f);
        data.addRawFile(file);
        data.addRawFile(emptyFile);
        CrossLineDataInspector::setNexraFile(data, true);
        CrossLineDataInspector::regionSoundings(data)[file] = region;
    }

    const QString file = QStringLiteral("/data/a.nexra");
    const QString emptyFile = QStringLiteral("/data/b.nexra");
    const QList<SoundingData> region{at(50, 30000, 0), at(0, 2500, 1), at(-100, 0, 2),
                                     at(-100 + 5e-5, 64000, 3)};
    CrossLineData data;
};

TEST_F(CorridorLists, DistancesToStartEdgeAndFirstSide)
{
    LogCapture cap("CrossLineData");
    data.loadCorridorData();
    const QList<SoundingData> &corridor = data.corridorDepths(file);
    ASSERT_EQ(corridor.size(), 4);
    struct { float x, y; } expected[] = {{300.0f, 1.5f}, {25.0f, 1.0f}, {0.0f, 0.0f}, {640.0f, 0.0f}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(corridor.at(i).distanceX, expected[i].x);
        EXPECT_EQ(corridor.at(i).distanceY, expected[i].y);
        EXPECT_EQ(corridor.at(i).beamIndex, i);
        EXPECT_EQ(corridor.at(i).depth, 30.0f);
    }
    EXPECT_TRUE(data.corridorDepths(emptyFile).isEmpty());
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL, "getCorridorDepths -100 0 -100 100000"));
    EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL).filter("TIMING : CrossLineData::loadCorridorData() = ").size(), 1);
    // The region records stay as loaded.
    EXPECT_EQ(CrossLineDataInspector::regionSoundings(data).value(file).first().distanceX, 0.0f);
}

TEST_F(CorridorLists, RebuildingGivesTheSameLists)
{
    data.loadCorridorData();
    const QList<SoundingData> first = data.corridorDepths(file);
    data.loadCorridorData();
    const QList<SoundingData> &second = data.corridorDepths(file);
    ASSERT_EQ(second.size(), first.size());
    for (int i = 0; i < first.size(); ++i)
        EXPECT_EQ(second.at(i).distanceX, first.at(i).distanceX);
}

TEST_F(CorridorLists, WithoutNexraDataNothingChanges)
{
    CrossLineDataInspector::setNexraFile(data, false);
    data.loadCorridorData();
    EXPECT_TRUE(data.corridorDepths(file).isEmpty());
}

TEST(CorridorListsNoFiles, OnlyTheRawFileRecord)
{
    CrossLineData data;
    LogCapture cap("CrossLineData");
    data.loadCorridorData();
    ASSERT_EQ(cap.records().size(), 1);
    EXPECT_EQ(cap.records().first().level, log4cplus::INFO_LOG_LEVEL);
    EXPECT_EQ(cap.records().first().message, "getRawFiles: files ");
}

TEST(CorridorListsNoFiles, LineStartValueIsZero)
{
    CrossLineData data;
    EXPECT_EQ(data.lineStartValue(QString()), 0.0);
    EXPECT_EQ(data.lineStartValue("/data/unknown.nexra"), 0.0);
}
