// The depth reader reads a raw file in chunks and walks the datagrams in
// place. Wherever the chunk ends fall, the loop handles the same datagrams
// and writes the same messages as with exact reads (chunk size 0); what
// those are is pinned case by case.
#include "nexra_test_files.h"

#include "cprojection.h"
#include "debug_capture.h"
#include "geometry.h"
#include "nexrareadloop.h"
#include "surveygenerator.h"

#include <QFile>

#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <memory>
#include <ostream>

using namespace fixture;

// --- the loop for every chunk size -------------------------------------------

namespace {

constexpr quint32 kCapacity = 100; // a small buffer makes "too big" cheap

// A datagram of the length, the type, and payload bytes from the seed.
QByteArray datagram(quint32 length, const char *type, char seed = 'a')
{
    QByteArray d(int(qMax<quint32>(length, 8)), '\0');
    nexra::putU32(d, 0, length);
    d.replace(4, 4, type, 4);
    for (int i = 8; i < d.size(); ++i)
        d[i] = char(seed + (i - 8) % 23);
    return d;
}

// Only the length field, then the bytes given.
QByteArray lengthThen(quint32 length, const QByteArray &rest)
{
    QByteArray d(4, '\0');
    nexra::putU32(d, 0, length);
    return d + rest;
}

struct LoopCase {
    const char *name;
    std::function<QByteArray()> bytes;
};

void PrintTo(const LoopCase &c, std::ostream *os)
{
    *os << c.name;
}

// The handler stops at a datagram whose first payload byte is 'S'.
const LoopCase loopCases[] = {
    {"mixedTypesUpToCapacity", [] {
         return datagram(30, "#MRZ") + datagram(8, "#XYZ") + datagram(kCapacity, "#MRZ", 'b')
             + datagram(57, "#MRZ", 'c') + datagram(9, "#mrz") + datagram(99, "#MRZ", 'd') + datagram(8, "#MRZ");
     }},
    {"tooBigWhollyInFile", [] {
         return datagram(40, "#MRZ") + datagram(kCapacity + 1, "#MRZ", 'x') + datagram(kCapacity + 77, "#ABC")
             + datagram(20, "#MRZ", 'e');
     }},
    {"tooBigPastEndOfFile", [] { return datagram(40, "#MRZ") + lengthThen(5000, QByteArray(30, 'q')); }},
    {"tooBigWithoutItsSixteenBytes", [] { return datagram(40, "#MRZ") + lengthThen(kCapacity + 1, QByteArray(10, 'q')); }},
    {"tooBigLengthOnly", [] { return datagram(40, "#MRZ") + lengthThen(0xFFFFFFFFu, {}); }},
    {"lengthBelowEight", [] { return datagram(40, "#MRZ") + lengthThen(5, "#MRZ") + datagram(20, "#MRZ"); }},
    {"lengthZero", [] { return datagram(16, "#MRZ") + lengthThen(0, QByteArray(40, '\0')); }},
    {"truncatedLast", [] { return datagram(40, "#MRZ") + datagram(31, "#MRZ") + datagram(80, "#MRZ").left(50); }},
    {"truncatedAtCapacity", [] { return datagram(40, "#MRZ") + datagram(kCapacity, "#MRZ").left(kCapacity - 1); }},
    {"truncatedInsideType", [] { return datagram(40, "#MRZ") + datagram(20, "#MRZ").left(6); }},
    {"oneTrailingByte", [] { return datagram(40, "#MRZ") + QByteArray("\x01", 1); }},
    {"threeTrailingBytes", [] { return datagram(40, "#MRZ") + QByteArray("\x01\x02\x03", 3); }},
    {"stopsAtMarkedDatagram", [] {
         return datagram(40, "#MRZ") + datagram(33, "#MRZ", 'S') + datagram(kCapacity + 1, "#MRZ") + datagram(20, "#MRZ");
     }},
    {"empty", [] { return QByteArray(); }},
};

struct LoopRun {
    QList<QByteArray> handled;
    QStringList messages;
};

enum class Loop { DatagramByDatagram, Chunked };

// Runs one loop over the file from the offset (read through the file first,
// as the installation reader leaves it).
LoopRun runLoop(const QString &path, qint64 offset, Loop loop, qint64 chunkSize)
{
    LoopRun run;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return run;
    }
    file.read(offset);
    // Exactly the capacity, so that the sanitizer sees any access beyond it.
    std::unique_ptr<quint8[]> buffer(new quint8[kCapacity]());
    const quint8 *first = buffer.get();
    auto keep = [&](const quint8 *d, quint32 length) {
        EXPECT_TRUE(d >= first && d + length <= first + kCapacity);
        run.handled << QByteArray(reinterpret_cast<const char *>(d), int(length));
        return length > 8 && d[8] == 'S' ? nexra::Next::Stop : nexra::Next::Continue;
    };
    DebugCapture dbg;
    if (loop == Loop::Chunked) {
        nexra::readDatagramsInChunks(file, buffer.get(), kCapacity, "#MRZ", "message too big1 ", keep, chunkSize);
    } else {
        nexra::readDatagrams(file, buffer.get(), kCapacity, "#MRZ", "message too big1 ",
                             [&](quint32 length) { return keep(first, length); });
    }
    run.messages = dbg.lines();
    return run;
}

} // namespace

class ChunkedReadLoop : public ::testing::TestWithParam<LoopCase> {};

// Chunk independence: every chunk size gives what exact reads give. Not
// conformance (readDatagrams is the same loop with chunk size 0): the pinned
// cases below carry that.
TEST_P(ChunkedReadLoop, SameDatagramsAndMessagesForEveryChunkSize)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("loop.nexra");
    const QByteArray prefix = datagram(19, "#IIP");
    ASSERT_TRUE(nexra::writeFile(path, {prefix, GetParam().bytes()}));

    for (qint64 offset : {qint64(0), qint64(prefix.size())}) {
        const LoopRun expected = runLoop(path, offset, Loop::DatagramByDatagram, 0);
        for (qint64 chunk : {1, 3, 8, 13, 50, 99, 100}) {
            SCOPED_TRACE(testing::Message() << "offset " << offset << ", chunk " << chunk);
            const LoopRun chunked = runLoop(path, offset, Loop::Chunked, chunk);
            EXPECT_EQ(chunked.handled, expected.handled);
            EXPECT_EQ(chunked.messages, expected.messages);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ChunkedReadLoop, ::testing::ValuesIn(loopCases),
                         [](const ::testing::TestParamInfo<LoopCase> &info) { return std::string(info.param.name); });

// What the loop does on the cases, worked out from the bytes of each file:
// the datagrams handled and the debug lines.
TEST(ChunkedReadLoopMessages, NamedOnTheDebugStream)
{
    QTemporaryDir dir;
    struct Expected {
        int caseIndex;
        QList<int> handledLengths;
        QStringList messages;
    };
    const Expected expected[] = {
        {0, {30, 100, 57, 99, 8}, {}},
        {1, {40, 20}, {"message too big1 101", "message too big1 177"}},
        {2, {40}, {"message too big1 5000"}},
        {5, {40}, {"datagram length too small 5"}},
        {7, {40, 31}, {"cannot read all data for datagram"}},
        {12, {40, 33}, {}},
    };
    for (const Expected &e : expected) {
        const LoopCase &c = loopCases[e.caseIndex];
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(nexra::writeFile(path, {c.bytes()}));
        for (qint64 chunk : {qint64(0), qint64(13)}) {
            const LoopRun run = runLoop(path, 0, chunk ? Loop::Chunked : Loop::DatagramByDatagram, chunk);
            QList<int> lengths;
            for (const QByteArray &d : run.handled)
                lengths << d.size();
            EXPECT_EQ(lengths, e.handledLengths) << "chunk " << chunk;
            EXPECT_EQ(run.messages, e.messages) << "chunk " << chunk;
        }
    }
}

// --- the selection's truncation at the ends of the int32 range -------------

TEST(SelectionTruncation, TowardZeroAndClampedAtTheRangeEnds)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        qint32 expected;
    } cases[] = {
        {0.0, 0}, {-0.0, 0}, {0.999, 0}, {-0.999, 0}, {2.5, 2}, {-2.5, -2},
        {2147483646.5, 2147483646}, {2147483647.0, 2147483647}, {2147483647.999, 2147483647},
        {2147483648.0, 2147483647}, {1e300, 2147483647}, {inf, 2147483647},
        {-2147483647.5, -2147483647}, {-2147483648.0, -2147483647 - 1}, {-2147483648.999, -2147483647 - 1},
        {-2147483649.0, -2147483647 - 1}, {-1e300, -2147483647 - 1}, {-inf, -2147483647 - 1},
        {std::nan(""), 0}, {-std::nan(""), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.value);
        EXPECT_EQ(truncateToInt32(c.value), c.expected);
    }
}

// --- a generated survey through the data object ------------------------------

namespace {

// Two crossing lines of 64-beam pings with other datagrams between them:
// several chunks of datagrams of about 8 kB.
nexra::SurveyConfig chunkSurvey()
{
    nexra::SurveyConfig cfg;
    cfg.seafloor.origin = {60.0, 5.0};
    cfg.seafloor.depth = 50;
    cfg.seafloor.slopeEast = 0.003;
    cfg.sonar.beamCount = 64;
    cfg.sonar.swathAngle = 120;
    cfg.sonar.referenceLevel = 1.25f;
    for (double headingDeg : {0.0, 90.0}) {
        nexra::SurveyLine line;
        const double h = headingDeg * 0.017453292519943295;
        line.start = nexra::offsetPosition(60.0, 5.0, h, 0, -200);
        line.end = nexra::offsetPosition(60.0, 5.0, h, 0, 200);
        line.pingRate = 4.0;
        cfg.lines << line;
    }
    return cfg;
}

// Datagrams that hold a chunk end of a depth read starting at offset: the
// reads ask for defaultChunkSize bytes each, so the ends lie at offset + k
// chunks.
int straddling(const QList<QByteArray> &datagrams, qint64 offset)
{
    int count = 0;
    qint64 at = 0;
    for (const QByteArray &d : datagrams) {
        const qint64 end = at + d.size();
        if (at >= offset) {
            const qint64 firstEnd = offset + ((at - offset) / nexra::defaultChunkSize + 1) * nexra::defaultChunkSize;
            if (firstEnd < end)
                ++count;
        }
        at = end;
    }
    return count;
}

} // namespace

class ChunkedSurveyLoad : public CrossLineDataTest
{
protected:
    void SetUp() override
    {
        CrossLineDataTest::SetUp();
        // A corridor along line 0 wide enough to hold both lines whole.
        double northing = 0, easting = 0;
        CProjection::instance()->geographicToProjected(60.0, 5.0, &northing, &easting);
        data.setCrossLine(qint32(easting), qint32(northing) - 200000, qint32(easting), qint32(northing) + 200000);
        data.setCorridorWidth(2000.0f);
    }
};

TEST_F(ChunkedSurveyLoad, KeepsEverySoundingOfDatagramsAcrossChunkEnds)
{
    const nexra::SurveyGenerator generator(chunkSurvey());
    QStringList paths;
    ASSERT_TRUE(generator.write(dir.path(), &paths));
    ASSERT_EQ(paths.size(), 2);

    for (int f = 0; f < paths.size(); ++f) {
        SCOPED_TRACE(paths.at(f).toStdString());
        const QList<QByteArray> datagrams = generator.fileDatagrams(f);
        ASSERT_GE(straddling(datagrams, datagrams.first().size()), 2);
        data.addRawFile(paths.at(f));
    }
    DebugCapture dbg;
    data.generateRegionData();

    for (int f = 0; f < paths.size(); ++f) {
        SCOPED_TRACE(paths.at(f).toStdString());
        QList<nexra::GeneratedSounding> expected;
        generator.forEachSounding(f, [&](const nexra::GeneratedSounding &g) { expected << g; });
        const QList<SoundingData> kept = CrossLineDataInspector::regionSoundings(data).value(paths.at(f));
        ASSERT_EQ(kept.size(), expected.size());
        EXPECT_TRUE(dbg.lines().contains(QStringLiteral("%1 %1").arg(expected.size())));
        for (int i = 0; i < kept.size(); ++i) {
            const SoundingData &s = kept.at(i);
            const nexra::GeneratedSounding &g = expected.at(i);
            SCOPED_TRACE(i);
            ASSERT_EQ(s.timeMs, g.timeMs);
            ASSERT_EQ(s.beamIndex, g.beam);
            EXPECT_EQ(s.depth, g.depth);
            EXPECT_EQ(s.ellipsoidDepth, g.ellipsoidDepth);
            EXPECT_EQ(s.across, g.across);
            EXPECT_EQ(s.along, g.along);
            EXPECT_EQ(s.twoWayTime, g.twoWayTime);
            EXPECT_EQ(s.heading, g.heading);
            EXPECT_EQ(s.latitude, g.pingLatitude);
            EXPECT_EQ(s.longitude, g.pingLongitude);
        }
    }
    EXPECT_FALSE(dbg.contains("cannot read all data for datagram"));
    EXPECT_FALSE(dbg.contains("message too big"));
}

// Damaged and outsized datagrams after ordinary ones, so that they start
// inside a chunk and reach past its end.
struct ChunkEdgeCase {
    const char *name;
    std::function<QList<QByteArray>()> datagrams;
    QList<qint64> keptTimesMs; // of the kept soundings, in order
    const char *message;       // expected on the debug stream, or empty
};

void PrintTo(const ChunkEdgeCase &c, std::ostream *os)
{
    *os << c.name;
}

class ChunkEdge : public CorridorLoadTest, public ::testing::WithParamInterface<ChunkEdgeCase> {};

TEST_P(ChunkEdge, KeepsWhatIsReadable)
{
    const ChunkEdgeCase &c = GetParam();
    const QString file = write("edge.nexra", c.datagrams());
    DebugCapture dbg;
    const QList<SoundingData> kept = load(file);
    QList<qint64> times;
    for (const SoundingData &s : kept)
        times << s.timeMs;
    EXPECT_EQ(times, c.keptTimesMs);
    if (c.message[0]) {
        EXPECT_TRUE(dbg.lines().contains(QString::fromLatin1(c.message))) << dbg.lines().join('\n').toStdString();
    } else {
        EXPECT_FALSE(dbg.contains("cannot read all data for datagram"));
        EXPECT_FALSE(dbg.contains("message too big"));
    }
}

const ChunkEdgeCase chunkEdgeCases[] = {
    {"bufferSizedAfterOthers", [] {
         return QList<QByteArray>{iip(), mrz(1, 1), padded(mrz(1, 2), CrossLineData::depthBufferSize), mrz(1, 3)}; },
     {1000, 2000, 3000}, ""},
    {"severalChunksLong", [] {
         return QList<QByteArray>{iip(), mrz(1, 1), padded(mrz(1, 2), int(3 * nexra::defaultChunkSize + 17)), mrz(1, 3)}; },
     {1000, 2000, 3000}, ""},
    {"tooBigAfterOthers", [] {
         return QList<QByteArray>{iip(), mrz(1, 1), padded(mrz(1, 2), CrossLineData::depthBufferSize + 1), mrz(1, 3)}; },
     {1000, 3000}, "message too big1 16777185"},
    {"truncatedPastChunkEnd", [] {
         return QList<QByteArray>{iip(), mrz(1, 1), mrz(1, 2), padded(mrz(1, 3), int(2 * nexra::defaultChunkSize)).left(int(nexra::defaultChunkSize + 5))}; },
     {1000, 2000}, "cannot read all data for datagram"},
};

INSTANTIATE_TEST_SUITE_P(Files, ChunkEdge, ::testing::ValuesIn(chunkEdgeCases),
                         [](const ::testing::TestParamInfo<ChunkEdgeCase> &info) { return std::string(info.param.name); });
