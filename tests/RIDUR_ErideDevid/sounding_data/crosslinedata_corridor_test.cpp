#include "crosslinedata_test_support.h"

#include "log_capture.h"

#include <array>

namespace {

struct CorridorCase {
    const char *name;
    qint32 sx, sy, ex, ey;
    float width;
    // P0, P1, P3, P2 as stored.
    std::array<qint32, 8> corners;
};

class CorridorCorners : public ::testing::TestWithParam<CorridorCase> {};

TEST_P(CorridorCorners, WorkedExample)
{
    const CorridorCase &c = GetParam();
    CrossLineData data;
    data.setCrossLine(c.sx, c.sy, c.ex, c.ey);
    data.setCorridorWidth(c.width);

    const qint32 *stored = CrossLineDataInspector::corridorCorners(data);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(stored[i], c.corners[i]) << c.name << " value " << i;
    const qint32 *region = CrossLineDataInspector::regionCorners(data);
    EXPECT_EQ(region[0], c.corners[0]);
    EXPECT_EQ(region[1], c.corners[1]);
    EXPECT_EQ(region[2], c.corners[6]);
    EXPECT_EQ(region[3], c.corners[7]);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CorridorCorners,
    ::testing::Values(
        CorridorCase{"sloped", 100, 200, 400, 700, 10.0f, {-328, 457, 528, -57, -28, 957, 828, 442}},
        CorridorCase{"diagonal", 0, 0, 1000, 1000, 2.0f, {-70, 70, 70, -70, 929, 1070, 1070, 929}},
        CorridorCase{"alongY", 0, 0, 0, 1000, 2.0f, {-100, 0, 100, 0, -100, 1000, 100, 1000}},
        CorridorCase{"alongX", 0, 0, 1000, 0, 2.0f, {0, 100, 0, -100, 1000, 100, 1000, -100}},
        CorridorCase{"bothNegative", 900, 800, 600, 300, 2.0f, {814, 851, 985, 748, 514, 351, 685, 248}},
        CorridorCase{"oppositeSigns", 0, 0, 300, -500, 10.0f, {428, 257, -428, -257, 728, -242, -128, -757}}),
    [](const ::testing::TestParamInfo<CorridorCase> &info) { return std::string(info.param.name); });

} // namespace

TEST(Corridor, CrossLineAloneKeepsCorners)
{
    CrossLineData data;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(CrossLineDataInspector::corridorCorners(data)[i], 0);
    EXPECT_EQ(CrossLineDataInspector::regionCorners(data)[0], 0);
    EXPECT_EQ(CrossLineDataInspector::regionCorners(data)[2], 0);

    data.setCrossLine(100, 200, 400, 700);
    data.setCorridorWidth(10.0f);
    data.setCrossLine(0, 0, 1000, 0);
    const qint32 *line = CrossLineDataInspector::crossLine(data);
    EXPECT_EQ(line[2], 1000);
    EXPECT_EQ(CrossLineDataInspector::corridorCorners(data)[0], -328);
    EXPECT_EQ(CrossLineDataInspector::corridorCorners(data)[7], 442);
}

TEST(Corridor, LineWithoutDirectionHasNoCorridor)
{
    CrossLineData data;
    data.setCrossLine(5000, 7000, 5000, 7000);
    data.setCorridorWidth(2.0f);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(CrossLineDataInspector::corridorCorners(data)[i], 0);
}

TEST(Corridor, FarApartEndsDoNotOverflow)
{
    // Ends near the two edges of the Mercator world: the difference exceeds int32.
    CrossLineData data;
    data.setCrossLine(-2000000000, 0, 2000000000, 0);
    data.setCorridorWidth(2.0f);
    const qint32 *c = CrossLineDataInspector::corridorCorners(data);
    EXPECT_EQ(c[0], -2000000000);
    EXPECT_EQ(c[1], 100);
    EXPECT_EQ(c[6], 2000000000);
    EXPECT_EQ(c[7], -100);
}

TEST(Corridor, LogsTheWidth)
{
    LogCapture cap("CrossLineData");
    CrossLineData data;
    data.setCorridorWidth(2.5f);
    data.setCorridorWidth(2.0f);
    EXPECT_TRUE(cap.contains(log4cplus::INFO_LOG_LEVEL, "setCorridorWidth 2.5"));
    EXPECT_TRUE(cap.contains(log4cplus::INFO_LOG_LEVEL, "setCorridorWidth 2"));
}
