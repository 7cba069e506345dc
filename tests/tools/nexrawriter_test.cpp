// The NEXRA writer: datagram framing, "#IIP" and "#MRZ" fields at their
// offsets, size overrides, and installation texts read back by the parser.
#include "nexrawriter.h"
#include "installationlists.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>

using namespace nexra;

namespace {

MrzPingRecord samplePing()
{
    MrzPingRecord ping;
    ping.timeSec = 1600000000;
    ping.timeNanosec = 999999999;
    ping.rxIndex = 1;
    ping.rxCount = 2;
    ping.heading = 123.25f;
    ping.referenceLevel = 0.5f;
    ping.latitude = 60.123456789012;
    ping.longitude = -5.987654321098;
    ping.ellipsoidHeight = 40.0f;
    for (int k = 0; k < 3; ++k) {
        MrzSoundingRecord s;
        s.twoWayTime = 0.01f * (k + 1);
        s.deltaLatitude = 1e-4f * (k + 1);
        s.deltaLongitude = -2e-4f * (k + 1);
        s.z = 25.5f + k;
        s.y = -10.0f + 10.0f * k;
        s.x = 0.25f * k;
        ping.soundings << s;
    }
    return ping;
}

QByteArray type(const QByteArray &d) { return d.mid(4, 4); }

} // namespace

TEST(NexraWriter, DatagramFramingCountsLengthAndType)
{
    const QByteArray d = makeDatagram("#ABC", QByteArray("xyz"));
    ASSERT_EQ(d.size(), 11);
    EXPECT_EQ(getU32(d, 0), 11u);
    EXPECT_EQ(type(d), QByteArray("#ABC"));
    EXPECT_EQ(d.mid(8), QByteArray("xyz"));
}

TEST(NexraWriter, MrzFixedFieldsAtTheirOffsets)
{
    const MrzPingRecord ping = samplePing();
    const QByteArray d = makeMrzDatagram(ping);

    EXPECT_EQ(getU32(d, 0), quint32(d.size()));
    EXPECT_EQ(type(d), QByteArray("#MRZ"));
    EXPECT_EQ(getU32(d, 12), 1600000000u);
    EXPECT_EQ(getU32(d, 16), 999999999u);
    EXPECT_EQ(quint8(d.at(33)), 1);
    EXPECT_EQ(quint8(d.at(34)), 2);
    EXPECT_EQ(getU16(d, 128), quint16(kMrzTxSectorCount));
    EXPECT_EQ(getF32(d, 132), 123.25f);
    EXPECT_EQ(getF32(d, 144), 0.5f);
    EXPECT_EQ(getF64(d, 160), 60.123456789012);
    EXPECT_EQ(getF64(d, 168), -5.987654321098);
    EXPECT_EQ(getF32(d, 176), 40.0f);
    // The trailing copy of the length.
    EXPECT_EQ(getU32(d, d.size() - 4), quint32(d.size()));
}

TEST(NexraWriter, MrzBlocksFoundThroughTheDeclaredSizes)
{
    const MrzPingRecord ping = samplePing();
    const QByteArray d = makeMrzDatagram(ping);

    // Walk the sizes the way a reader does.
    const int C = getU16(d, 24);
    const int P = 24 + C;
    const int I = getU16(d, P);
    const int S = getU16(d, 128);
    const int E = getU16(d, P + 94);
    const int R = P + I + S * E;
    const int N = getU16(d, R);
    const int K = getU16(d, R + 2);
    const int X = getU16(d, R + 28);
    const int A = R + N + 4 * X;

    EXPECT_EQ(C, 12);
    EXPECT_EQ(P, 36);
    EXPECT_GE(I, 144) << "the fixed ping fields lie inside the ping-information block";
    EXPECT_EQ(K, 3);
    EXPECT_EQ(A + K * kSoundingSize + 4, d.size());

    const MrzGeometry g = mrzGeometry(MrzLayout(), K);
    EXPECT_EQ(g.pingInfo, P);
    EXPECT_EQ(g.rxInfo, R);
    EXPECT_EQ(g.soundings, A);
    EXPECT_EQ(g.size, d.size());

    for (int k = 0; k < K; ++k) {
        const MrzSoundingRecord &s = ping.soundings.at(k);
        const int at = A + kSoundingSize * k;
        SCOPED_TRACE(k);
        EXPECT_EQ(getF32(d, at + 80), s.twoWayTime);
        EXPECT_EQ(getF32(d, at + 88), s.deltaLatitude);
        EXPECT_EQ(getF32(d, at + 92), s.deltaLongitude);
        EXPECT_EQ(getF32(d, at + 96), s.z);
        EXPECT_EQ(getF32(d, at + 100), s.y);
        EXPECT_EQ(getF32(d, at + 104), s.x);
    }
}

TEST(NexraWriter, MrzWithoutSoundingsStillHoldsTheFixedFields)
{
    MrzPingRecord ping = samplePing();
    ping.soundings.clear();
    const QByteArray d = makeMrzDatagram(ping);
    const MrzGeometry g = mrzGeometry(MrzLayout(), 0);
    EXPECT_EQ(d.size(), g.size);
    EXPECT_EQ(getU16(d, g.rxInfo + 2), 0);
    EXPECT_EQ(getF64(d, 160), ping.latitude);
}

// Overridden sizes move the blocks and are written as given, for damaged data.
TEST(NexraWriter, MrzLayoutOverrides)
{
    const MrzPingRecord ping = samplePing();
    struct Case {
        const char *name;
        MrzLayout layout;
    };
    QVector<Case> cases;
    {
        Case c{"more soundings declared than written", {}};
        c.layout.soundingCount = 1000;
        cases << c;
    }
    {
        Case c{"wider common block", {}};
        c.layout.commonSize = 20;
        cases << c;
    }
    {
        Case c{"more sectors and extra entries", {}};
        c.layout.txSectorCount = 7;
        c.layout.txSectorSize = 48;
        c.layout.extraClassCount = 0;
        c.layout.rxInfoSize = 40;
        cases << c;
    }
    {
        Case c{"length field larger than the datagram", {}};
        c.layout.length = 16777185;
        c.layout.trailingLength = false;
        cases << c;
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray d = makeMrzDatagram(ping, c.layout);
        const MrzGeometry g = mrzGeometry(c.layout, ping.soundings.size());
        EXPECT_EQ(d.size(), g.size);
        EXPECT_EQ(getU32(d, 0), c.layout.length < 0 ? quint32(d.size()) : quint32(c.layout.length));
        EXPECT_EQ(getU16(d, 24), c.layout.commonSize);
        EXPECT_EQ(g.pingInfo, 24 + c.layout.commonSize);
        EXPECT_EQ(getU16(d, g.pingInfo), c.layout.pingInfoSize);
        EXPECT_EQ(getU16(d, g.pingInfo + 94), c.layout.txSectorSize);
        EXPECT_EQ(getU16(d, g.rxInfo), c.layout.rxInfoSize);
        EXPECT_EQ(getU16(d, g.rxInfo + 2),
                  c.layout.soundingCount < 0 ? ping.soundings.size() : c.layout.soundingCount);
        EXPECT_EQ(getU16(d, g.rxInfo + 28), c.layout.extraClassCount);
        EXPECT_EQ(getF32(d, g.soundings + 96), ping.soundings.first().z);
    }
}

TEST(NexraWriter, IipTextAtOffset26EndedByNul)
{
    const QByteArray text("TRAI_TX1:X=1;Y=2;Z=3");
    const QByteArray d = makeIipDatagram(text);
    EXPECT_EQ(type(d), QByteArray("#IIP"));
    EXPECT_EQ(getU32(d, 0), quint32(d.size()));
    EXPECT_EQ(d.mid(kIipTextOffset, text.size()), text);
    EXPECT_EQ(d.at(kIipTextOffset + text.size()), '\0');
    // Room for the text within L - 29 bytes.
    EXPECT_LE(text.size() + 1, int(getU32(d, 0)) - 29);
    EXPECT_EQ(getU32(d, d.size() - 4), quint32(d.size()));
}

TEST(NexraWriter, IipWithoutNulOrTrailerEndsWithTheText)
{
    IipOptions options;
    options.nulTerminated = false;
    options.trailingLength = false;
    const QByteArray text("POSI_1:X=1");
    const QByteArray d = makeIipDatagram(text, options);
    EXPECT_EQ(d.size(), kIipTextOffset + text.size());
    EXPECT_EQ(d.mid(kIipTextOffset), text);
}

TEST(NexraWriter, IipLengthOverrideKeepsTheBytes)
{
    IipOptions options;
    options.length = kIipBufferSize + 1;
    const QByteArray d = makeIipDatagram("X", options);
    EXPECT_EQ(getU32(d, 0), kIipBufferSize + 1);
    EXPECT_LT(d.size(), 64);
}

TEST(NexraWriter, OtherDatagramTypesAreFramed)
{
    const QList<QByteArray> others{makePositionDatagram(1, 2, 60.0, 5.0),
                                   makeAttitudeDatagram(1, 2, 0.5f, -0.5f, 90.f),
                                   makeRuntimeDatagram(1, 2, "mode")};
    const QList<QByteArray> types{"#SPO", "#SKM", "#IOP"};
    for (int i = 0; i < others.size(); ++i) {
        EXPECT_EQ(type(others.at(i)), types.at(i));
        EXPECT_EQ(getU32(others.at(i), 0), quint32(others.at(i).size()));
        EXPECT_EQ(getU32(others.at(i), 12), 1u);
    }
}

TEST(NexraWriter, WriteFileConcatenatesDatagrams)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a.nexra");
    const QList<QByteArray> datagrams{makeIipDatagram("TRAI_TX1:R=1"), makeMrzDatagram(samplePing()),
                                      makeDatagram("#XYZ", "12")};
    ASSERT_TRUE(writeFile(path, datagrams));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), datagrams.at(0) + datagrams.at(1) + datagrams.at(2));
    EXPECT_FALSE(writeFile(dir.filePath("missing/b.nexra"), datagrams));
}

// The installation text, read back by the system's own parser.
TEST(NexraWriter, InstallationTextReadsBack)
{
    InstallationDescription inst = defaultInstallation(2);
    inst.transducers[0].roll = 0.1f;
    inst.transducers[0].pitch = -0.35f;
    inst.transducers[0].heading = 359.99f;
    inst.transducers[3].x = 1.0 / 3.0;
    InstallationTransducer head;
    head.side = InstallationTransducer::Head;
    head.number = 2;
    head.roll = 12.5f;
    inst.transducers << head;
    inst.positionSensors[0].delay = 0.125f;
    inst.positionSensors[0].type = "POS";
    inst.positionSensors[0].quality = "Off";
    InstallationPositionSensor inactive;
    inactive.number = 2;
    inactive.state = "NOT_SET";
    inst.positionSensors << inactive;
    inst.attitudeSensors[0].roll = -0.02f;
    inst.attitudeSensors[0].pitch = 0.07f;
    inst.attitudeSensors[0].heading = 0.3f;
    inst.attitudeSensors[0].delay = -12;
    inst.attitudeSensors[0].state = QString(); // no "U"

    InstallationLists lists;
    ASSERT_TRUE(parseInstallationText(QString::fromUtf8(makeInstallationText(inst)), lists));

    ASSERT_EQ(lists.transducers.size(), 6);
    const int expectedRx[] = {0, 1, 0, 1, 0, 1};
    const int expectedIndex[] = {0, 0, 1, 1, 1, 1};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lists.transducers[i].isRx, expectedRx[i]);
        EXPECT_EQ(lists.transducers[i].index, expectedIndex[i]);
    }
    EXPECT_EQ(lists.transducers[0].roll, 0.1f);
    EXPECT_EQ(lists.transducers[0].pitch, -0.35f);
    EXPECT_EQ(lists.transducers[0].heading, 359.99f);
    EXPECT_EQ(lists.transducers[0].x, 0.5);
    EXPECT_EQ(lists.transducers[0].z, 1.5);
    EXPECT_EQ(lists.transducers[3].x, 1.0 / 3.0);
    EXPECT_EQ(lists.transducers[0].y, -0.4);
    EXPECT_EQ(lists.transducers[2].y, 0.4);
    EXPECT_EQ(lists.transducers[4].roll, 12.5f);
    EXPECT_EQ(lists.transducers[5].roll, 12.5f);

    ASSERT_EQ(lists.positionSensors.size(), 1);
    EXPECT_EQ(lists.positionSensors[0].number, 1);
    EXPECT_EQ(lists.positionSensors[0].delay, 0.125f);
    EXPECT_EQ(lists.positionSensors[0].tCode, 1);
    EXPECT_EQ(lists.positionSensors[0].cFlag, 1);
    EXPECT_EQ(lists.positionSensors[0].qFlag, 0);
    EXPECT_EQ(lists.positionSensors[0].z, -3.0);

    ASSERT_EQ(lists.attitudeSensors.size(), 1);
    ASSERT_EQ(lists.attitudeHeadings.size(), 1);
    ASSERT_EQ(lists.attitudeDelays.size(), 1);
    EXPECT_EQ(lists.attitudeSensors[0].roll, -0.02f);
    EXPECT_EQ(lists.attitudeSensors[0].pitch, 0.07f);
    EXPECT_EQ(lists.attitudeSensors[0].delay, -12);
    EXPECT_EQ(lists.attitudeSensors[0].modeFlag, 0);
    EXPECT_EQ(lists.attitudeHeadings[0].heading, 0.3f);
}

TEST(NexraWriter, InstallationTextWithoutOtherGroups)
{
    InstallationDescription inst;
    inst.otherGroups = false;
    InstallationTransducer tx;
    tx.roll = 1.f;
    inst.transducers << tx;
    EXPECT_EQ(makeInstallationText(inst),
              QByteArray("TRAI_TX1:N=117;X=0;Y=0;Z=0;R=1;P=0;H=0;S=0;V=1;W=0"));
}
