// The survey generator: recorded fields against hand-computed geometry, the
// mounting sign conventions against the first-order correction the
// recalculation applies, the files written and the ground truth.
#include "surveygenerator.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>

using namespace nexra;

namespace {

constexpr double kDeg = 0.017453292519943295;

SurveyConfig flatSurvey(double latitude, int beams)
{
    SurveyConfig cfg;
    cfg.seafloor.origin = {latitude, 5.0};
    cfg.seafloor.depth = 50;
    cfg.sonar.beamCount = beams;
    cfg.sonar.swathAngle = 120;
    cfg.sonar.referenceLevel = 1.5f;
    cfg.sonar.waterEllipsoidHeight = 40;
    SurveyLine line; // northwards from the origin, heading 0
    line.start = cfg.seafloor.origin;
    line.end = offsetPosition(latitude, 5.0, 0, 0, 20);
    cfg.lines << line;
    return cfg;
}

QVector<GeneratedSounding> soundings(const SurveyGenerator &g, int file, int ping = -1)
{
    QVector<GeneratedSounding> out;
    g.forEachSounding(file, [&](const GeneratedSounding &s) {
        if (ping < 0 || s.ping == ping)
            out << s;
    });
    return out;
}

// A reader of the written bytes that follows the file format on its own.
struct ReadPing {
    quint32 sec = 0, nsec = 0;
    int rxIndex = 0, rxCount = 0;
    float heading = 0, referenceLevel = 0, ellipsoidHeight = 0;
    double latitude = 0, longitude = 0;
    QVector<MrzSoundingRecord> soundings;
};

struct ReadFile {
    QList<QByteArray> types;
    QVector<ReadPing> pings;
    QByteArray installationText;
};

ReadFile readFile(const QString &path)
{
    ReadFile out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = file.readAll();
    int pos = 0;
    while (pos + 8 <= all.size()) {
        const QByteArray d = all.mid(pos, int(getU32(all, pos)));
        pos += d.size();
        out.types << d.mid(4, 4);
        if (d.mid(4, 4) == "#IIP" && out.installationText.isEmpty()) {
            out.installationText = d.mid(26, d.size() - 29);
            out.installationText.truncate(out.installationText.indexOf('\0'));
        }
        if (d.mid(4, 4) != "#MRZ")
            continue;
        ReadPing p;
        p.sec = getU32(d, 12);
        p.nsec = getU32(d, 16);
        p.rxIndex = quint8(d.at(33));
        p.rxCount = quint8(d.at(34));
        p.heading = getF32(d, 132);
        p.referenceLevel = getF32(d, 144);
        p.latitude = getF64(d, 160);
        p.longitude = getF64(d, 168);
        p.ellipsoidHeight = getF32(d, 176);
        const int P = 24 + getU16(d, 24);
        const int R = P + getU16(d, P) + getU16(d, 128) * getU16(d, P + 94);
        const int A = R + getU16(d, R) + 4 * getU16(d, R + 28);
        for (int k = 0; k < getU16(d, R + 2); ++k) {
            const int at = A + 120 * k;
            MrzSoundingRecord s;
            s.twoWayTime = getF32(d, at + 80);
            s.deltaLatitude = getF32(d, at + 88);
            s.deltaLongitude = getF32(d, at + 92);
            s.z = getF32(d, at + 96);
            s.y = getF32(d, at + 100);
            s.x = getF32(d, at + 104);
            p.soundings << s;
        }
        out.pings << p;
    }
    return out;
}

// The first-order correction of a sounding by roll and pitch errors (degrees,
// right-handed), roll first: across -= r * depth, depth += r * across; then
// with e = pitch, depth *= 1 - e^2, along += e * depth.
void firstOrderCorrection(double roll, double pitch, double &depth, double &across, double &along)
{
    const double r = roll * kDeg;
    const double e = pitch * kDeg;
    const double z = depth, y = across;
    depth = z + y * r;
    across = y - z * r;
    depth = (1 - e * e) * depth;
    along = e * depth + along;
}

} // namespace

// Flat seafloor at 50 m, three beams at -60, 0 and 60 degrees, on the equator
// so that one metre east is 8.9831528e-6 degrees of longitude.
TEST(SurveyGenerator, FlatSeafloorFieldsByHand)
{
    const SurveyGenerator g(flatSurvey(0.0, 3));
    QTemporaryDir dir;
    QStringList paths;
    ASSERT_TRUE(g.write(dir.path(), &paths));
    const ReadFile file = readFile(paths.value(0));
    ASSERT_EQ(file.pings.size(), 11); // 20 m at 4 m/s and 2 pings/s
    const ReadPing &p = file.pings.at(1);
    EXPECT_EQ(p.sec, 1600000000u);
    EXPECT_EQ(p.nsec, 500000000u);
    EXPECT_EQ(p.heading, 0.f);
    EXPECT_EQ(p.referenceLevel, 1.5f);
    EXPECT_EQ(p.ellipsoidHeight, 41.5f);
    EXPECT_NEAR(p.latitude, 2.0 * 9.0436948e-6, 1e-12); // 2 m north of the start
    ASSERT_EQ(p.soundings.size(), 3);

    const MrzSoundingRecord &nadir = p.soundings.at(1);
    EXPECT_FLOAT_EQ(nadir.z, 51.5f);
    EXPECT_FLOAT_EQ(nadir.y, 0.f);
    EXPECT_FLOAT_EQ(nadir.x, 0.f);
    EXPECT_FLOAT_EQ(nadir.twoWayTime, float(100.0 / 1500.0));

    const MrzSoundingRecord &starboard = p.soundings.at(2);
    EXPECT_NEAR(starboard.y, 86.60254, 1e-4);
    EXPECT_NEAR(starboard.z, 51.5, 1e-5);
    EXPECT_NEAR(starboard.twoWayTime, 200.0 / 1500.0, 1e-7);
    EXPECT_NEAR(starboard.deltaLongitude, 86.60254 * 8.9831528e-6, 1e-10);
    EXPECT_EQ(starboard.deltaLatitude, 0.f);
    EXPECT_NEAR(p.soundings.at(0).y, -86.60254, 1e-4);
    EXPECT_LT(p.soundings.at(0).deltaLongitude, 0.f);

    // Depth, ellipsoid depth and the truth as a reader derives them.
    const QVector<GeneratedSounding> s = soundings(g, 0, 1);
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[1].depth, 50.f);
    EXPECT_EQ(s[1].ellipsoidDepth, 10.0);
    EXPECT_EQ(s[1].timeMs, 1600000000500);
    EXPECT_NEAR(s[2].trueDepth, 50.0, 1e-9);
    EXPECT_NEAR(s[2].trueEllipsoidDepth, 10.0, 1e-9);
    EXPECT_NEAR(g.trueDepthAt(0.001, 5.001), 50.0, 1e-12);
}

// Signs of the mounting on the flat seafloor, by hand: the nadir and the
// 60 degree starboard beam of a ping heading north.
TEST(SurveyGenerator, MountingSignsByHand)
{
    struct Case {
        const char *name;
        double roll, pitch, heading; // true mounting
        double installedRoll;        // the installation text's roll
        // recorded depth, across of the nadir beam; true across, along of it
        double nadirDepth, nadirTrueAcross, nadirTrueAlong;
        // recorded across of the starboard beam; true north offset of it
        double starboardAcross, starboardTrueNorth;
    };
    const double slant1 = 50.0 / std::cos(1 * kDeg);
    const Case cases[] = {
        {"none", 0, 0, 0, 0, 50.0, 0.0, 0.0, 86.602540, 0.0},
        // True fan turned starboard down: the nadir beam hits to port.
        {"roll 1", 1, 0, 0, 0, slant1, -slant1 * std::sin(1 * kDeg), 0.0,
         50.0 / std::cos(59 * kDeg) * std::sin(60 * kDeg), 0.0},
        // Bow up: the true seafloor lies ahead of the recorded soundings.
        {"pitch 1", 0, 1, 0, 0, slant1, 0.0, slant1 * std::sin(1 * kDeg),
         86.602540 / std::cos(1 * kDeg), slant1 * std::sin(1 * kDeg)},
        // The true fan turned clockwise: the starboard beam points south-east.
        {"heading 10", 0, 0, 10, 0, 50.0, 0.0, 0.0, 86.602540, -86.602540 * std::sin(10 * kDeg)},
        // Mounted level, processed as rolled 1 degree starboard down: the
        // vertical nadir beam is recorded 1 degree to port.
        {"installed roll 1", 0, 0, 0, 1, 50.0 * std::cos(1 * kDeg), 0.0, 0.0,
         50.0 / std::cos(60 * kDeg) * std::sin(59 * kDeg), 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SurveyConfig cfg = flatSurvey(60.0, 3);
        cfg.mounting.truth = {c.roll, c.pitch, c.heading};
        cfg.mounting.installation.roll = c.installedRoll;
        const SurveyGenerator g(cfg);
        const QVector<GeneratedSounding> s = soundings(g, 0, 0);
        ASSERT_EQ(s.size(), 3);
        EXPECT_NEAR(s[1].depth, c.nadirDepth, 2e-5);
        EXPECT_NEAR(s[1].across, -50.0 * std::sin(c.installedRoll * kDeg), 1e-5);
        EXPECT_NEAR(s[1].trueAcross, c.nadirTrueAcross, 1e-6);
        EXPECT_NEAR(s[1].trueAlong, c.nadirTrueAlong, 1e-6);
        EXPECT_NEAR(s[2].across, c.starboardAcross, 1e-4);
        double east, north, pingEast, pingNorth;
        g.toLocal(s[2].trueLatitude, s[2].trueLongitude, &east, &north);
        g.toLocal(s[2].pingLatitude, s[2].pingLongitude, &pingEast, &pingNorth);
        EXPECT_NEAR(north - pingNorth, c.starboardTrueNorth, 1e-3);
        for (const GeneratedSounding &x : s)
            EXPECT_NEAR(x.trueDepth, 50.0, 1e-6);
    }
}

// Recorded soundings corrected by the first-order roll/pitch correction and
// placed again with heading + heading error give the true seafloor point:
// exactly (to float) in the first-order model, within R * angle^2 in the
// rigid one, also with an installation roll. Over a sloped seafloor with
// features, two heads.
TEST(SurveyGenerator, FirstOrderCorrectionRestoresTheSeafloor)
{
    struct Case {
        double roll, pitch, heading; // errors: truth - installation
        Mounting::Model model;
        double installedRoll;
    };
    const Case cases[] = {
        {1.0, 0, 0, Mounting::FirstOrder, 0},  {-0.7, 0, 0, Mounting::FirstOrder, 0},
        {0, 1.0, 0, Mounting::FirstOrder, 0},  {0, 0, 2.0, Mounting::FirstOrder, 0},
        {0.5, -0.8, 1.5, Mounting::FirstOrder, 0}, {0.5, -0.8, 1.5, Mounting::Rigid, 0},
        {1.0, 0, 0, Mounting::Rigid, 0}, {0.5, -0.8, 1.5, Mounting::Rigid, 2.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.roll << " " << c.pitch << " " << c.heading << " model "
                                        << c.model);
        SurveyConfig cfg;
        cfg.seafloor.depth = 80;
        cfg.seafloor.slopeEast = 0.05;
        cfg.seafloor.slopeNorth = -0.03;
        cfg.seafloor.features = {{10, 20, 15, 6}, {-30, 5, 10, -4}};
        cfg.sonar.beamCount = 64;
        cfg.sonar.headCount = 2;
        cfg.mounting.installation.roll = c.installedRoll;
        cfg.mounting.truth = {c.installedRoll + c.roll, c.pitch, c.heading};
        cfg.mounting.model = c.model;
        SurveyLine line;
        line.start = offsetPosition(60, 5, 30 * kDeg, 0, -20);
        line.end = offsetPosition(60, 5, 30 * kDeg, 0, 20);
        cfg.lines << line;
        const SurveyGenerator g(cfg);

        double worst = 0;
        int count = 0;
        g.forEachSounding(0, [&](const GeneratedSounding &s) {
            double depth = s.depth, across = s.across, along = s.along;
            firstOrderCorrection(c.roll, c.pitch, depth, across, along);
            const GeoPoint at = offsetPosition(s.pingLatitude, s.pingLongitude,
                                               (double(s.heading) + c.heading) * kDeg, across, along);
            double e0, n0, e1, n1;
            g.toLocal(at.latitude, at.longitude, &e0, &n0);
            g.toLocal(s.trueLatitude, s.trueLongitude, &e1, &n1);
            const double slant = std::sqrt(double(s.depth) * s.depth + double(s.across) * s.across);
            const double angle2 = (c.roll * c.roll + c.pitch * c.pitch) * kDeg * kDeg;
            const double tolerance = c.model == Mounting::FirstOrder ? 2e-4 : slant * angle2 + 2e-4;
            EXPECT_NEAR(depth, s.trueDepth, tolerance);
            EXPECT_NEAR(e0, e1, tolerance);
            EXPECT_NEAR(n0, n1, tolerance);
            EXPECT_NEAR(g.trueDepthAt(s.trueLatitude, s.trueLongitude), s.trueDepth, 1e-6);
            worst = std::max(worst, std::fabs(depth - s.trueDepth));
            ++count;
        });
        EXPECT_EQ(count, 21 * 2 * 64);
        if (c.model == Mounting::Rigid && c.roll == 1.0) {
            EXPECT_GT(worst, 5e-3) << "the rigid model differs from the first-order one";
        }
    }
}

TEST(SurveyGenerator, FilesDatagramsAndCounts)
{
    SurveyConfig cfg = flatSurvey(60.0, 16);
    cfg.sonar.headCount = 2;
    cfg.lines[0].pingsPerFile = 4; // 11 pings: files of 4, 4 and 3
    cfg.lines[0].name = "north";
    SurveyLine second = cfg.lines[0];
    second.name.clear();
    second.pingsPerFile = 0;
    cfg.lines << second;
    const SurveyGenerator g(cfg);

    const QStringList names{"north_001.nexra", "north_002.nexra", "north_003.nexra", "line02.nexra"};
    const int pings[] = {4, 4, 3, 11};
    ASSERT_EQ(g.files().size(), names.size());
    QTemporaryDir dir;
    QStringList paths;
    ASSERT_TRUE(g.write(dir.path(), &paths));
    ASSERT_EQ(paths.size(), names.size());
    for (int f = 0; f < names.size(); ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(g.files()[f].name, names[f]);
        EXPECT_EQ(g.files()[f].pingCount, pings[f]);
        EXPECT_EQ(g.files()[f].soundingCount, pings[f] * 2 * 16);
        const ReadFile file = readFile(paths[f]);
        ASSERT_FALSE(file.types.isEmpty());
        EXPECT_EQ(file.types.first(), QByteArray("#IIP"));
        EXPECT_TRUE(file.types.contains("#SPO"));
        EXPECT_TRUE(file.types.contains("#SKM"));
        EXPECT_EQ(file.types.count("#IIP"), 1);
        EXPECT_EQ(file.types.count("#MRZ"), pings[f] * 2);
        EXPECT_EQ(file.installationText, g.installationText());
        qint64 written = 0;
        for (int i = 0; i < file.pings.size(); ++i) {
            const ReadPing &p = file.pings[i];
            EXPECT_EQ(p.rxIndex, i % 2);
            EXPECT_EQ(p.rxCount, 2);
            for (const MrzSoundingRecord &s : p.soundings)
                EXPECT_TRUE(p.rxIndex == 0 ? s.y < 0 : s.y > 0) << "head 0 port, head 1 starboard";
            written += p.soundings.size();
        }
        EXPECT_EQ(written, g.files()[f].soundingCount);
        EXPECT_EQ(soundings(g, f).size(), written);
    }
    // The second line starts a minute after the last ping of the first one.
    EXPECT_EQ(readFile(paths[3]).pings.first().sec, 1600000000u + 5 + 60);
    qint64 bytes = 0;
    for (const QByteArray &d : g.fileDatagrams(0))
        bytes += d.size();
    EXPECT_EQ(QFileInfo(paths[0]).size(), bytes);
}

// The tide changes depths below the water level, not depths below the ellipsoid.
TEST(SurveyGenerator, TideLeavesEllipsoidDepthsUnchanged)
{
    SurveyConfig cfg = flatSurvey(60.0, 5);
    cfg.sonar.tideAmplitude = 1.0;
    cfg.sonar.tidePeriod = 40; // a quarter period over ten seconds
    cfg.lines[0].end = offsetPosition(60, 5, 0, 0, 40);
    const SurveyGenerator g(cfg);
    const QVector<GeneratedSounding> s = soundings(g, 0);
    const GeneratedSounding &last = s.last();
    EXPECT_NEAR(last.depth, 51.0, 1e-4); // ten seconds in: tide +1 m
    EXPECT_NEAR(last.ellipsoidDepth, 10.0, 1e-4);
    EXPECT_NEAR(s.first().depth, 50.0, 1e-4);
    EXPECT_NEAR(s.first().ellipsoidDepth, 10.0, 1e-4);
}

// A north-south line through the origin and a 2 m wide west-east corridor
// there: only the ping at the origin (every 2 m of line) falls inside, with
// all its beams.
TEST(SurveyGenerator, CorridorCountOfACrossingLine)
{
    SurveyConfig cfg = flatSurvey(60.0, 256);
    cfg.lines[0].start = offsetPosition(60, 5, 0, 0, 300);
    cfg.lines[0].end = offsetPosition(60, 5, 0, 0, -300);
    const SurveyGenerator g(cfg);
    const SurveyProjection projection;
    ASSERT_TRUE(projection.isValid());
    double n, e;
    ASSERT_TRUE(projection.toProjected(60, 5, &n, &e));
    Corridor corridor{n, e - 50000, n, e + 50000, 2.0};
    EXPECT_EQ(g.countInCorridor(0, corridor, projection), 256);
    corridor.width = 12.0; // ±3 m on the ground at latitude 60: three pings
    EXPECT_EQ(g.countInCorridor(0, corridor, projection), 3 * 256);

    const GeoPoint back = projection.geographic(n, e);
    EXPECT_NEAR(back.latitude, 60, 1e-9);
    EXPECT_NEAR(back.longitude, 5, 1e-9);
}

TEST(SurveyGenerator, CommandLineWritesASurvey)
{
    QTemporaryDir dir;
    QProcess help;
    help.start(QStringLiteral(NEXRA_SURVEY_PATH), {"--help"});
    ASSERT_TRUE(help.waitForFinished(30000));
    const QString usage = QString::fromUtf8(help.readAllStandardOutput());
    EXPECT_TRUE(usage.contains("positive roll")) << usage.toStdString();
    EXPECT_TRUE(usage.contains("clockwise"));

    QProcess run;
    run.start(QStringLiteral(NEXRA_SURVEY_PATH),
              {"--out", dir.path(), "--beams", "8", "--heads", "2", "--roll", "0.5",
               "--line", "60,5,60.0005,5", "--line-cm", "1000000,2000000,1000000,2001000"});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("soundings " + QString::number(readFile(dir.filePath("line01.nexra")).pings.size() * 8)));
    EXPECT_TRUE(QFile::exists(dir.filePath("line02.nexra")));

    QProcess bad;
    bad.start(QStringLiteral(NEXRA_SURVEY_PATH), {"--out", dir.path(), "--model", "other"});
    ASSERT_TRUE(bad.waitForFinished(30000));
    EXPECT_EQ(bad.exitCode(), 2);
}
