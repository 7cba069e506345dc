#include "commandline.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const QString program = QStringLiteral("/opt/calib/RIDUR_ErideDevid");

CommandLineOptions parse(std::initializer_list<const char *> arguments)
{
    QStringList list{program};
    for (const char *argument : arguments)
        list << QString::fromUtf8(argument);
    return parseCommandLine(list);
}

TEST(CommandLineTest, NoOptionsLeaveEverythingEmpty)
{
    const CommandLineOptions options = parse({});
    EXPECT_TRUE(options.projection.isEmpty());
    EXPECT_TRUE(options.survey.isEmpty());
    for (qint32 value : {options.sx, options.sy, options.ex, options.ey, options.previewTopX,
                         options.previewTopY, options.previewBottomX, options.previewBottomY})
        EXPECT_EQ(value, 0);
    EXPECT_EQ(options.viewMode, 0);
    EXPECT_FALSE(options.hasCrossLine());
}

TEST(CommandLineTest, EveryOptionReachesItsValue)
{
    const CommandLineOptions options =
        parse({"-projection=/data/zad_oviz.txt", "-survey=Harbour 2024", "-sx=1", "-sy=2", "-ex=3",
               "-ey=-4", "-preview-top-x=5", "-preview-top-y=6", "-preview-bottom-x=7",
               "-preview-bottom-y=8", "-view-mode=REALTIME"});
    EXPECT_EQ(options.projection, QStringLiteral("/data/zad_oviz.txt"));
    EXPECT_EQ(options.survey, QStringLiteral("Harbour 2024"));
    EXPECT_EQ(options.sx, 1);
    EXPECT_EQ(options.sy, 2);
    EXPECT_EQ(options.ex, 3);
    EXPECT_EQ(options.ey, -4);
    EXPECT_EQ(options.previewTopX, 5);
    EXPECT_EQ(options.previewTopY, 6);
    EXPECT_EQ(options.previewBottomX, 7);
    EXPECT_EQ(options.previewBottomY, 8);
    EXPECT_EQ(options.viewMode, 1);
}

TEST(CommandLineTest, ValueIsEverythingAfterTheFirstEquals)
{
    const CommandLineOptions options = parse({"-projection=C:/proj=merc/def=1.txt", "-survey=a=b"});
    EXPECT_EQ(options.projection, QStringLiteral("C:/proj=merc/def=1.txt"));
    EXPECT_EQ(options.survey, QStringLiteral("a=b"));
}

TEST(CommandLineTest, LaterArgumentOverwritesAndUnknownOnesAreIgnored)
{
    const CommandLineOptions options =
        parse({"-sx=10", "-survey=first", "-sx", "-SX=99", "--sx=98", "sx=97", "-survey", "-sx=20",
               "-survey=second", "-sxx=5", "-unknown=1"});
    EXPECT_EQ(options.sx, 20);
    EXPECT_EQ(options.survey, QStringLiteral("second"));
}

TEST(CommandLineTest, ProgramPathIsTestedLikeAnyArgument)
{
    const CommandLineOptions options = parseCommandLine({QStringLiteral("-sx=42")});
    EXPECT_EQ(options.sx, 42);
}

TEST(CommandLineTest, CrossLineNeedsAPositiveStartInBothCoordinates)
{
    struct Case {
        std::initializer_list<const char *> arguments;
        bool crossLine;
    };
    const Case cases[] = {
        {{"-sx=100", "-sy=0", "-ex=500", "-ey=700"}, false},
        {{"-sx=100", "-sy=-1", "-ex=500", "-ey=700"}, false},
        {{"-sx=0", "-sy=200"}, false},
        {{"-sx=100", "-sy=200"}, true}, // no end point: the line ends at (0, 0)
    };
    for (const Case &c : cases) {
        const CommandLineOptions options = parse(c.arguments);
        EXPECT_EQ(options.hasCrossLine(), c.crossLine) << options.sx << " " << options.sy;
    }
    const CommandLineOptions options = parse({"-sx=100", "-sy=200"});
    EXPECT_EQ(options.ex, 0);
    EXPECT_EQ(options.ey, 0);
}

struct IntegerCase {
    const char *value;
    qint32 expected;
    const char *name;
};

void PrintTo(const IntegerCase &c, std::ostream *os)
{
    *os << '"' << c.value << '"';
}

class CommandLineIntegerTest : public ::testing::TestWithParam<IntegerCase>
{
};

TEST_P(CommandLineIntegerTest, EveryCoordinateOptionReadsBase10Int32)
{
    const char *const prefixes[] = {"-sx=", "-sy=", "-ex=", "-ey=", "-preview-top-x=",
                                    "-preview-top-y=", "-preview-bottom-x=", "-preview-bottom-y="};
    for (int i = 0; i < 8; ++i) {
        const QString argument = QLatin1String(prefixes[i]) + QLatin1String(GetParam().value);
        const CommandLineOptions o = parseCommandLine({program, argument});
        const qint32 values[] = {o.sx, o.sy, o.ex, o.ey, o.previewTopX, o.previewTopY,
                                 o.previewBottomX, o.previewBottomY};
        int set = 0;
        for (qint32 v : values)
            set += v != 0;
        EXPECT_EQ(values[i], GetParam().expected) << qPrintable(argument);
        EXPECT_LE(set, 1) << qPrintable(argument) << " reached another option";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, CommandLineIntegerTest,
    ::testing::Values(IntegerCase{"123456", 123456, "Positive"},
                      IntegerCase{"-7200000", -7200000, "Negative"},
                      IntegerCase{"2147483647", std::numeric_limits<qint32>::max(), "Int32Max"},
                      IntegerCase{"-2147483648", std::numeric_limits<qint32>::min(), "Int32Min"},
                      IntegerCase{"2147483648", 0, "AboveInt32"},
                      IntegerCase{"-2147483649", 0, "BelowInt32"},
                      IntegerCase{"99999999999", 0, "FarAboveInt32"},
                      IntegerCase{"100cm", 0, "TrailingLetters"},
                      IntegerCase{"12.5", 0, "Fraction"}, IntegerCase{"0x10", 0, "Hexadecimal"},
                      IntegerCase{"", 0, "Empty"}, IntegerCase{"abc", 0, "Letters"}),
    [](const ::testing::TestParamInfo<IntegerCase> &info) { return std::string(info.param.name); });

TEST(CommandLineTest, ViewModeTakesOnlyTheExactWords)
{
    struct Case {
        std::initializer_list<const char *> arguments;
        int viewMode;
    };
    const Case cases[] = {
        {{"-view-mode=REALTIME"}, 1},
        {{"-view-mode=realtime"}, 0},
        {{"-view-mode=REALTIME", "-view-mode=POSTPROCESSING"}, 0},
        {{"-view-mode=REALTIME", "-view-mode=postprocessing"}, 1},
        {{"-view-mode=REALTIME", "-view-mode=OTHER"}, 1},
        {{"-view-mode=REALTIME", "-view-mode="}, 1},
        {{"-view-mode=REALTIME "}, 0},
        {{"-view-mode", "-view-mode=REALTIMEX"}, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parse(c.arguments).viewMode, c.viewMode) << *c.arguments.begin();
}

} // namespace
