#include "displaydata.h"

#include "crosslinedata_test_support.h"
#include "log_capture.h"

#include <QRegularExpression>

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

TEST_F(DisplayDataTest, DisplayIdsSelectFields)
{
    SoundingData s = sounding(3, 42.5f, 0, 40.25);
    s.qualityFactor = 7;
    s.reflectivity = -3;
    s.txDepth = 1.5f;
    setLoaded({{"/s/a.nexra", {s}}});
    display.setOriginalData(&data);

    struct Case { qint32 id; float asX; float asY; };
    const Case cases[] = {
        {0, s.distanceX, s.distanceX}, {1, s.distanceY, s.distanceY}, {2, 42.5f, 42.5f},
        {5, 42.5f, 42.5f},             {8, s.across, s.across},       {9, s.along, s.along},
        {13, 7.0f, 7.0f},              {14, -3.0f, -3.0f},            {19, 3.0f, 3.0f},
        {20, s.twoWayTime, s.twoWayTime}, {21, 1.5f, 1.5f},
        // ellipsoid-referenced depth: as y ellipsoidDepth - depth, as x 0
        {22, 0.0f, float(40.25 - 42.5)},
        {3, 0.0f, 0.0f},               {99, 0.0f, 0.0f},              {-1, 0.0f, 0.0f},
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
