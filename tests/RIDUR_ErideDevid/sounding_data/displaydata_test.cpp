#include "displaydata.h"

#include "crosslinedata_test_support.h"
#include "log_capture.h"

#include <QRegularExpression>

// The line keys a build made: an empty line is a line, unlike a missing one.
struct DisplayDataInspector {
    static QStringList lineKeys(const DisplayData &d)
    {
        QStringList keys = d.lines.keys();
        keys.sort();
        return keys;
    }
};

namespace {

SoundingData sounding(qint32 beam, float depth, qint32 rx, double ellipsoidDepth = 0.0)
{
    SoundingData s;
    s.beamIndex = beam;
    s.depth = depth;
    s.distanceX = 10.0f + beam;
    s.distanceY = 0.5f * beam;
    s.across = -2.0f * beam;
    s.along = 0.25f;
    s.twoWayTime = 0.125f * beam;
    s.rxIndex = rx;
    s.ellipsoidDepth = ellipsoidDepth;
    s.timeMs = 1600000000000 + beam;
    return s;
}

// A data object whose corridor lists hold the given soundings per raw file,
// as a load followed by the corridor build leaves them.
class DisplayDataTest : public CrossLineDataTest
{
protected:
    void setLoaded(const QHash<QString, QList<SoundingData>> &lists, bool nexra = true)
    {
        data.clearData();
        for (auto it = lists.constBegin(); it != lists.constEnd(); ++it)
            data.addRawFile(it.key());
        CrossLineDataInspector::setNexraFile(data, nexra);
        data.loadCorridorData();
        for (auto it = lists.constBegin(); it != lists.constEnd(); ++it) {
            data.corridorDepths(it.key()) = it.value();
            CrossLineDataInspector::loadedCorridorSoundings(data)[it.key()] = it.value();
        }
    }

    DisplayData display;
};

} // namespace

TEST_F(DisplayDataTest, NothingBeforeTheFirstBuild)
{
    setLoaded({{"/s/a.nexra", {sounding(0, 10.0f, 0)}}});
    EXPECT_TRUE(display.seriesPoints("/s/a.nexra - orig", 0, 5).isEmpty());
    EXPECT_TRUE(display.seriesPoints("/s/a.nexra", 0, 5).isEmpty());
    EXPECT_EQ(display.soundingAt("a.nexra - orig", 0, 10.0, 5, 10.0).timeMs, 0);
}

// Every field its own value, none of them exact in binary where the field
// is a float, so that a wrong field or a detour through another type shows.
TEST_F(DisplayDataTest, DisplayIdsSelectFields)
{
    SoundingData s;
    s.beamIndex = 3;
    s.depth = 42.7f;
    s.distanceX = 10.3f;
    s.distanceY = 1.7f;
    s.across = -6.1f;
    s.along = 0.35f;
    s.qualityFactor = 7;
    s.reflectivity = -3;
    s.sampleCount = 211;
    s.beamAngleAdjustment = -17;
    s.detectionInfo = 12;
    s.soundingFlag = 33;
    s.twoWayTime = 0.0371f;
    s.txDepth = 1.45f;
    s.ellipsoidDepth = 40.3;
    s.timeMs = 1600000000123;
    setLoaded({{"/s/a.nexra", {s}}});
    display.setOriginalData(&data);

    // Id 22 as y: the difference taken in double, then rounded to float
    // (-2.4000008f; in float it would be -2.4000015f).
    const float ellipsoidReferenced = float(40.3 - double(42.7f));
    ASSERT_NE(ellipsoidReferenced, 40.3f - 42.7f);
    struct Case { qint32 id; float asX; float asY; };
    const Case cases[] = {
        {0, 10.3f, 10.3f},   {1, 1.7f, 1.7f},       {2, 42.7f, 42.7f},     {5, 42.7f, 42.7f},
        {8, -6.1f, -6.1f},   {9, 0.35f, 0.35f},     {13, 7.0f, 7.0f},      {14, -3.0f, -3.0f},
        {15, 211.0f, 211.0f}, {16, -17.0f, -17.0f}, {17, 12.0f, 12.0f},    {18, 33.0f, 33.0f},
        {19, 3.0f, 3.0f},    {20, 0.0371f, 0.0371f}, {21, 1.45f, 1.45f},
        {22, 0.0f, ellipsoidReferenced},
        {3, 0.0f, 0.0f},     {99, 0.0f, 0.0f},      {-1, 0.0f, 0.0f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        const QList<FloatPoint> asX = display.seriesPoints("/s/a.nexra - orig", c.id, 19);
        const QList<FloatPoint> asY = display.seriesPoints("/s/a.nexra - orig", 19, c.id);
        ASSERT_EQ(asX.size(), 1);
        ASSERT_EQ(asY.size(), 1);
        EXPECT_EQ(asX[0].x, c.asX);
        EXPECT_EQ(asY[0].y, c.asY);
    }
}

TEST_F(DisplayDataTest, HeadFilterAppliesAtTheNextBuild)
{
    setLoaded({{"/s/a.nexra", {sounding(0, 1, 0), sounding(1, 2, 1), sounding(2, 3, 0), sounding(3, 4, 1)}}});
    struct Case { qint32 head; QList<float> beams; };
    const Case cases[] = {
        {0, {0, 1, 2, 3}}, {1, {0, 2}}, {2, {1, 3}}, {3, {0, 1, 2, 3}}, {-1, {0, 1, 2, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.head);
        display.setHead(c.head);
        display.setOriginalData(&data);
        QList<float> beams;
        for (const FloatPoint &p : display.seriesPoints("/s/a.nexra - orig", 19, 5))
            beams << p.x;
        EXPECT_EQ(beams, c.beams);
    }
    display.setHead(1);
    EXPECT_EQ(display.seriesPoints("/s/a.nexra - orig", 19, 5).size(), 4) << "setHead alone rebuilds nothing";
}

TEST_F(DisplayDataTest, BuildsKeepOtherLinesAndKinds)
{
    setLoaded({{"/s/a.nexra", {sounding(0, 1, 0)}}, {"/s/b.nexra", {}}});
    display.setOriginalData(&data);
    EXPECT_EQ(display.seriesPoints("/s/a.nexra - orig", 19, 5).size(), 1);
    EXPECT_TRUE(display.seriesPoints("/s/b.nexra - orig", 19, 5).isEmpty());
    // A raw file with no soundings still gets its line.
    EXPECT_EQ(DisplayDataInspector::lineKeys(display),
              (QStringList{"/s/a.nexra - orig", "/s/b.nexra - orig"}));

    // Recalculated lines live under bare keys beside the lines as loaded.
    data.corridorDepths("/s/a.nexra") = {sounding(0, 5, 0), sounding(1, 6, 0)};
    display.setRecalculatedData(&data);
    EXPECT_EQ(display.seriesPoints("/s/a.nexra", 19, 5).size(), 2);
    EXPECT_EQ(display.seriesPoints("/s/a.nexra - orig", 19, 5).size(), 1);

    // A later load of C alone leaves A's lines in place.
    setLoaded({{"/s/c.nexra", {sounding(0, 9, 0)}}});
    display.setOriginalData(&data);
    EXPECT_EQ(display.seriesPoints("/s/c.nexra - orig", 19, 5).size(), 1);
    EXPECT_EQ(display.seriesPoints("/s/a.nexra - orig", 19, 5).size(), 1);
    EXPECT_EQ(display.seriesPoints("/s/a.nexra", 19, 5).size(), 2);
}

TEST_F(DisplayDataTest, NonNexraDataGivesEmptyLines)
{
    setLoaded({{"/s/a.nexra", {sounding(0, 1, 0)}}});
    display.setOriginalData(&data);
    ASSERT_EQ(display.seriesPoints("/s/a.nexra - orig", 19, 5).size(), 1);
    CrossLineDataInspector::setNexraFile(data, false);
    display.setOriginalData(&data);
    EXPECT_TRUE(display.seriesPoints("/s/a.nexra - orig", 19, 5).isEmpty());
    EXPECT_EQ(DisplayDataInspector::lineKeys(display), QStringList{"/s/a.nexra - orig"});
    display.setRecalculatedData(&data);
    EXPECT_EQ(DisplayDataInspector::lineKeys(display),
              (QStringList{"/s/a.nexra", "/s/a.nexra - orig"}));
    EXPECT_TRUE(display.seriesPoints("/s/a.nexra", 19, 5).isEmpty());
}

TEST_F(DisplayDataTest, SoundingAtMatchesWithinTolerance)
{
    setLoaded({{"/s/a.nexra", {sounding(0, 10.0f, 0, 12.0), sounding(1, 20.0f, 0, 23.5),
                               sounding(2, 20.0f, 0, 99.0)}}});
    display.setOriginalData(&data);

    EXPECT_EQ(display.soundingAt("a.nexra - orig", 19, 1.0, 5, 20.0).beamIndex, 1);
    EXPECT_EQ(display.soundingAt("a.nexra - orig", 19, 1.0 + 0.9e-5, 5, 20.0 - 0.9e-5).beamIndex, 1);
    EXPECT_EQ(display.soundingAt("a.nexra - orig", 19, 1.0 + 1e-5, 5, 20.0).timeMs, 0) << "off by exactly 1e-5";
    // Same pair of values twice: the first in line order.
    EXPECT_EQ(display.soundingAt("a.nexra - orig", 5, 20.0, 5, 20.0).beamIndex, 1);
    // Ellipsoid-referenced depth on the y axis.
    EXPECT_EQ(display.soundingAt("a.nexra - orig", 19, 1.0, 22, 3.5).beamIndex, 1);
    // Recalculated lines have no suffix " - orig".
    EXPECT_EQ(display.soundingAt("a.nexra", 19, 1.0, 5, 20.0).timeMs, 0);
    EXPECT_EQ(display.soundingAt("x.nexra - orig", 19, 1.0, 5, 20.0).timeMs, 0);
}

TEST_F(DisplayDataTest, SoundingAtSuffixIsAWholeFileName)
{
    setLoaded({{"/s/ab.nexra", {sounding(4, 10.0f, 0)}}, {"plain.nexra", {sounding(5, 10.0f, 0)}}});
    display.setOriginalData(&data);
    EXPECT_EQ(display.soundingAt("b.nexra - orig", 19, 4.0, 5, 10.0).timeMs, 0);
    EXPECT_EQ(display.soundingAt("ab.nexra - orig", 19, 4.0, 5, 10.0).beamIndex, 4);
    EXPECT_EQ(display.soundingAt("plain.nexra - orig", 19, 5.0, 5, 10.0).beamIndex, 5);
}

TEST_F(DisplayDataTest, BuildsLogTheirDuration)
{
    LogCapture log("DisplayData");
    setLoaded({{"/s/a.nexra", {sounding(0, 1, 0)}}});
    display.setOriginalData(&data);
    display.setRecalculatedData(&data);
    const QStringList messages = log.messages(log4cplus::DEBUG_LOG_LEVEL);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(QRegularExpression("^TIMING : DisplayData::setOriginalData\\(\\) = \\d+$").match(messages[0]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^TIMING : DisplayData::setRecalculatedData\\(\\) = \\d+$").match(messages[1]).hasMatch());
}
