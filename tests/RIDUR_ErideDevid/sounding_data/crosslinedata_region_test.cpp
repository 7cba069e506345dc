#include "nexra_test_files.h"

#include "debug_capture.h"
#include "log_capture.h"

#include <QSignalSpy>
#include <QThread>

using namespace fixture;

namespace {

// Soundings of one ping at latitude 10.005, longitude 20.0, with reference
// level 0.5 and ellipsoid height 40. Positions (cs2cs, see nexra_test_files.h):
//   k0 ( 0,      0     ) easting 222638981.586547 northing 111203662.088781  inside
//   k1 ( 0,      0.0004) easting 222643434.366066                            inside
//   k2 ( 0,     -0.0004) easting 222634528.807028                            inside
//   k3 ( 0,      0.0005) about 55.7 m east of the line                       outside
//   k4 ( 0.001,  0.0002) easting 222641207.976307 northing 111214892.555097  inside
//   k5 ( 0.006,  0     ) north of the end edge                               outside
// The corridor runs from easting 222633981 to 222643981.
nexra::MrzPingRecord surveyPing()
{
    nexra::MrzPingRecord p;
    p.timeSec = 1600000000;
    p.timeNanosec = 999999999;
    p.rxIndex = 1;
    p.rxCount = 2;
    p.heading = 12.25f;
    p.referenceLevel = 0.5f;
    p.latitude = pingLatitude;
    p.longitude = pingLongitude;
    p.ellipsoidHeight = 40.0f;
    p.soundings << sounding(0.0f, 0.0f) << sounding(0.0f, 0.0004f) << sounding(0.0f, -0.0004f)
                << sounding(0.0f, 0.0005f) << sounding(0.001f, 0.0002f) << sounding(0.006f, 0.0f);
    return p;
}

struct Expected {
    int beam;
    double easting, northing;
    float distanceX, distanceY; // metres from the start edge and the first long side
};

const Expected expectedKept[] = {
    {0, 222638981.586547, 111203662.088781, 561.52088781f, 50.00586547f},
    {1, 222643434.366066, 111203662.088781, 561.52088781f, 94.53366066f},
    {2, 222634528.807028, 111203662.088781, 561.52088781f, 5.47807028f},
    {4, 222641207.976307, 111214892.555097, 673.82555097f, 72.26976307f},
};

} // namespace

class RegionSoundings : public CorridorLoadTest
{
protected:
    QString surveyFile()
    {
        return write("line.nexra", {iip(), nexra::makePositionDatagram(1600000000, 0, 10.0, 20.0),
                                    nexra::makeMrzDatagram(surveyPing())});
    }
};

TEST_F(RegionSoundings, KeepsSoundingsInsideTheCorridor)
{
    DebugCapture dbg;
    const QList<SoundingData> kept = load(surveyFile());
    EXPECT_TRUE(dbg.lines().contains("6 4")) << dbg.lines().join('\n').toStdString();

    ASSERT_EQ(kept.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const Expected &e = expectedKept[i];
        const SoundingData &s = kept.at(i);
        const nexra::MrzSoundingRecord raw = surveyPing().soundings.at(e.beam);
        SCOPED_TRACE(e.beam);
        EXPECT_EQ(s.beamIndex, e.beam);
        EXPECT_NEAR(s.easting, e.easting, 1e-3);
        EXPECT_NEAR(s.northing, e.northing, 1e-3);
        EXPECT_EQ(s.depth, 25.0f);
        EXPECT_EQ(s.ellipsoidDepth, -14.5);
        EXPECT_EQ(s.timeMs, 1600000000999LL);
        EXPECT_EQ(s.twoWayTime, raw.twoWayTime);
        EXPECT_EQ(s.across, raw.y);
        EXPECT_EQ(s.along, raw.x);
        EXPECT_EQ(s.heading, 12.25f);
        EXPECT_EQ(s.latitude, pingLatitude); // the ping's, not the sounding's
        EXPECT_EQ(s.longitude, pingLongitude);
        EXPECT_EQ(s.rxIndex, 1);
        EXPECT_EQ(s.distanceX, 0.0f);
        EXPECT_EQ(s.distanceY, 0.0f);
        EXPECT_EQ(s.qualityFactor, 0);
        EXPECT_EQ(s.reflectivity, 0);
        EXPECT_EQ(s.sampleCount, 0);
        EXPECT_EQ(s.beamAngleAdjustment, 0);
        EXPECT_EQ(s.detectionInfo, 0);
        EXPECT_EQ(s.soundingFlag, 0);
        EXPECT_EQ(s.txDepth, 0.0f);
    }
    EXPECT_EQ(data.rxHeadCount, 2);
}

TEST_F(RegionSoundings, CorridorDistancesOfKeptSoundings)
{
    const QString file = surveyFile();
    load(file);
    LogCapture cap("CrossLineData");
    data.loadCorridorData();
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL, "getCorridorDepths 222633981 111147510 222633981 111259814"));
    const QList<SoundingData> &corridor = data.corridorDepths(file);
    ASSERT_EQ(corridor.size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(corridor.at(i).distanceX, expectedKept[i].distanceX, 1e-4);
        EXPECT_NEAR(corridor.at(i).distanceY, expectedKept[i].distanceY, 1e-4);
        EXPECT_EQ(corridor.at(i).beamIndex, expectedKept[i].beam);
        EXPECT_EQ(corridor.at(i).easting, CrossLineDataInspector::regionSoundings(data).value(file).at(i).easting);
    }
}

TEST_F(RegionSoundings, SecondLoadReplacesTheList)
{
    const QString file = surveyFile();
    load(file);
    const QList<SoundingData> again = load(file);
    EXPECT_EQ(again.size(), 4);
}

TEST_F(RegionSoundings, AllOutsideGivesEmptyList)
{
    nexra::MrzPingRecord p = surveyPing();
    p.longitude = 20.01;
    DebugCapture dbg;
    const QString file = write("outside.nexra", {iip(), nexra::makeMrzDatagram(p), nexra::makeMrzDatagram(p)});
    EXPECT_TRUE(load(file).isEmpty());
    EXPECT_TRUE(CrossLineDataInspector::regionSoundings(data).contains(file));
    EXPECT_TRUE(dbg.lines().contains("12 0"));
}

TEST_F(RegionSoundings, PingWithoutSoundingsSetsHeadCount)
{
    nexra::MrzPingRecord empty = surveyPing();
    empty.soundings.clear();
    empty.rxCount = 3;
    load(write("heads.nexra", {iip(), nexra::makeMrzDatagram(surveyPing()), nexra::makeMrzDatagram(empty)}));
    EXPECT_EQ(data.rxHeadCount, 3);
}

struct EllipsoidCase {
    const char *name;
    const char *value; // null: unset
    bool inverted;
};

class EllipsoidSign : public ::testing::TestWithParam<EllipsoidCase> {};

TEST_P(EllipsoidSign, ReadOnceFromEnvironment)
{
    const EllipsoidCase &c = GetParam();
    if (c.value)
        qputenv("GRID_INV_ELLIPS", c.value);
    else
        qunsetenv("GRID_INV_ELLIPS");
    QTemporaryDir dir;
    CrossLineData data;
    qunsetenv("GRID_INV_ELLIPS"); // read by the constructor only
    EXPECT_EQ(CrossLineDataInspector::invertEllipsoidDepth(data), c.inverted);

    data.setProjectionFile(writeProjectionDefinition(dir));
    data.setCrossLine(lineX, lineStartY, lineX, lineEndY);
    data.setCorridorWidth(width);
    const QString file = dir.filePath("line.nexra");
    ASSERT_TRUE(nexra::writeFile(file, {iip(), nexra::makeMrzDatagram(surveyPing())}));
    data.addRawFile(file);
    data.generateRegionData();
    const QList<SoundingData> kept = CrossLineDataInspector::regionSoundings(data).value(file);
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(kept.first().ellipsoidDepth, c.inverted ? 14.5 : -14.5);
}

INSTANTIATE_TEST_SUITE_P(Values, EllipsoidSign,
                         ::testing::Values(EllipsoidCase{"one", "1", true}, EllipsoidCase{"zero", "0", false},
                                           EllipsoidCase{"two", "2", false}, EllipsoidCase{"text", "yes", false},
                                           EllipsoidCase{"unset", nullptr, false}),
                         [](const ::testing::TestParamInfo<EllipsoidCase> &info) { return std::string(info.param.name); });

// The load in the data thread, as the window runs it.
TEST(ThreadedRegionLoad, KeepsSoundingsAndAnswers)
{
    QTemporaryDir dir;
    auto *data = new CrossLineData;
    data->setProjectionFile(writeProjectionDefinition(dir));
    data->setCrossLine(lineX, lineStartY, lineX, lineEndY);
    data->setCorridorWidth(width);
    const QString file = dir.filePath("line.nexra");
    ASSERT_TRUE(nexra::writeFile(file, {iip(), nexra::makeMrzDatagram(surveyPing()), nexra::makeMrzDatagram(surveyPing())}));
    data->addRawFile(file);

    QThread thread;
    data->moveToThread(&thread);
    thread.start();
    ASSERT_TRUE(loadInDataThread(data));
    thread.quit();
    thread.wait();

    data->loadCorridorData();
    EXPECT_EQ(data->corridorDepths(file).size(), 8);
    EXPECT_NEAR(data->corridorDepths(file).at(4).distanceY, expectedKept[0].distanceY, 1e-4);
    delete data;
}
