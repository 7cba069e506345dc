// Recalculation of single soundings (the worked numbers and the thresholds)
// and of whole corridor lists.
#include "nexra_test_files.h"

#include "cprojection.h"
#include "geometry.h"
#include "log_capture.h"

#include <QSignalSpy>

#include <cmath>
#include <ostream>

using namespace fixture;

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Every field of two records, bit for bit where floats are concerned.
void expectSameRecord(const SoundingData &a, const SoundingData &b)
{
    EXPECT_EQ(a.beamIndex, b.beamIndex);
    EXPECT_EQ(a.depth, b.depth);
    EXPECT_EQ(a.distanceX, b.distanceX);
    EXPECT_EQ(a.distanceY, b.distanceY);
    EXPECT_EQ(a.across, b.across);
    EXPECT_EQ(a.along, b.along);
    EXPECT_EQ(a.qualityFactor, b.qualityFactor);
    EXPECT_EQ(a.reflectivity, b.reflectivity);
    EXPECT_EQ(a.sampleCount, b.sampleCount);
    EXPECT_EQ(a.beamAngleAdjustment, b.beamAngleAdjustment);
    EXPECT_EQ(a.detectionInfo, b.detectionInfo);
    EXPECT_EQ(a.soundingFlag, b.soundingFlag);
    EXPECT_EQ(a.timeMs, b.timeMs);
    EXPECT_EQ(a.twoWayTime, b.twoWayTime);
    EXPECT_EQ(a.txDepth, b.txDepth);
    EXPECT_EQ(a.northing, b.northing);
    EXPECT_EQ(a.easting, b.easting);
    EXPECT_EQ(a.heading, b.heading);
    EXPECT_EQ(a.latitude, b.latitude);
    EXPECT_EQ(a.longitude, b.longitude);
    EXPECT_EQ(a.rxIndex, b.rxIndex);
    EXPECT_EQ(a.ellipsoidDepth, b.ellipsoidDepth);
}

void expectSameLists(const QList<SoundingData> &a, const QList<SoundingData> &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        expectSameRecord(a.at(i), b.at(i));
    }
}

// A record at latitude 60, longitude 5 whose projected position is a marker
// that no projection gives, so that a new projection shows.
SoundingData record(float depth, float across, float along, float heading = 0.0f)
{
    SoundingData s;
    s.beamIndex = 7;
    s.depth = depth;
    s.across = across;
    s.along = along;
    s.heading = heading;
    s.latitude = 60.0;
    s.longitude = 5.0;
    s.northing = -1.0;
    s.easting = -2.0;
    s.timeMs = 1600000000123;
    s.twoWayTime = 0.14f;
    s.rxIndex = 1;
    s.ellipsoidDepth = -41.5;
    return s;
}

// Where the recalculation must place a record: its ping position moved by
// whole centimetres along the heading (degrees), projected.
void expectedPosition(const SoundingData &s, float heading, qint32 acrossCm, qint32 alongCm,
                      double *northing, double *easting)
{
    double latitude = 0, longitude = 0;
    offsetLatLon(s.latitude, s.longitude, double(float(double(heading) * kDegToRad)), 6378137.0,
                 298.257223563, acrossCm, alongCm, &latitude, &longitude);
    CProjection::instance()->geographicToProjected(latitude, longitude, northing, easting);
}

struct SoundingCase {
    const char *name;
    float depth, across, along, heading; // the record
    double roll, pitch, headingDelta;    // degrees
    float newDepth, newAcross, newAlong;
    bool moved;                          // projected again
    qint32 acrossCm, alongCm;            // the offsets it is placed with
};

const SoundingCase soundingCases[] = {
    // The worked numbers; where eight digits do not single out the float,
    // nine are given (100.872665 prints as 100.87267 with eight).
    {"Roll1AtNadir", 100.0f, 0.0f, 0.0f, 0.0f, 1.0, 0.0, 0.0, 100.0f, -1.7453293f, 0.0f, true, -174, 0},
    {"Pitch1AtNadir", 100.0f, 0.0f, 0.0f, 0.0f, 0.0, 1.0, 0.0, 99.969536f, 0.0f, -1.7447976f, true, 0, -174},
    {"Roll1Across50", 100.0f, 50.0f, 0.0f, 0.0f, 1.0, 0.0, 0.0, 100.872665f, 48.2546692f, 0.0f, true, 4825, 0},
    // Roll acts on the port side with the same sign convention.
    {"Roll1Across50Port", 100.0f, -50.0f, 0.0f, 0.0f, 1.0, 0.0, 0.0, 99.1273346f, -51.7453308f, 0.0f, true, -5174, 0},
    // Below the thresholds nothing changes, not even the position.
    {"AllDeltasBelowThreshold", 100.0f, 50.0f, 3.0f, 30.0f, 0.009, 0.009, 0.009, 100.0f, 50.0f, 3.0f, false, 0, 0},
    {"FloatNearestTo0.01", 100.0f, 50.0f, 3.0f, 30.0f, double(0.01f), double(0.01f), double(0.01f),
     100.0f, 50.0f, 3.0f, false, 0, 0},
    // A heading delta alone places the sounding again, turned by the delta.
    {"Heading0.02Alone", 100.0f, 50.0f, 3.0f, 30.0f, 0.0, 0.0, 0.02, 100.0f, 50.0f, 3.0f, true, 5000, 300},
    // Passing the first threshold does not apply angles below 1e-4 radians.
    {"SmallRollWithHeading", 100.0f, 50.0f, 0.0f, 0.0f, 0.005, 0.005, 0.02, 100.0f, 50.0f, 0.0f, true, 5000, 0},
    // A sounding at the transducer stays there instead of turning NaN.
    {"RollAtTheTransducer", 0.0f, 0.0f, 0.0f, 0.0f, 1.0, 0.0, 0.0, 0.0f, 0.0f, 0.0f, true, 0, 0},
};

void PrintTo(const SoundingCase &c, std::ostream *os)
{
    *os << c.name;
}

} // namespace

class RecalculateSounding : public CrossLineDataTest, public ::testing::WithParamInterface<SoundingCase>
{
};

TEST_P(RecalculateSounding, MatchesToTheFloat)
{
    const SoundingCase &c = GetParam();
    const SoundingData loaded = record(c.depth, c.across, c.along, c.heading);
    SoundingData s = loaded;
    data.recalculateSounding(s, c.roll, c.pitch, c.headingDelta);

    EXPECT_EQ(s.depth, c.newDepth);
    EXPECT_EQ(s.across, c.newAcross);
    EXPECT_EQ(s.along, c.newAlong);
    if (c.moved) {
        double northing = 0, easting = 0;
        expectedPosition(loaded, float(double(c.heading) + c.headingDelta), c.acrossCm, c.alongCm,
                         &northing, &easting);
        EXPECT_EQ(s.northing, northing);
        EXPECT_EQ(s.easting, easting);
    } else {
        EXPECT_EQ(s.northing, loaded.northing);
        EXPECT_EQ(s.easting, loaded.easting);
    }

    // Everything else is copied unchanged.
    SoundingData rest = s;
    rest.depth = loaded.depth;
    rest.across = loaded.across;
    rest.along = loaded.along;
    rest.northing = loaded.northing;
    rest.easting = loaded.easting;
    expectSameRecord(rest, loaded);
}

INSTANTIATE_TEST_SUITE_P(Table, RecalculateSounding, ::testing::ValuesIn(soundingCases),
                         [](const ::testing::TestParamInfo<SoundingCase> &info) {
                             std::string name = info.param.name;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST_F(CrossLineDataTest, HeadingDeltaTurnsTheOffsetAboutThePing)
{
    // With a heading delta of 90 degrees a sounding 50 m to starboard of a
    // ship heading north lies where one 50 m astern of it would: 50 m south
    // of the ping (less the float rounding of the heading in radians).
    SoundingData north = record(40.0f, 50.0f, 0.0f, 0.0f);
    data.recalculateSounding(north, 0.0, 0.0, 90.0);
    double pingNorthing = 0, pingEasting = 0;
    CProjection::instance()->geographicToProjected(60.0, 5.0, &pingNorthing, &pingEasting);
    // Scale of the ellipsoidal Mercator projection at 60 degrees.
    const double f = 1.0 / 298.257223563;
    const double e2 = (2.0 - f) * f;
    const double phi = 60.0 * kDegToRad;
    const double scale = std::sqrt(1.0 - e2 * std::sin(phi) * std::sin(phi)) / std::cos(phi);
    EXPECT_NEAR(pingNorthing - north.northing, scale * 5000.0, 1.0);
    EXPECT_NEAR(north.easting, pingEasting, 1.0);
    EXPECT_EQ(north.depth, 40.0f);
    EXPECT_EQ(north.across, 50.0f);
}

// Whole passes over the corridor lists.
class Recalculation : public CorridorLoadTest
{
protected:
    void SetUp() override
    {
        CorridorLoadTest::SetUp();
        nexra::MrzPingRecord ping = insidePing(5);
        QList<QByteArray> datagrams{iip(), nexra::makeMrzDatagram(ping)};
        ping.timeSec += 1;
        ping.heading = 271.0f;
        datagrams << nexra::makeMrzDatagram(ping);
        first = write("first.nexra", datagrams);
        second = write("second.nexra", {iip(), mrz(3)});
        data.addRawFile(first);
        data.addRawFile(second);
        data.generateRegionData();
        data.loadCorridorData();
        loadedFirst = data.corridorDepths(first);
        loadedSecond = data.corridorDepths(second);
        regionFirst = CrossLineDataInspector::regionSoundings(data).value(first);
        ASSERT_EQ(loadedFirst.size(), 10);
        ASSERT_EQ(loadedSecond.size(), 3);
    }

    void recalculate(float roll, float pitch, float heading)
    {
        data.setAttitudeCorrections(roll, pitch, heading, 0);
        data.recalculatedDepths();
    }

    QString first, second;
    QList<SoundingData> loadedFirst, loadedSecond, regionFirst;
};

TEST_F(Recalculation, ZeroDeltasGiveTheListsAsLoaded)
{
    recalculate(0.0f, 0.0f, 0.0f);
    expectSameLists(data.corridorDepths(first), loadedFirst);
    expectSameLists(data.corridorDepths(second), loadedSecond);
}

TEST_F(Recalculation, DeltasDoNotAccumulate)
{
    recalculate(1.0f, 1.0f, 1.0f);
    const QList<SoundingData> once = data.corridorDepths(first);
    ASSERT_EQ(once.size(), loadedFirst.size());
    EXPECT_NE(once.first().depth, loadedFirst.first().depth);
    EXPECT_NE(once.first().northing, loadedFirst.first().northing);

    recalculate(1.0f, 1.0f, 1.0f);
    expectSameLists(data.corridorDepths(first), once);

    recalculate(0.0f, 0.0f, 0.0f);
    expectSameLists(data.corridorDepths(first), loadedFirst);
    // The soundings as loaded never change.
    expectSameLists(CrossLineDataInspector::regionSoundings(data).value(first), regionFirst);
}

TEST_F(Recalculation, ListsMatchTheRecalculatedRecordsWithTheirDistances)
{
    recalculate(0.5f, -0.7f, 2.0f);
    const QList<SoundingData> &list = data.corridorDepths(first);
    ASSERT_EQ(list.size(), regionFirst.size());
    const qint32 *p = CrossLineDataInspector::corridorCorners(data);
    for (int i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        SoundingData expected = regionFirst.at(i);
        data.recalculateSounding(expected, double(0.5f), double(-0.7f), double(2.0f));
        expected.distanceX = float(distancePointToLine(p[0], p[1], p[2], p[3], expected.easting, expected.northing) / 100.0);
        expected.distanceY = float(distancePointToLine(p[0], p[1], p[4], p[5], expected.easting, expected.northing) / 100.0);
        expectSameRecord(list.at(i), expected);
    }
}

TEST_F(Recalculation, AnswersAndTimingRecords)
{
    struct {
        bool preview;
        const char *timing;
    } const cases[] = {
        {false, "TIMING : CrossLineData::recalculatedDepths() = "},
        {true, "TIMING : CrossLineData::recalculatedPreviewDepths() = "},
    };
    data.setAttitudeCorrections(1.0f, 0.5f, 0.25f, 3);
    data.recalculatedDepths();
    const QList<SoundingData> full = data.corridorDepths(first);

    for (const auto &c : cases) {
        SCOPED_TRACE(c.timing);
        LogCapture cap("CrossLineData");
        QSignalSpy done(&data, &CrossLineData::sigRecalcDone);
        if (c.preview)
            data.recalculatedPreviewDepths();
        else
            data.recalculatedDepths();
        ASSERT_EQ(done.count(), 1);
        EXPECT_EQ(done.at(0).at(0).toBool(), c.preview);
        const QStringList debug = cap.messages(log4cplus::DEBUG_LOG_LEVEL);
        ASSERT_EQ(debug.size(), 1);
        EXPECT_TRUE(debug.first().startsWith(c.timing)) << debug.first().toStdString();
        bool number = false;
        debug.first().mid(int(strlen(c.timing))).toLongLong(&number);
        EXPECT_TRUE(number);
        // The preview pass computes the same lists.
        expectSameLists(data.corridorDepths(first), full);
    }
}

TEST_F(Recalculation, WithoutNexraDataNothingIsRecalculated)
{
    CrossLineDataInspector::setNexraFile(data, false);
    LogCapture cap("CrossLineData");
    QSignalSpy done(&data, &CrossLineData::sigRecalcDone);
    recalculate(1.0f, 1.0f, 1.0f);
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(cap.messages(log4cplus::INFO_LOG_LEVEL),
              QStringList({"Recalculating TQ: orig installation parameters  ",
                           "Recalculating TQ: new installation parameters  "}));
    expectSameLists(data.corridorDepths(first), loadedFirst);
}

TEST(RecalculationNoFiles, AnswersWithOnlyTheRawFileRecord)
{
    CrossLineData data;
    CrossLineDataInspector::setNexraFile(data, true);
    LogCapture cap("CrossLineData");
    QSignalSpy done(&data, &CrossLineData::sigRecalcDone);
    data.setAttitudeCorrections(1.0f, 1.0f, 1.0f, 0);
    data.recalculatedPreviewDepths();
    ASSERT_EQ(done.count(), 1);
    EXPECT_TRUE(done.at(0).at(0).toBool());
    EXPECT_EQ(cap.messages(log4cplus::INFO_LOG_LEVEL), QStringList({"getRawFiles: files "}));
    EXPECT_TRUE(data.loadedRawFiles().isEmpty());
}
