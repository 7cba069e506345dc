#include "installationlists.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <tuple>

// Field-by-field comparison and printing of the records, so that a failing
// case shows the whole record.
namespace {

auto fields(const TransducerEntry &e)
{
    return std::make_tuple(e.index, e.z, e.x, e.y, e.model, e.isRx, e.reserved1, e.roll,
                           e.pitch, e.heading, e.reserved2, e.angleModel, e.angleIsRx);
}
auto fields(const PositionSensorEntry &e)
{
    return std::make_tuple(e.active, e.number, e.z, e.x, e.y, e.delay, e.tCode, e.cFlag,
                           e.qFlag);
}
auto fields(const AttitudeSensorEntry &e)
{
    return std::make_tuple(e.active, e.number, e.z, e.x, e.y, e.roll, e.pitch, e.modeFlag,
                           e.factor, e.delay);
}
auto fields(const AttitudeDelayEntry &e)
{
    return std::make_tuple(e.active, e.number, e.z, e.x, e.y, e.delay);
}
auto fields(const AttitudeHeadingEntry &e)
{
    return std::make_tuple(e.set, e.number, e.heading, e.delay);
}

TransducerEntry transducer(qint32 index, quint8 isRx, double x = 0, double y = 0, double z = 0,
                           float roll = 0, float pitch = 0, float heading = 0)
{
    TransducerEntry e;
    e.index = index;
    e.isRx = isRx;
    e.angleIsRx = isRx;
    e.model = 9117;
    e.angleModel = 9117;
    e.x = x;
    e.y = y;
    e.z = z;
    e.roll = roll;
    e.pitch = pitch;
    e.heading = heading;
    return e;
}

PositionSensorEntry position(qint32 number, double x = 0, float delay = 0, qint32 tCode = 0,
                             quint16 cFlag = 0, quint16 qFlag = 0)
{
    PositionSensorEntry e;
    e.active = 1;
    e.number = number;
    e.x = x;
    e.delay = delay;
    e.tCode = tCode;
    e.cFlag = cFlag;
    e.qFlag = qFlag;
    return e;
}

AttitudeSensorEntry attitude(qint32 number, qint32 delay = 0, qint32 modeFlag = 1,
                             float roll = 0)
{
    AttitudeSensorEntry e;
    e.active = 1;
    e.number = number;
    e.delay = delay;
    e.modeFlag = modeFlag;
    e.roll = roll;
    return e;
}

AttitudeDelayEntry attitudeDelay(qint32 number, qint32 delay = 0)
{
    AttitudeDelayEntry e;
    e.active = 1;
    e.number = number;
    e.delay = delay;
    return e;
}

AttitudeHeadingEntry attitudeHeading(qint32 number, qint32 delay = 0, float heading = 0)
{
    AttitudeHeadingEntry e;
    e.set = 1;
    e.number = number;
    e.delay = delay;
    e.heading = heading;
    return e;
}

template <typename Record>
std::ostream &printList(std::ostream &os, const char *name, const QList<Record> &list)
{
    os << name << "[";
    for (const Record &r : list) {
        os << "(";
        std::apply([&os](const auto &...v) { ((os << +v << " "), ...); }, fields(r));
        os << ")";
    }
    return os << "] ";
}

template <typename Record>
bool sameList(const QList<Record> &a, const QList<Record> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (fields(a.at(i)) != fields(b.at(i)))
            return false;
    return true;
}

bool sameLists(const InstallationLists &a, const InstallationLists &b)
{
    return sameList(a.transducers, b.transducers) && sameList(a.positionSensors, b.positionSensors)
        && sameList(a.attitudeSensors, b.attitudeSensors)
        && sameList(a.attitudeDelays, b.attitudeDelays)
        && sameList(a.attitudeHeadings, b.attitudeHeadings);
}

std::string describe(const InstallationLists &l)
{
    std::ostringstream os;
    printList(os, "transducers", l.transducers);
    printList(os, "positionSensors", l.positionSensors);
    printList(os, "attitudeSensors", l.attitudeSensors);
    printList(os, "attitudeDelays", l.attitudeDelays);
    printList(os, "attitudeHeadings", l.attitudeHeadings);
    return os.str();
}

struct ParseCase {
    const char *text;
    bool result;
    InstallationLists expected;
};

InstallationLists withTransducers(QList<TransducerEntry> list)
{
    InstallationLists l;
    l.transducers = list;
    return l;
}

InstallationLists withPositions(QList<PositionSensorEntry> list)
{
    InstallationLists l;
    l.positionSensors = list;
    return l;
}

InstallationLists withAttitude(QList<AttitudeSensorEntry> sensors,
                               QList<AttitudeDelayEntry> delays,
                               QList<AttitudeHeadingEntry> headings)
{
    InstallationLists l;
    l.attitudeSensors = sensors;
    l.attitudeDelays = delays;
    l.attitudeHeadings = headings;
    return l;
}

const ParseCase parseCases[] = {
    {"", true, {}},
    {" , ,, \t,", true, {}},
    {" TRAI_TX1:X=1;Y=2;Z=3;R=0.5;P=0.25;H=-1 ", true,
     withTransducers({transducer(0, 0, 1, 2, 3, 0.5f, 0.25f, -1)})},
    {"TRAI_RX2:Z=-0.75", true, withTransducers({transducer(1, 1, 0, 0, -0.75)})},
    {"TRAI_HD2:R=1", true,
     withTransducers({transducer(1, 0, 0, 0, 0, 1), transducer(1, 1, 0, 0, 0, 1)})},
    {"TRAI_TX12:X=4", true, withTransducers({transducer(0, 0, 4)})},
    {"TRAI_TX", false, {}},
    {"TRAI_TX3:X=1", false, {}},
    {"TRAI_RXa", false, {}},
    {"TRAI_HD0:X=1", false, {}},
    {"TRAI_XX1:X=1", true, {}},
    {"trai_tx1:X=1", true, {}},
    {"GYRI_1:X=1,TQXI_1:X=1", true, {}},
    // A bad group adds nothing and does not stop the parsing.
    {"TRAI_TX3:X=1,TRAI_RX1:X=2", false, withTransducers({transducer(0, 1, 2)})},
    {"TRAI_TX1:X =1", true, withTransducers({transducer(0, 0, 0)})},
    {"TRAI_TX1:X=1e2;Y=abc;Z=1,5", true, withTransducers({transducer(0, 0, 100, 0, 1)})},
    {"POSI_1:X=1;X=2", true, withPositions({position(1, 2)})},
    {"POSI_1:X=1=2", true, withPositions({position(1, 0)})},
    {"POSI_3:X=1", true, withPositions({position(3, 1)})},
    {"POSI_3:U=ACTIVE;X=1;D=0.125", true, withPositions({position(3, 1, 0.125f)})},
    {"POSI_3:U=NOT_SET;X=1", true, {}},
    {"POSI_3:U=active", true, {}},
    {"POSI_3:U=INACTIVE", true, {}},
    {"POSI_3:U=", true, {}},
    {"POSI_1:T=POS;C=On;Q=Off", true, withPositions({position(1, 0, 0, 1, 1, 0)})},
    {"POSI_1:T=PU;C=Off;Q=On", true, withPositions({position(1, 0, 0, 0, 0, 1)})},
    {"POSI_1:T=pos;C=on;Q=1", true, withPositions({position(1)})},
    {"POSI_x:X=1", true, withPositions({position(0, 1)})},
    {"POSI_1:X=1,5", true, withPositions({position(1, 1)})},
    {"ATTI_12_A:X=0", true, withAttitude({attitude(12)}, {attitudeDelay(12)}, {attitudeHeading(12)})},
    {"ATTI_1:U=INACTIVE;R=2", true,
     withAttitude({attitude(1, 0, 1, 2)}, {attitudeDelay(1)}, {attitudeHeading(1)})},
    {"ATTI_1:U=PASSIVE;H=5;D=20", true, withAttitude({}, {}, {attitudeHeading(1, 20, 5)})},
    {"ATTI_1:U=", true, withAttitude({}, {}, {attitudeHeading(1)})},
    {"ATTI_1:U=NOT_SET", true, {}},
    {"ATTI_1:D=12.9", true,
     withAttitude({attitude(1, 12)}, {attitudeDelay(1, 12)}, {attitudeHeading(1, 12)})},
    {"ATTI_1:D=-12.9", true,
     withAttitude({attitude(1, -12)}, {attitudeDelay(1, -12)}, {attitudeHeading(1, -12)})},
    // Delays outside the int32 range are held at its ends.
    {"ATTI_1:D=1e12", true,
     withAttitude({attitude(1, 2147483647)}, {attitudeDelay(1, 2147483647)},
                  {attitudeHeading(1, 2147483647)})},
    {"ATTI_1:D=nan", true, withAttitude({attitude(1)}, {attitudeDelay(1)}, {attitudeHeading(1)})},
    // Numbers that are not finite, and numbers beyond the float range in a
    // float field, read as 0, as a malformed value does.
    {"TRAI_TX1:X=nan;Y=inf;Z=-inf;R=nan;P=inf;H=-inf", true, withTransducers({transducer(0, 0)})},
    {"TRAI_TX1:R=1e39;P=-1e39;H=3e38", true, withTransducers({transducer(0, 0, 0, 0, 0, 0, 0, 3e38f)})},
    {"POSI_1:X=inf;D=1e39", true, withPositions({position(1)})},
    {"ATTI_1:R=nan;P=-inf;H=inf;D=inf", true,
     withAttitude({attitude(1)}, {attitudeDelay(1)}, {attitudeHeading(1)})},
    {"ATTI_1:R=1e39;H=-1e39", true, withAttitude({attitude(1)}, {attitudeDelay(1)}, {attitudeHeading(1)})},
    {"ATTI_1:M=HO", true,
     withAttitude({attitude(1, 0, 0)}, {attitudeDelay(1)}, {attitudeHeading(1)})},
    {"ATTI_1:M=ho", true, withAttitude({attitude(1)}, {attitudeDelay(1)}, {attitudeHeading(1)})},
};

void PrintTo(const ParseCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class ParseInstallationText : public ::testing::TestWithParam<ParseCase> {};

} // namespace

TEST_P(ParseInstallationText, GivesExpectedLists)
{
    const ParseCase &c = GetParam();
    InstallationLists lists;
    EXPECT_EQ(parseInstallationText(QString::fromUtf8(c.text), lists), c.result);
    EXPECT_TRUE(sameLists(lists, c.expected))
        << "got      " << describe(lists) << "\nexpected " << describe(c.expected);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, ParseInstallationText, ::testing::ValuesIn(parseCases));

TEST(ParseInstallationTextOrder, RecordsKeepTheOrderOfTheirGroups)
{
    InstallationLists lists;
    EXPECT_TRUE(parseInstallationText(
        QStringLiteral("POSI_2:X=0,TRAI_RX1:X=0,POSI_1:X=0,ATTI_2:H=1,TRAI_TX2:X=0,ATTI_1:H=2"),
        lists));
    ASSERT_EQ(lists.positionSensors.size(), 2);
    EXPECT_EQ(lists.positionSensors[0].number, 2);
    EXPECT_EQ(lists.positionSensors[1].number, 1);
    ASSERT_EQ(lists.transducers.size(), 2);
    EXPECT_EQ(lists.transducers[0].isRx, 1);
    EXPECT_EQ(lists.transducers[1].index, 1);
    ASSERT_EQ(lists.attitudeHeadings.size(), 2);
    EXPECT_EQ(lists.attitudeHeadings[0].number, 2);
    EXPECT_EQ(lists.attitudeHeadings[1].number, 1);
}

TEST(ParseInstallationTextOrder, AppendsToListsAlreadyHeld)
{
    InstallationLists lists;
    lists.positionSensors << position(7);
    parseInstallationText(QStringLiteral("POSI_1:X=0"), lists);
    ASSERT_EQ(lists.positionSensors.size(), 2);
    EXPECT_EQ(lists.positionSensors[0].number, 7);
    EXPECT_EQ(lists.positionSensors[1].number, 1);
}

TEST(ParseKeyValues, SplitsItemsByTheKeyValueRule)
{
    using Map = QMap<QString, QString>;
    const struct {
        const char *group;
        Map expected;
    } cases[] = {
        {"TRAI_TX1:X=1.25;Y=0;H=a=b", Map{{"X", "1.25"}, {"Y", "0"}, {"H", "a=b"}}},
        {"A:B:C=1", Map{{"B", "1"}}},
        {"A:=1", Map{{"", "1"}}},
        {"K", Map{{"K", ""}}},
        {"", Map{{"", ""}}},
        {"X=1;;Y=2", Map{{"X", "1"}, {"", ""}, {"Y", "2"}}},
        {" X = 1 ", Map{{" X ", " 1 "}}},
        {"X=1;X=", Map{{"X", ""}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseKeyValues(QString::fromUtf8(c.group)), c.expected) << c.group;
}

TEST(ParseTransducer, BadGroupLeavesTheRecordUnchanged)
{
    TransducerEntry entry = transducer(1, 1, 5, 6, 7);
    const auto before = fields(entry);
    EXPECT_FALSE(parseTransducer(false, QStringLiteral("TRAI_TX9:X=1"), entry));
    EXPECT_EQ(fields(entry), before);
}

TEST(ParseSensors, InactiveSensorsStillReportTrue)
{
    PositionSensorEntry position;
    EXPECT_TRUE(parsePositionSensor(QStringLiteral("POSI_1:U=NOT_SET;X=5"), position));
    EXPECT_EQ(position.active, 0);
    EXPECT_EQ(position.x, 0.0);

    AttitudeSensorEntry sensor;
    AttitudeDelayEntry delay;
    AttitudeHeadingEntry heading;
    EXPECT_TRUE(parseAttitudeSensor(QStringLiteral("ATTI_4:U=NOT_SET;X=5"), sensor, delay, heading));
    EXPECT_EQ(sensor.active, 0);
    EXPECT_EQ(delay.active, 0);
    EXPECT_EQ(heading.set, 0);
    EXPECT_EQ(sensor.number, 4);
    EXPECT_EQ(sensor.x, 0.0);
}

TEST(ParseSensors, AttitudeGroupFillsOffsetsIntoSensorAndDelay)
{
    InstallationLists lists;
    parseInstallationText(QStringLiteral("ATTI_2:X=1.5;Y=-2;Z=0.25;R=0.1;P=-0.2;H=359.5;D=40;M=HO"),
                          lists);
    ASSERT_EQ(lists.attitudeSensors.size(), 1);
    ASSERT_EQ(lists.attitudeDelays.size(), 1);
    ASSERT_EQ(lists.attitudeHeadings.size(), 1);
    const AttitudeSensorEntry &s = lists.attitudeSensors[0];
    EXPECT_EQ(std::make_tuple(s.x, s.y, s.z), std::make_tuple(1.5, -2.0, 0.25));
    EXPECT_EQ(std::make_tuple(s.roll, s.pitch), std::make_tuple(0.1f, -0.2f));
    EXPECT_EQ(std::make_tuple(s.modeFlag, s.factor, s.delay), std::make_tuple(0, 0.0f, 40));
    const AttitudeDelayEntry &d = lists.attitudeDelays[0];
    EXPECT_EQ(std::make_tuple(d.x, d.y, d.z, d.delay), std::make_tuple(1.5, -2.0, 0.25, 40));
    EXPECT_EQ(lists.attitudeHeadings[0].heading, 359.5f);
}
